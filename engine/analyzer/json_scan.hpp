// The lexical pieces of JSON shared by the validating parser and the one-pass compactor, so that both
// read whitespace, strings and numbers by the very same rules. Internal to the JSON files.
#pragma once

#include <array>
#include <bit>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <system_error>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tersewright::analyzer::json::scan {

constexpr bool is_json_space(char c) noexcept { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
constexpr bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }

// 0x80 in each byte of x that is zero and nothing elsewhere (exact for every byte, unlike the
// shorter trick below, which is exact only for the lowest flag).
constexpr std::uint64_t zero_bytes(std::uint64_t x) noexcept {
  constexpr std::uint64_t low7 = 0x7F7F7F7F7F7F7F7Fu;
  return ~(((x & low7) + low7) | x | low7);
}

// The first byte at or after p that is not JSON whitespace, or end. Indentation comes in runs, so
// past the first blank the bytes are looked at eight at a time.
inline const char* skip_space(const char* p, const char* end) noexcept {
  if (p == end || !is_json_space(*p)) return p;
  ++p;
  if (p == end || !is_json_space(*p)) return p;  // one blank alone, as after a colon
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t ones = 0x0101010101010101u;
    while (end - p >= 8) {
      std::uint64_t word;
      std::memcpy(&word, p, sizeof word);
      const std::uint64_t blanks = zero_bytes(word ^ (ones * ' ')) | zero_bytes(word ^ (ones * '\n')) |
                                   zero_bytes(word ^ (ones * '\t')) | zero_bytes(word ^ (ones * '\r'));
      const std::uint64_t others = ~blanks & 0x8080808080808080u;
      if (others != 0) return p + (std::countr_zero(others) >> 3);
      p += sizeof word;
    }
  }
  while (p != end && is_json_space(*p)) ++p;
  return p;
}

// Bytes that end a plain run inside a string literal: the closing quote, the escape introducer and
// the raw control characters a string may not hold.
constexpr std::array<bool, 256> make_string_stops() {
  std::array<bool, 256> stops{};
  for (int c = 0; c < 0x20; ++c) stops[static_cast<std::size_t>(c)] = true;
  stops['"'] = true;
  stops['\\'] = true;
  return stops;
}
inline constexpr std::array<bool, 256> string_stops = make_string_stops();

constexpr bool is_string_stop(char c) noexcept { return string_stops[static_cast<unsigned char>(c)]; }

// The first string stop in [p, end), or end. Sixteen bytes at a time with SSE2, then eight at a
// time in a word: there a byte is flagged when it equals the quote or the backslash or is below 0x20
// (the classic zero-byte and less-than word tricks). Those tricks can flag a byte wrongly only above
// a byte rightly flagged, so the lowest flag is exact.
inline const char* find_string_stop(const char* p, const char* end) noexcept {
#if defined(__SSE2__)
  // A byte stops when it is the quote, the backslash, or at most 0x1F (its unsigned minimum with
  // 0x1F is itself).
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i backslash = _mm_set1_epi8('\\');
  const __m128i control = _mm_set1_epi8(0x1F);
  while (end - p >= 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i stops = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, quote), _mm_cmpeq_epi8(bytes, backslash)),
                                       _mm_cmpeq_epi8(_mm_min_epu8(bytes, control), bytes));
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(stops));
    if (mask != 0) return p + std::countr_zero(mask);
    p += 16;
  }
#endif
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t ones = 0x0101010101010101u;
    constexpr std::uint64_t highs = 0x8080808080808080u;
    while (end - p >= 8) {
      std::uint64_t word;
      std::memcpy(&word, p, sizeof word);
      const std::uint64_t quote = word ^ (ones * '"');
      const std::uint64_t backslash = word ^ (ones * '\\');
      const std::uint64_t flags =
          (((quote - ones) & ~quote) | ((backslash - ones) & ~backslash) | ((word - ones * 0x20) & ~word)) & highs;
      if (flags != 0) return p + (std::countr_zero(flags) >> 3);
      p += sizeof word;
    }
  }
  while (p != end && !is_string_stop(*p)) ++p;
  return p;
}

inline int hex_value(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Four hex digits at p (fewer than four bytes left, or a non-hex digit, is a failure).
inline bool read_hex4(const char* p, const char* end, std::uint32_t& value) noexcept {
  if (end - p < 4) return false;
  value = 0;
  for (int i = 0; i < 4; ++i) {
    const int digit = hex_value(p[i]);
    if (digit < 0) return false;
    value = (value << 4) | static_cast<std::uint32_t>(digit);
  }
  return true;
}

// The code point of a \u escape whose "\u" has been read; p moves past it (and past the low half of
// a surrogate pair). False for bad hex digits and for a lone or reversed surrogate.
inline bool read_unicode_escape(const char*& p, const char* end, std::uint32_t& cp) noexcept {
  if (!read_hex4(p, end, cp)) return false;
  p += 4;
  if (cp >= 0xDC00 && cp <= 0xDFFF) return false;  // a low surrogate with no high one before it
  if (cp >= 0xD800 && cp <= 0xDBFF) {
    std::uint32_t low = 0;
    if (end - p < 2 || p[0] != '\\' || p[1] != 'u') return false;
    p += 2;
    if (!read_hex4(p, end, low) || low < 0xDC00 || low > 0xDFFF) return false;
    p += 4;
    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
  }
  return true;
}

inline void append_utf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    const char bytes[2] = {static_cast<char>(0xC0 | (cp >> 6)), static_cast<char>(0x80 | (cp & 0x3F))};
    out.append(bytes, 2);
  } else if (cp < 0x10000) {
    const char bytes[3] = {static_cast<char>(0xE0 | (cp >> 12)), static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
                           static_cast<char>(0x80 | (cp & 0x3F))};
    out.append(bytes, 3);
  } else {
    const char bytes[4] = {static_cast<char>(0xF0 | (cp >> 18)), static_cast<char>(0x80 | ((cp >> 12) & 0x3F)),
                           static_cast<char>(0x80 | ((cp >> 6) & 0x3F)), static_cast<char>(0x80 | (cp & 0x3F))};
    out.append(bytes, 4);
  }
}

// Decimal exponents beyond this cannot change any verdict (a double spans about 10^-324 to 10^308),
// so exponents are clamped here and sums of them never overflow.
inline constexpr std::int64_t exponent_clamp = 1'000'000'000;

// The parts of one number token.
struct Number {
  const char* start = nullptr;  // the "-" or the first digit
  const char* int_start = nullptr;
  const char* int_end = nullptr;
  const char* frac_start = nullptr;
  const char* frac_end = nullptr;
  const char* end = nullptr;
  std::int64_t exponent = 0;  // clamped
  bool negative = false;
  bool integral = true;  // no fraction and no exponent
};

// Reads the number token at p (which is not at end) and moves p past it. False when it breaks the
// number grammar; a leading zero stands alone, and a digit after it is left for the caller to refuse.
inline bool scan_number(const char*& p, const char* end, Number& number) noexcept {
  number.start = p;
  number.negative = *p == '-';
  if (number.negative) ++p;
  if (p == end || !is_digit(*p)) return false;
  number.int_start = p;
  if (*p == '0') {
    ++p;
  } else {
    while (p != end && is_digit(*p)) ++p;
  }
  number.int_end = p;
  number.frac_start = p;
  number.frac_end = p;
  number.integral = true;
  if (p != end && *p == '.') {
    ++p;
    number.frac_start = p;
    while (p != end && is_digit(*p)) ++p;
    if (p == number.frac_start) return false;
    number.frac_end = p;
    number.integral = false;
  }
  std::int64_t exponent = 0;
  if (p != end && (*p == 'e' || *p == 'E')) {
    ++p;
    bool exponent_negative = false;
    if (p != end && (*p == '+' || *p == '-')) exponent_negative = *p++ == '-';
    const char* const exponent_start = p;
    while (p != end && is_digit(*p)) {
      if (exponent < exponent_clamp) exponent = exponent * 10 + (*p - '0');
      ++p;
    }
    if (p == exponent_start) return false;
    if (exponent_negative) exponent = -exponent;
    number.integral = false;
  }
  number.exponent = exponent;
  number.end = p;
  return true;
}

// Decimal exponent of the first significant digit of a number that is not integral, and whether it
// has one (nonzero false: every digit is zero). It alone tells an overflow (which makes the text
// invalid) from an underflow (which reads as zero) when the conversion reports a range error.
struct Magnitude {
  bool nonzero = false;
  std::int64_t leading = 0;
};

inline Magnitude magnitude_of(const Number& number) noexcept {
  Magnitude magnitude;
  for (const char* d = number.int_start; d != number.int_end; ++d) {
    if (*d != '0') {
      magnitude.leading = (number.int_end - d) - 1;
      magnitude.nonzero = true;
      break;
    }
  }
  for (const char* d = number.frac_start; !magnitude.nonzero && d != number.frac_end; ++d) {
    if (*d != '0') {
      magnitude.leading = -((d - number.frac_start) + 1);
      magnitude.nonzero = true;
    }
  }
  magnitude.leading += number.exponent;
  return magnitude;
}

// The double of a number that is not integral; false when it overflows a double. One that
// underflows reads as zero of its sign (or the nearest subnormal, as the conversion gives it).
inline bool to_double(const Number& number, const Magnitude& magnitude, double& value) noexcept {
  value = 0.0;
  const auto [stop, error] = std::from_chars(number.start, number.end, value);
  if (stop != number.end) return false;
  if (error == std::errc::result_out_of_range) {
    if (!magnitude.nonzero || magnitude.leading >= 0) return false;
    value = number.negative ? -0.0 : 0.0;
  } else if (error != std::errc{}) {
    return false;
  }
  return true;
}

// Writes the compact notation of a finite double (append_double's) at text, which has double_room
// bytes, and returns the end of what it wrote (at most 24 bytes: sign, 17 digits, "0.0000" or "e-324").
inline constexpr std::size_t double_room = 48;
char* write_double(char* text, double value) noexcept;

}  // namespace tersewright::analyzer::json::scan

// Strict JSON validation, and parsing into a value tree, in one pass over the text.
#include "analyzer/json.hpp"

#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "analyzer/json_order.hpp"

namespace tersewright::analyzer::json {
namespace {

constexpr bool is_json_space(char c) noexcept { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
constexpr bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }

// Bytes that end a plain run inside a string literal: the closing quote, the escape introducer and
// the raw control characters a string may not hold.
constexpr std::array<bool, 256> make_string_stops() {
  std::array<bool, 256> stops{};
  for (int c = 0; c < 0x20; ++c) stops[static_cast<std::size_t>(c)] = true;
  stops['"'] = true;
  stops['\\'] = true;
  return stops;
}
constexpr std::array<bool, 256> string_stops = make_string_stops();

constexpr bool is_string_stop(char c) noexcept { return string_stops[static_cast<unsigned char>(c)]; }

int hex_value(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void append_utf8(std::string& out, std::uint32_t cp) {
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
constexpr std::int64_t exponent_clamp = 1'000'000'000;

// One pass over the text with an explicit container stack. In validating mode (Build false) nothing
// is allocated; in building mode completed values wait on one shared stack and each container takes
// its members from there in one move when it closes, so no container grows element by element.
template <bool Build>
class Parser {
 public:
  explicit Parser(std::string_view text) noexcept : p_(text.data()), end_(text.data() + text.size()) {}

  bool run() {
    skip_space();
    for (;;) {
      // A value starts at p_.
      if (p_ == end_) return false;
      const char c = *p_;
      if (c == '[' || c == '{') {
        if (depth_ == max_depth) return false;
        const bool object = c == '{';
        frames_[depth_++] = Frame{object, values_.size(), keys_.size()};
        ++p_;
        skip_space();
        if (p_ == end_) return false;
        if (*p_ != (object ? '}' : ']')) {
          if (object && !parse_key()) return false;
          continue;
        }
        ++p_;
        close_container();
      } else if (!parse_scalar()) {
        return false;
      }

      // A value ended: close every container it completes, then expect the next member.
      for (;;) {
        skip_space();
        if (depth_ == 0) return p_ == end_;
        if (p_ == end_) return false;
        const bool object = frames_[depth_ - 1].object;
        const char d = *p_++;
        if (d == ',') {
          skip_space();
          if (object && !parse_key()) return false;
          break;
        }
        if (d != (object ? '}' : ']')) return false;
        close_container();
      }
    }
  }

  // Only after run() succeeded in building mode.
  Value take_root() { return std::move(values_.back()); }

 private:
  struct Frame {
    bool object = false;
    std::size_t value_start = 0;  // first member on values_
    std::size_t key_start = 0;    // first key on keys_ (objects)
  };

  void skip_space() noexcept {
    while (p_ != end_ && is_json_space(*p_)) ++p_;
  }

  void close_container() {
    const Frame frame = frames_[--depth_];
    if constexpr (Build) {
      const std::size_t count = values_.size() - frame.value_start;
      Value* members = values_.data() + frame.value_start;
      Value closed;
      if (frame.object) {
        std::string* keys = keys_.data() + frame.key_start;
        Object& object = closed.data.template emplace<Object>();
        if (order_by_key(count, [keys](std::size_t i) -> const std::string& { return keys[i]; }, order_)) {
          object.reserve(order_.size());
          for (const std::size_t index : order_) object.emplace_back(std::move(keys[index]), std::move(members[index]));
        } else {
          object.reserve(count);
          for (std::size_t i = 0; i < count; ++i) object.emplace_back(std::move(keys[i]), std::move(members[i]));
        }
        keys_.resize(frame.key_start);
      } else {
        Array& array = closed.data.template emplace<Array>();
        array.reserve(count);
        for (std::size_t i = 0; i < count; ++i) array.push_back(std::move(members[i]));
      }
      values_.resize(frame.value_start);
      values_.push_back(std::move(closed));
    }
  }

  // A key string, the colon and the whitespace around it.
  bool parse_key() {
    if (p_ == end_ || *p_ != '"') return false;
    std::string* key = nullptr;
    if constexpr (Build) key = &keys_.emplace_back();
    if (!parse_string(key)) return false;
    skip_space();
    if (p_ == end_ || *p_ != ':') return false;
    ++p_;
    skip_space();
    return true;
  }

  bool parse_scalar() {
    switch (*p_) {
      case '"': {
        std::string* text = nullptr;
        if constexpr (Build) text = &values_.emplace_back().data.template emplace<std::string>();
        return parse_string(text);
      }
      case 't':
        return parse_literal("true", Value{true});
      case 'f':
        return parse_literal("false", Value{false});
      case 'n':
        return parse_literal("null", Value{nullptr});
      default:
        return parse_number();
    }
  }

  bool parse_literal(std::string_view word, Value value) {
    if (static_cast<std::size_t>(end_ - p_) < word.size() || std::memcmp(p_, word.data(), word.size()) != 0)
      return false;
    p_ += word.size();
    if constexpr (Build) values_.push_back(std::move(value));
    return true;
  }

  // p_ is on the opening quote; out is null when only validating.
  bool parse_string(std::string* out) {
    ++p_;
    for (;;) {
      const char* run = p_;
      while (p_ != end_ && !is_string_stop(*p_)) ++p_;
      if constexpr (Build) out->append(run, static_cast<std::size_t>(p_ - run));
      if (p_ == end_) return false;
      const char c = *p_++;
      if (c == '"') return true;
      if (c != '\\') return false;  // a raw control character
      if (!parse_escape(out)) return false;
    }
  }

  // p_ is just after a backslash.
  bool parse_escape(std::string* out) {
    if (p_ == end_) return false;
    char decoded;
    switch (*p_++) {
      case '"': decoded = '"'; break;
      case '\\': decoded = '\\'; break;
      case '/': decoded = '/'; break;
      case 'b': decoded = '\b'; break;
      case 'f': decoded = '\f'; break;
      case 'n': decoded = '\n'; break;
      case 'r': decoded = '\r'; break;
      case 't': decoded = '\t'; break;
      case 'u': {
        std::uint32_t cp = 0;
        if (!read_hex4(cp)) return false;
        if (cp >= 0xDC00 && cp <= 0xDFFF) return false;  // a low surrogate with no high one before it
        if (cp >= 0xD800 && cp <= 0xDBFF) {
          std::uint32_t low = 0;
          if (end_ - p_ < 2 || p_[0] != '\\' || p_[1] != 'u') return false;
          p_ += 2;
          if (!read_hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
          cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        }
        if constexpr (Build) append_utf8(*out, cp);
        return true;
      }
      default:
        return false;
    }
    if constexpr (Build) out->push_back(decoded);
    return true;
  }

  bool read_hex4(std::uint32_t& value) noexcept {
    if (end_ - p_ < 4) return false;
    value = 0;
    for (int i = 0; i < 4; ++i) {
      const int digit = hex_value(p_[i]);
      if (digit < 0) return false;
      value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    p_ += 4;
    return true;
  }

  bool parse_number() {
    const char* const start = p_;
    const bool negative = *p_ == '-';
    if (negative) ++p_;
    if (p_ == end_ || !is_digit(*p_)) return false;
    const char* const int_start = p_;
    if (*p_ == '0') {
      ++p_;  // a leading zero stands alone; a digit after it fails in the caller
    } else {
      while (p_ != end_ && is_digit(*p_)) ++p_;
    }
    const char* const int_end = p_;
    const char* frac_start = p_;
    const char* frac_end = p_;
    bool integral = true;
    if (p_ != end_ && *p_ == '.') {
      ++p_;
      frac_start = p_;
      while (p_ != end_ && is_digit(*p_)) ++p_;
      if (p_ == frac_start) return false;
      frac_end = p_;
      integral = false;
    }
    std::int64_t exponent = 0;
    if (p_ != end_ && (*p_ == 'e' || *p_ == 'E')) {
      ++p_;
      bool exponent_negative = false;
      if (p_ != end_ && (*p_ == '+' || *p_ == '-')) exponent_negative = *p_++ == '-';
      const char* const exponent_start = p_;
      while (p_ != end_ && is_digit(*p_)) {
        if (exponent < exponent_clamp) exponent = exponent * 10 + (*p_ - '0');
        ++p_;
      }
      if (p_ == exponent_start) return false;
      if (exponent_negative) exponent = -exponent;
      integral = false;
    }

    if (integral) return push_integer(start, int_start, int_end, negative);
    return push_double(start, int_start, int_end, frac_start, frac_end, exponent, negative);
  }

  // Integers are never invalid: those beyond 64 bits keep their digits rather than lose precision.
  bool push_integer(const char* start, const char* digits, const char* digits_end, bool negative) {
    if constexpr (!Build) return true;
    if (negative && digits_end - digits == 1 && *digits == '0') {
      values_.push_back(Value{-0.0});
      return true;
    }
    std::uint64_t magnitude = 0;
    bool fits = digits_end - digits <= 20;
    for (const char* d = digits; fits && d != digits_end; ++d)
      fits = !__builtin_mul_overflow(magnitude, std::uint64_t{10}, &magnitude) &&
             !__builtin_add_overflow(magnitude, static_cast<std::uint64_t>(*d - '0'), &magnitude);
    constexpr std::uint64_t most_negative = std::uint64_t{1} << 63;
    if (fits && !negative) {
      values_.push_back(Value{magnitude});
    } else if (fits && magnitude <= most_negative) {
      const std::int64_t signed_value = magnitude == most_negative ? std::numeric_limits<std::int64_t>::min()
                                                                   : -static_cast<std::int64_t>(magnitude);
      values_.push_back(Value{signed_value});
    } else {
      values_.push_back(Value{BigInteger{std::string(start, digits_end)}});
    }
    return true;
  }

  bool push_double(const char* start, const char* int_start, const char* int_end, const char* frac_start,
                   const char* frac_end, std::int64_t exponent, bool negative) {
    // Decimal exponent of the first significant digit: it alone tells an overflow (which makes the
    // text invalid) from an underflow (which reads as zero) when the conversion reports a range error.
    std::int64_t leading = 0;
    bool nonzero = false;
    for (const char* d = int_start; d != int_end; ++d) {
      if (*d != '0') {
        leading = (int_end - d) - 1;
        nonzero = true;
        break;
      }
    }
    for (const char* d = frac_start; !nonzero && d != frac_end; ++d) {
      if (*d != '0') {
        leading = -((d - frac_start) + 1);
        nonzero = true;
      }
    }
    leading += exponent;

    if constexpr (!Build) {
      // The largest double is about 1.8e308: below that exponent nothing overflows, above it all does.
      if (!nonzero || leading < 308) return true;
      if (leading > 308) return false;
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(start, p_, value);
    if (end != p_) return false;
    if (error == std::errc::result_out_of_range) {
      if (!nonzero || leading >= 0) return false;
      value = negative ? -0.0 : 0.0;
    } else if (error != std::errc{}) {
      return false;
    }
    if constexpr (Build) values_.push_back(Value{value});
    return true;
  }

  const char* p_;
  const char* const end_;
  int depth_ = 0;
  std::array<Frame, max_depth> frames_{};
  // Building mode only (empty when validating): completed values and pending keys of the open
  // containers.
  std::vector<Value> values_;
  std::vector<std::string> keys_;
  std::vector<std::size_t> order_;  // scratch for ordering the members of one object
};

}  // namespace

std::optional<Value> parse(std::string_view text) {
  Parser<true> parser(text);
  if (!parser.run()) return std::nullopt;
  return parser.take_root();
}

bool is_valid(std::string_view text) {
  Parser<false> parser(text);
  return parser.run();
}

}  // namespace tersewright::analyzer::json

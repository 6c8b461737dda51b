#include "edit/text.hpp"

#include <algorithm>
#include <array>
#include <cstring>

namespace tersewright::edit {

namespace {

constexpr std::uint64_t high_bits = 0x8080808080808080ull;
constexpr std::uint64_t low_seven = 0x7F7F7F7F7F7F7F7Full;

std::uint64_t load_word(const char* p) noexcept {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// Tests of each byte: word(w) sets the high bit of every byte lane of w that passes, byte(c) tests
// one byte of the tail.
struct ContinuationByte {  // 10xxxxxx: high bit set and the bit below it clear
  static std::uint64_t word(std::uint64_t w) noexcept { return w & ~(w << 1); }
  static bool byte(unsigned char c) noexcept { return (c & 0xC0) == 0x80; }
};
struct LineFeed {
  // After xor with the pattern a line feed is a zero byte, the only byte whose high bit stays clear
  // once its low seven bits are incremented.
  static std::uint64_t word(std::uint64_t w) noexcept {
    const std::uint64_t x = w ^ 0x0A0A0A0A0A0A0A0Aull;
    return ~(((x & low_seven) + low_seven) | x);
  }
  static bool byte(unsigned char c) noexcept { return c == '\n'; }
};

// Counts the bytes of text that pass each test, eight bytes at a time and every test on the same
// load: the flags are summed per byte lane (at most 255 words per batch) and the lanes added at the
// end of each batch, so no population-count instruction is needed.
template <class... Tests>
std::array<std::uint64_t, sizeof...(Tests)> count_flagged(std::string_view text) noexcept {
  constexpr std::size_t n_tests = sizeof...(Tests);
  std::array<std::uint64_t, n_tests> totals{};
  std::size_t i = 0;
  while (i + 8 <= text.size()) {
    std::array<std::uint64_t, n_tests> lanes{};
    for (int n = 0; n < 255 && i + 8 <= text.size(); ++n, i += 8) {
      const std::uint64_t word = load_word(text.data() + i);
      std::size_t t = 0;
      ((lanes[t++] += (Tests::word(word) & high_bits) >> 7), ...);
    }
    for (std::size_t t = 0; t < n_tests; ++t) {
      const std::uint64_t pairs = (lanes[t] & 0x00FF00FF00FF00FFull) + ((lanes[t] >> 8) & 0x00FF00FF00FF00FFull);
      totals[t] += (pairs * 0x0001000100010001ull) >> 48;
    }
  }
  for (; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t t = 0;
    ((totals[t++] += Tests::byte(c)), ...);
  }
  return totals;
}

std::uint64_t lines_from_feeds(std::string_view text, std::uint64_t feeds) noexcept {
  return text.empty() ? 0 : feeds + (text.back() != '\n' ? 1 : 0);
}

}  // namespace

std::uint64_t count_chars(std::string_view text) noexcept {
  return text.size() - count_flagged<ContinuationByte>(text)[0];
}

std::uint64_t count_lines(std::string_view text) noexcept {
  return lines_from_feeds(text, count_flagged<LineFeed>(text)[0]);
}

CharsAndLines count_chars_and_lines(std::string_view text) noexcept {
  const auto [continuations, feeds] = count_flagged<ContinuationByte, LineFeed>(text);
  return CharsAndLines{text.size() - continuations, lines_from_feeds(text, feeds)};
}

std::string ascii_lower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

namespace {

// Unicode White_Space code points.
bool is_white_space_code_point(char32_t cp) noexcept {
  if (cp >= 0x09 && cp <= 0x0D) return true;
  switch (cp) {
    case 0x20: case 0x85: case 0xA0: case 0x1680: case 0x2028: case 0x2029:
    case 0x202F: case 0x205F: case 0x3000:
      return true;
    default:
      return cp >= 0x2000 && cp <= 0x200A;
  }
}

}  // namespace

std::size_t white_space_at(std::string_view text, std::size_t offset) noexcept {
  if (offset >= text.size()) return 0;
  unsigned char c = static_cast<unsigned char>(text[offset]);
  if (c < 0x80) return (c == ' ' || (c >= 0x09 && c <= 0x0D)) ? 1 : 0;
  // Every non-ASCII White_Space character starts with 0xC2, 0xE1, 0xE2 or 0xE3.
  if (c != 0xC2 && c != 0xE1 && c != 0xE2 && c != 0xE3) return 0;
  const auto [code_point, length] = decode_utf8_at(text, offset);
  return (length != 0 && is_white_space_code_point(code_point)) ? length : 0;
}

std::size_t white_space_before(std::string_view text, std::size_t offset) noexcept {
  if (offset == 0 || offset > text.size()) return 0;
  std::size_t start = offset - 1;
  while (start > 0 && offset - start < 4 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
  std::size_t len = white_space_at(text, start);
  return (len != 0 && start + len == offset) ? len : 0;
}

std::string_view trim_white_space_start(std::string_view text) noexcept {
  std::size_t i = 0;
  while (std::size_t len = white_space_at(text, i)) i += len;
  return text.substr(i);
}

std::string_view trim_white_space_end(std::string_view text) noexcept {
  std::size_t end = text.size();
  while (std::size_t len = white_space_before(text, end)) end -= len;
  return text.substr(0, end);
}

std::size_t floor_char_boundary(std::string_view text, std::size_t offset) noexcept {
  if (offset >= text.size()) return text.size();
  while (offset > 0 && !is_char_boundary(text, offset)) --offset;
  return offset;
}

}  // namespace tersewright::edit

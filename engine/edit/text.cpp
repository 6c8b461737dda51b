#include "edit/text.hpp"

#include <algorithm>
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

// Counts the bytes of text for which flags(word) sets the high bit, eight bytes at a time: the
// flags are summed per byte lane (at most 255 words per batch) and the lanes added at the end of
// each batch, so no population-count instruction is needed.
template <class Flags, class ByteTest>
std::uint64_t count_flagged(std::string_view text, Flags flags, ByteTest byte_test) noexcept {
  std::uint64_t total = 0;
  std::size_t i = 0;
  while (i + 8 <= text.size()) {
    std::uint64_t lanes = 0;
    for (int n = 0; n < 255 && i + 8 <= text.size(); ++n, i += 8) lanes += (flags(load_word(text.data() + i)) & high_bits) >> 7;
    std::uint64_t pairs = (lanes & 0x00FF00FF00FF00FFull) + ((lanes >> 8) & 0x00FF00FF00FF00FFull);
    total += (pairs * 0x0001000100010001ull) >> 48;
  }
  for (; i < text.size(); ++i) total += byte_test(static_cast<unsigned char>(text[i]));
  return total;
}

}  // namespace

std::uint64_t count_chars(std::string_view text) noexcept {
  // Continuation bytes are 10xxxxxx: high bit set and the bit below it clear.
  std::uint64_t continuation = count_flagged(
      text, [](std::uint64_t w) { return w & ~(w << 1); }, [](unsigned char c) { return (c & 0xC0) == 0x80; });
  return text.size() - continuation;
}

std::uint64_t count_lines(std::string_view text) noexcept {
  if (text.empty()) return 0;
  // After xor with the pattern a line feed is a zero byte, the only byte whose high bit stays clear
  // once its low seven bits are incremented.
  std::uint64_t feeds = count_flagged(
      text,
      [](std::uint64_t w) {
        std::uint64_t x = w ^ 0x0A0A0A0A0A0A0A0Aull;
        return ~(((x & low_seven) + low_seven) | x);
      },
      [](unsigned char c) { return c == '\n'; });
  return feeds + (text.back() != '\n' ? 1 : 0);
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

// Small UTF-8 and whitespace helpers shared by every area of the engine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tersewright::edit {

// True when offset is 0, the text length, or the index of a byte that starts a character.
inline bool is_char_boundary(std::string_view text, std::size_t offset) noexcept {
  if (offset == 0 || offset == text.size()) return true;
  if (offset > text.size()) return false;
  return (static_cast<unsigned char>(text[offset]) & 0xC0) != 0x80;
}

// A character decoded from UTF-8, or a length of 0 where no character starts (a continuation byte,
// a sequence cut short by the end of the text, or an offset at or past the end).
struct DecodedChar {
  char32_t code_point = 0;
  std::size_t length = 0;
};

// Decodes the character that starts at offset. Only the lead byte and the text's end are checked;
// continuation bytes are taken as they come, so the text is expected to be valid UTF-8.
inline DecodedChar decode_utf8_at(std::string_view text, std::size_t offset) noexcept {
  if (offset >= text.size()) return {};
  const auto* p = reinterpret_cast<const unsigned char*>(text.data()) + offset;
  if (p[0] < 0x80) return {p[0], 1};
  const std::size_t length = p[0] >= 0xF0 ? 4 : p[0] >= 0xE0 ? 3 : p[0] >= 0xC0 ? 2 : 0;
  if (length == 0 || length > text.size() - offset) return {};
  char32_t code_point = p[0] & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) code_point = (code_point << 6) | (p[i] & 0x3F);
  return {code_point, length};
}

// Unicode scalar values: the bytes that are not continuation bytes.
std::uint64_t count_chars(std::string_view text) noexcept;

// Line feeds, plus one when the text is non-empty and does not end with a line feed.
std::uint64_t count_lines(std::string_view text) noexcept;

// Both counts in one pass over the text.
struct CharsAndLines {
  std::uint64_t chars = 0;
  std::uint64_t lines = 0;
};
CharsAndLines count_chars_and_lines(std::string_view text) noexcept;

inline bool is_space_or_tab(char c) noexcept { return c == ' ' || c == '\t'; }

// Lower-cases A to Z only.
std::string ascii_lower(std::string_view text);

// Length in bytes of the Unicode White_Space character that starts at offset, or 0 when the
// character there is not White_Space.
std::size_t white_space_at(std::string_view text, std::size_t offset) noexcept;
// Length in bytes of the White_Space character that ends at offset, or 0.
std::size_t white_space_before(std::string_view text, std::size_t offset) noexcept;

std::string_view trim_white_space_start(std::string_view text) noexcept;
std::string_view trim_white_space_end(std::string_view text) noexcept;
inline std::string_view trim_white_space(std::string_view text) noexcept {
  return trim_white_space_end(trim_white_space_start(text));
}

// Index of the last character boundary at or before offset (clamped to the text length).
std::size_t floor_char_boundary(std::string_view text, std::size_t offset) noexcept;

}  // namespace tersewright::edit

#include "analyzer/log_line.hpp"

#include <array>
#include <cstddef>

#include "edit/text.hpp"

namespace tersewright::analyzer {

namespace {

using edit::trim_white_space;
using edit::trim_white_space_start;

// Detection only asks "does this look like a record", so the vocabulary is narrower than the
// key's: "WARNING" is deliberately absent and "-" does not end a level word.
constexpr std::array<std::string_view, 7> log_like_levels = {"TRACE", "DEBUG", "INFO", "WARN",
                                                             "ERROR", "FATAL", "CRITICAL"};
// "WARN" comes before "WARNING": it fails on the following "I", so "WARNING" still matches.
constexpr std::array<std::string_view, 8> key_levels = {"TRACE", "DEBUG", "INFO",  "WARN",
                                                        "WARNING", "ERROR", "FATAL", "CRITICAL"};

constexpr std::size_t timestamp_length = 19;

bool is_ascii_letter(char c) noexcept { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool is_ascii_digit(char c) noexcept { return c >= '0' && c <= '9'; }

// "YYYY-MM-DD" followed by " " or "T"; the digits themselves are never checked.
bool has_date_shape(std::string_view text) noexcept {
  return text.size() >= timestamp_length && text[4] == '-' && text[7] == '-' &&
         (text[10] == ' ' || text[10] == 'T');
}

bool has_key_timestamp_shape(std::string_view text) noexcept {
  return has_date_shape(text) && text[13] == ':' && text[16] == ':';
}

// Length of the "[letters]" tag at the start of text, "]" included, or 0 when there is none.
std::size_t bracket_tag_length(std::string_view text) noexcept {
  if (text.empty() || text[0] != '[') return 0;
  std::size_t close = text.find(']');
  if (close == std::string_view::npos || close == 1) return 0;
  for (std::size_t i = 1; i < close; ++i)
    if (!is_ascii_letter(text[i])) return 0;
  return close + 1;
}

// Byte length of the key timestamp at the start of text (fraction and zone included), or 0 when
// there is none. A timestamp whose end would split a character is not taken as one: the line
// then keeps those bytes in its key rather than being cut inside a character.
std::size_t key_timestamp_length(std::string_view text) noexcept {
  if (!has_key_timestamp_shape(text)) return 0;
  std::size_t end = timestamp_length;
  if (end < text.size() && text[end] == '.') {
    ++end;
    while (end < text.size() && is_ascii_digit(text[end])) ++end;
  }
  if (end < text.size()) {
    if (text[end] == 'Z') {
      ++end;
    } else if (text[end] == '+' || text[end] == '-') {
      ++end;
      while (end < text.size() && (is_ascii_digit(text[end]) || text[end] == ':')) ++end;
    }
  }
  return edit::is_char_boundary(text, end) ? end : 0;
}

bool is_key_level_separator(char c) noexcept { return c == ' ' || c == '-' || c == ':' || c == ']'; }

// What is left of text once a leading level word and its separators are removed; text itself when
// no level word stands there.
std::string_view strip_key_level(std::string_view text) noexcept {
  for (std::string_view word : key_levels) {
    if (!text.starts_with(word)) continue;
    if (text.size() > word.size() && !is_key_level_separator(text[word.size()])) continue;
    std::size_t end = word.size();
    while (end < text.size() && is_key_level_separator(text[end])) ++end;
    return trim_white_space_start(text.substr(end));
  }
  return text;
}

}  // namespace

bool is_log_like_line(std::string_view line) noexcept {
  std::string_view rest = trim_white_space_start(line);
  if (has_date_shape(rest)) return true;
  if (!rest.empty() && rest[0] == '[') return bracket_tag_length(rest) != 0;
  for (std::string_view word : log_like_levels) {
    if (!rest.starts_with(word)) continue;
    if (rest.size() == word.size()) return true;
    char next = rest[word.size()];
    if (next == ' ' || next == ':' || next == ']') return true;
  }
  return false;
}

std::string log_event_key(std::string_view line) {
  std::string_view rest = trim_white_space(line);
  if (std::size_t stamp = key_timestamp_length(rest)) rest = trim_white_space_start(rest.substr(stamp));
  // A bracket tag stands where the level would; whatever follows it is the event, level word or not.
  if (std::size_t tag = bracket_tag_length(rest))
    rest = trim_white_space_start(rest.substr(tag));
  else
    rest = strip_key_level(rest);
  return std::string(trim_white_space(rest));
}

}  // namespace tersewright::analyzer

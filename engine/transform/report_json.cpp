#include "transform/report_json.hpp"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <cstdint>
#include <string_view>

#include "analyzer/json.hpp"
#include "transform/report_walk.hpp"

namespace tersewright::transform {

namespace {

// True when some byte of the text must be escaped in a JSON string: a control character, a double
// quote or a backslash. Eight bytes at a time; the word tests tell only whether some byte matches.
bool needs_escape(std::string_view text) noexcept {
  constexpr std::uint64_t ones = 0x0101010101010101u;
  constexpr std::uint64_t highs = 0x8080808080808080u;
  const auto has_zero_byte = [](std::uint64_t w) { return (w - ones) & ~w & highs; };
  const char* p = text.data();
  std::size_t left = text.size();
  for (; left >= 8; p += 8, left -= 8) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    const std::uint64_t control = (w - ones * 0x20) & ~w & highs;  // some byte below 0x20
    if (control | has_zero_byte(w ^ (ones * '"')) | has_zero_byte(w ^ (ones * '\\'))) return true;
  }
  for (; left > 0; ++p, --left) {
    const auto c = static_cast<unsigned char>(*p);
    if (c < 0x20 || c == '"' || c == '\\') return true;
  }
  return false;
}

// The text between double quotes when nothing in it needs escaping.
char* write_plain(char* at, std::string_view text) noexcept {
  *at++ = '"';
  std::memcpy(at, text.data(), text.size());
  at += text.size();
  *at++ = '"';
  return at;
}

// Compact JSON written straight into the text's bytes: every value asks for the room it may need,
// then writes through a cursor. A comma is owed after every completed value; a key or an opening
// bracket settles it.
class JsonSink {
 public:
  explicit JsonSink(std::size_t room) {
    text_.resize(room);
    cursor_ = text_.data();
  }

  void begin_object() { open('{'); }
  void end_object() { close('}'); }
  void begin_array() { open('['); }
  void end_array() { close(']'); }
  // Keys are the walk's own member names, plain identifiers that never need escaping.
  void key(std::string_view name) {
    char* at = write_plain(reserve(name.size() + 3), name);
    *at++ = ':';
    cursor_ = at;
    comma_owed_ = false;
  }
  void string(std::string_view text) {
    if (needs_escape(text)) {
      std::string escaped;
      analyzer::json::append_string(escaped, text);
      char* at = reserve(escaped.size());
      std::memcpy(at, escaped.data(), escaped.size());
      cursor_ = at + escaped.size();
    } else {
      cursor_ = write_plain(reserve(text.size() + 2), text);
    }
    comma_owed_ = true;
  }
  void boolean(bool flag) {
    char* at = reserve(6);
    if (flag) {
      std::memcpy(at, "true", 4);
      cursor_ = at + 4;
    } else {
      std::memcpy(at, "false", 5);
      cursor_ = at + 5;
    }
    comma_owed_ = true;
  }
  void integer(std::uint64_t value) { append_integer(value); }
  void integer(std::int64_t value) { append_integer(value); }
  void number(double value) {
    std::string digits;
    analyzer::json::append_double(digits, value);
    char* at = reserve(digits.size() + 1);
    std::memcpy(at, digits.data(), digits.size());
    cursor_ = at + digits.size();
    comma_owed_ = true;
  }

  std::string take() && {
    text_.resize(static_cast<std::size_t>(cursor_ - text_.data()));
    return std::move(text_);
  }

 private:
  // Room for extra more bytes at the cursor.
  void room(std::size_t extra) {
    const std::size_t used = static_cast<std::size_t>(cursor_ - text_.data());
    if (text_.size() - used < extra) {
      text_.resize(std::max(text_.size() * 2, used + extra));
      cursor_ = text_.data() + used;
    }
  }
  // Room for the owed comma and then extra bytes; returns where the value starts.
  char* reserve(std::size_t extra) {
    room(extra + 1);
    if (comma_owed_) *cursor_++ = ',';
    return cursor_;
  }
  void open(char bracket) {
    *reserve(1) = bracket;
    ++cursor_;
    comma_owed_ = false;
  }
  void close(char bracket) {
    room(1);
    *cursor_++ = bracket;
    comma_owed_ = true;
  }
  template <class Integer>
  void append_integer(Integer value) {
    char* at = reserve(24);  // any 64-bit integer with its sign
    cursor_ = std::to_chars(at, at + 24, value).ptr;
    comma_owed_ = true;
  }

  std::string text_;
  char* cursor_ = nullptr;
  bool comma_owed_ = false;
};

}  // namespace

std::string report_to_json(const Report& report) {
  JsonSink sink(640 + 192 * report.rules.size() + 160 * report.warnings.size());
  visit_report(report, sink);
  return std::move(sink).take();
}

}  // namespace tersewright::transform

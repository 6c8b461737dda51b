#include "text_format.hpp"

#include <Python.h>

#include <array>
#include <charconv>

namespace tersewright::python {
namespace {

// The text is valid UTF-8 (it came from a Python str), so no validation is repeated here.
char32_t decode_at(std::string_view text, std::size_t& offset) noexcept {
  const auto lead = static_cast<unsigned char>(text[offset]);
  int length = 1;
  char32_t code_point = lead;
  if (lead >= 0xF0) {
    length = 4;
    code_point = lead & 0x07;
  } else if (lead >= 0xE0) {
    length = 3;
    code_point = lead & 0x0F;
  } else if (lead >= 0xC0) {
    length = 2;
    code_point = lead & 0x1F;
  }
  for (int i = 1; i < length && offset + i < text.size(); ++i) {
    code_point = (code_point << 6) | (static_cast<unsigned char>(text[offset + i]) & 0x3F);
  }
  offset += static_cast<std::size_t>(length);
  return code_point;
}

void append_hex_escape(std::string& out, char32_t code_point) {
  std::array<char, 8> digits{};
  const auto [end, error] =
      std::to_chars(digits.data(), digits.data() + digits.size(), static_cast<std::uint32_t>(code_point), 16);
  static_cast<void>(error);  // eight hex digits always suffice for a code point
  out += "\\u{";
  out.append(digits.data(), end);
  out += '}';
}

}  // namespace

void append_quoted(std::string& out, std::string_view utf8) {
  out += '"';
  std::size_t offset = 0;
  while (offset < utf8.size()) {
    const std::size_t start = offset;
    const char32_t code_point = decode_at(utf8, offset);
    switch (code_point) {
      case U'\\': out += "\\\\"; continue;
      case U'"': out += "\\\""; continue;
      case U'\t': out += "\\t"; continue;
      case U'\r': out += "\\r"; continue;
      case U'\n': out += "\\n"; continue;
      case U'\0': out += "\\0"; continue;
      default: break;
    }
    if (is_grapheme_extend(code_point) || !Py_UNICODE_ISPRINTABLE(static_cast<Py_UCS4>(code_point))) {
      append_hex_escape(out, code_point);
    } else {
      out.append(utf8.substr(start, offset - start));
    }
  }
  out += '"';
}

void append_ratio(std::string& out, double ratio) {
  std::array<char, 512> digits{};
  const auto [end, error] =
      std::to_chars(digits.data(), digits.data() + digits.size(), ratio, std::chars_format::fixed, 3);
  if (error != std::errc{}) {
    out += "nan";
    return;
  }
  out.append(digits.data(), end);
}

}  // namespace tersewright::python

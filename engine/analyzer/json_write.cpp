// The compact writer and its string and number notations.
#include "analyzer/json.hpp"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "analyzer/json_order.hpp"
#include "analyzer/json_scan.hpp"

namespace tersewright::analyzer::json {
namespace {

template <typename Integer>
void append_integer(std::string& out, Integer value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

}  // namespace

void append_string(std::string& out, std::string_view text) {
  static constexpr char hex[] = "0123456789abcdef";
  out.push_back('"');
  std::size_t run = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c != '"' && c != '\\') continue;
    out.append(text.data() + run, i - run);
    run = i + 1;
    switch (c) {
      case '"': out.append("\\\""); break;
      case '\\': out.append("\\\\"); break;
      case '\b': out.append("\\b"); break;
      case '\t': out.append("\\t"); break;
      case '\n': out.append("\\n"); break;
      case '\f': out.append("\\f"); break;
      case '\r': out.append("\\r"); break;
      default: {
        const char escape[6] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 0xF]};
        out.append(escape, 6);
      }
    }
  }
  out.append(text.data() + run, text.size() - run);
  out.push_back('"');
}

char* scan::write_double(char* text, double value) noexcept {
  // Shortest round-trip digits in scientific form, e.g. "-1.2345e+19"; only the notation changes below.
  char sci[32];
  const char* const sci_end = std::to_chars(sci, sci + sizeof sci, value, std::chars_format::scientific).ptr;
  const char* p = sci;
  char* t = text;
  if (*p == '-') *t++ = *p++;
  char digits[20];
  int count = 0;
  for (; *p != 'e'; ++p)
    if (*p != '.') digits[count++] = *p;
  ++p;
  const bool exponent_negative = *p++ == '-';
  int exponent = 0;
  for (; p != sci_end; ++p) exponent = exponent * 10 + (*p - '0');
  if (exponent_negative) exponent = -exponent;

  const auto put = [&t](const char* from, int n) {
    std::memcpy(t, from, static_cast<std::size_t>(n));
    t += n;
  };
  const auto fill_zeros = [&t](int n) {
    std::memset(t, '0', static_cast<std::size_t>(n));
    t += n;
  };
  if (exponent >= -5 && exponent <= 15) {
    if (exponent < 0) {
      put("0.", 2);
      fill_zeros(-exponent - 1);
      put(digits, count);
    } else if (count <= exponent + 1) {
      put(digits, count);
      fill_zeros(exponent + 1 - count);
      put(".0", 2);
    } else {
      put(digits, exponent + 1);
      *t++ = '.';
      put(digits + exponent + 1, count - exponent - 1);
    }
  } else {
    *t++ = digits[0];
    if (count > 1) {
      *t++ = '.';
      put(digits + 1, count - 1);
    }
    *t++ = 'e';
    t = std::to_chars(t, text + double_room, exponent).ptr;
  }
  return t;
}

void append_double(std::string& out, double value) {
  if (!std::isfinite(value)) {
    out.append("null");
    return;
  }
  char text[scan::double_room];
  out.append(text, scan::write_double(text, value));
}

std::string write_compact(const Value& value, std::size_t size_hint) {
  // Open containers with the index of their next element or member; a tree built elsewhere may
  // nest deeper than the parser allows, so the walk keeps its own stack.
  struct Frame {
    const Array* array = nullptr;
    const Object* object = nullptr;
    std::size_t next = 0;
    std::vector<std::size_t> order;  // member positions in writing order, only for an object stored out of it
  };
  std::string out;
  out.reserve(size_hint);
  std::vector<Frame> stack;

  const auto open = [&](const Value& v) {
    if (const auto* array = std::get_if<Array>(&v.data)) {
      out.push_back('[');
      stack.push_back(Frame{array, nullptr, 0, {}});
    } else if (const auto* object = std::get_if<Object>(&v.data)) {
      out.push_back('{');
      Frame frame{nullptr, object, 0, {}};
      order_by_key(*object, frame.order);
      stack.push_back(std::move(frame));
    } else if (const auto* text = std::get_if<std::string>(&v.data)) {
      append_string(out, *text);
    } else if (const auto* unsigned_value = std::get_if<std::uint64_t>(&v.data)) {
      append_integer(out, *unsigned_value);
    } else if (const auto* signed_value = std::get_if<std::int64_t>(&v.data)) {
      append_integer(out, *signed_value);
    } else if (const auto* double_value = std::get_if<double>(&v.data)) {
      append_double(out, *double_value);
    } else if (const auto* big = std::get_if<BigInteger>(&v.data)) {
      out.append(big->digits);
    } else if (const auto* flag = std::get_if<bool>(&v.data)) {
      out.append(*flag ? "true" : "false");
    } else {
      out.append("null");  // null, or a value left empty by a failed assignment
    }
  };

  open(value);
  while (!stack.empty()) {
    Frame& frame = stack.back();
    const std::size_t size =
        frame.array != nullptr ? frame.array->size() : (frame.order.empty() ? frame.object->size() : frame.order.size());
    if (frame.next == size) {
      out.push_back(frame.array != nullptr ? ']' : '}');
      stack.pop_back();
      continue;
    }
    if (frame.next != 0) out.push_back(',');
    const std::size_t index = frame.next++;
    // open() may grow the stack, so frame is not used after it.
    if (frame.array != nullptr) {
      open((*frame.array)[index]);
    } else {
      const Member& member = (*frame.object)[frame.order.empty() ? index : frame.order[index]];
      append_string(out, member.key);
      out.push_back(':');
      open(member.value);
    }
  }
  return out;
}

}  // namespace tersewright::analyzer::json

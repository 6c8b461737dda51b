// Strict JSON validation into a value tree, and the compact sorted-key writer.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tersewright::analyzer::json {

struct Value;

using Array = std::vector<Value>;
// Keys ordered byte by byte (std::string's operator< compares as unsigned char).
using Object = std::map<std::string, Value, std::less<>>;

// A number kept exactly as one of: unsigned 64-bit integer, signed (negative) 64-bit integer,
// double, or an integer too large for 64 bits kept as its original decimal digits.
struct BigInteger {
  std::string digits;  // optional "-" then the digits, exactly as written
  friend bool operator==(const BigInteger&, const BigInteger&) = default;
};

struct Value {
  using Storage = std::variant<std::nullptr_t, bool, std::uint64_t, std::int64_t, double, BigInteger,
                               std::string, Array, Object>;
  Storage data;
};

// Maximum container depth: 127 nested containers validate, 128 do not.
inline constexpr int max_depth = 127;

// The single value of the text (JSON whitespace only around it), or nothing when invalid.
std::optional<Value> parse(std::string_view text);

// Fast check with the same verdict as parse().
bool is_valid(std::string_view text);

// Compact text: no whitespace, object keys in ascending byte order.
std::string write_compact(const Value& value);

// Appends the shortest round-trip form of a finite double in the compact notation
// (plain for decimal exponents -5..15, ending in ".0" when integral; otherwise d.ddde-7 style).
void append_double(std::string& out, double value);

}  // namespace tersewright::analyzer::json

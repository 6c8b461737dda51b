// Strict JSON validation into a value tree, the compact sorted-key writer, and both in one pass.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace tersewright::analyzer::json {

struct Value;

using Array = std::vector<Value>;

// An object is a vector of members kept in ascending byte order of the keys (std::string's
// operator< compares as unsigned char), one member per key. A sorted vector rather than a map:
// parsing a large document builds millions of small objects, and one allocation per object instead
// of one per member makes parsing, writing and freeing several times faster. Code that builds an
// object member by member uses set(), or appends in any order and calls sort_members() once.
struct Member;
using Object = std::vector<Member>;

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

// A key and its value. A struct of our own rather than std::pair: clang 14 with libstdc++ 12 cannot
// instantiate std::pair<std::string, Value> from some translation units, since the pair's
// default-constructor constraint asks whether Value is default-constructible, which in turn asks
// whether the pair itself is destructible while it is still being defined.
struct Member {
  Member() = default;
  Member(std::string key, Value value) : key(std::move(key)), value(std::move(value)) {}
  std::string key;
  Value value;
};

// The member's value, or null when the key is absent. The object must be sorted.
const Value* find(const Object& object, std::string_view key) noexcept;
Value* find(Object& object, std::string_view key) noexcept;

// Inserts the member at its place in a sorted object, or replaces the value of an existing key.
void set(Object& object, std::string key, Value value);

// Sorts the members by key; of members sharing a key, the one that came last is the one kept.
void sort_members(Object& object);

// Maximum container depth: 127 nested containers validate, 128 do not.
inline constexpr int max_depth = 127;

// The single value of the text (JSON whitespace only around it), or nothing when invalid: at most
// max_depth nested containers, no raw control characters or lone surrogate escapes in strings, no
// number that overflows a double (one that underflows reads as zero or the nearest subnormal).
// "-0" reads as the double -0.0. The text is expected to be UTF-8; other bytes in strings are kept.
std::optional<Value> parse(std::string_view text);

// Fast check with the same verdict as parse().
bool is_valid(std::string_view text);

// write_compact(*parse(text)) in one pass and without building the tree: the compact text, or
// nothing exactly when parse() refuses the text. size_hint is the room reserved up front.
std::optional<std::string> compact(std::string_view text, std::size_t size_hint = 0);

// Compact text: no whitespace, object keys in ascending byte order (an object built out of order is
// written as sort_members() would order it). A tree nested deeper than max_depth is written too.
// size_hint is the room reserved up front (the size of the text parsed, say), a hint only.
std::string write_compact(const Value& value, std::size_t size_hint = 0);

// Appends the text as a JSON string literal: quote, backslash and control characters escaped
// (\b \t \n \f \r by name, the others as \u00XX); every other byte is copied as it is.
void append_string(std::string& out, std::string_view text);

// Appends the shortest round-trip form of a finite double in the compact notation
// (plain for decimal exponents -5..15, ending in ".0" when integral; otherwise d.ddde-7 style).
// A value that is not finite has no JSON form and is written as null.
void append_double(std::string& out, double value);

}  // namespace tersewright::analyzer::json

// Strict JSON validation and the compact sorted-key writer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "analyzer/json.hpp"

namespace {

namespace json = tersewright::analyzer::json;
using namespace std::string_literals;

std::string nested(int depth, const std::string& open, const std::string& inner, const std::string& close) {
  std::string text;
  for (int i = 0; i < depth; ++i) text += open;
  text += inner;
  for (int i = 0; i < depth; ++i) text += close;
  return text;
}

// parse() and is_valid() must agree, and they take different paths for numbers.
TEST(JsonVerdict, ParseAndIsValidAgree) {
  const std::string valid[] = {
      "0", "-0", "\"\"", "true", "null", "[]", "{}", " \t\n\r[ 1 , {\"a\" : [ ] } ]\r\n\t ", "[\"\\u0000\"]",
      "[\"\\uD83D\\uDE00\"]", "[1E+2,1e-2,-1.5E2,0.0]",
      "[1.7976931348623158e308]",           // rounds down to the largest double
      "[0.1e309,10e307]",                   // leading digit at 10^308, still finite
      "[1e-400,-1e-99999999999999999999]",  // underflow reads as zero
      "[" + std::string(400, '9') + "]",    // integers never overflow
      nested(127, "[", "", "]"), nested(127, "{\"k\":", "1", "}"), nested(63, "[{\"k\":", "[]", "}]"),
      // Closing a container gives its level back: two 126-deep siblings fit under one array.
      "[" + nested(126, "[", "", "]") + "," + nested(126, "[", "", "]") + "]"};
  const std::string invalid[] = {
      nested(128, "[", "", "]"), nested(128, "{\"k\":", "1", "}"), nested(64, "[{\"k\":", "[]", "}]"),
      // Empty, whitespace other than the four JSON ones, more than one value.
      "", " \n", "\xEF\xBB\xBF[1]", "\f[1]", "[1]\v", "\xC2\xA0[1]", "[1][2]", "1 2", "[1] x", "[1]\0"s,
      "[1,]", "{\"a\":1,}", "[,1]", "[1 2]", "{\"a\" 1}", "{\"a\":}", "{a:1}", "{1:1}", "{'a':1}", "['a']", "[1}",
      "{\"a\":1]", "[1", "{\"a\":1", "]", "[1]/*c*/", "//c\n[1]", "[1,#c\n2]",
      "[NaN]", "[Infinity]", "[-Infinity]", "[True]", "[tru]", "nul", "[nulll]",
      "[01]", "[-01]", "[00]", "[+1]", "[.5]", "[1.]", "[1.e5]", "[1e]", "[1e+]", "[-]", "[--1]", "[0x10]", "[2e308]",
      "[-2e308]", "[1.7976931348623159e308]", "[1e99999999999999999999]", "[10e308]",
      "[\"a\tb\"]", "[\"a\nb\"]", "[\"\x1f\"]", "[\"\0\"]"s, "[\"abc]", "[\"abc\\\"]", "[\"\\x41\"]", "[\"\\U0041\"]",
      "[\"\\'\"]", "[\"\\u12\"]", "[\"\\u12G4\"]", "\"\\", "[\"\\ud800\"]", "[\"\\ud800x\"]", "[\"\\ud800\\u0041\"]",
      "[\"\\ud800\\ud800\"]", "[\"\\udc00\"]", "[\"\\udc00\\ud800\"]", "[\"\\ud800\\"};
  for (const std::string& text : valid) {
    EXPECT_TRUE(json::parse(text).has_value()) << text;
    EXPECT_TRUE(json::is_valid(text)) << text;
  }
  for (const std::string& text : invalid) {
    EXPECT_FALSE(json::parse(text).has_value()) << text;
    EXPECT_FALSE(json::is_valid(text)) << text;
  }
  // Truncating a valid document anywhere must be rejected, never read past the end.
  const std::string text = R"({"a":[true,false,null,-1.5e-3,"x\"\u00e9\ud83d\ude00"],"b":{"c":{}}})";
  ASSERT_TRUE(json::is_valid(text));
  for (std::size_t n = 0; n < text.size(); ++n) {
    EXPECT_FALSE(json::is_valid(text.substr(0, n))) << n;
    EXPECT_FALSE(json::parse(text.substr(0, n)).has_value()) << n;
  }
}

// Keys k00..k(n-1) in descending order, each given twice (first -1, then its index): the later
// duplicate must win whether the object is small or wide enough to be ordered another way.
std::pair<std::string, std::string> wide_object(int n) {
  const auto key = [](int i) { return "\"k" + std::string(i < 10 ? "0" : "") + std::to_string(i) + "\":"; };
  std::string input;
  std::string output;
  for (int i = n - 1; i >= 0; --i) input += "," + key(i) + "-1";
  for (int i = n - 1; i >= 0; --i) input += "," + key(i) + std::to_string(i);
  for (int i = 0; i < n; ++i) output += "," + key(i) + std::to_string(i);
  return {"{" + input.substr(1) + "}", "{" + output.substr(1) + "}"};
}

TEST(JsonCompact, WritesTheExpectedTextWhichIsItsOwnCompactForm) {
  const std::pair<std::string, std::string> cases[] = {
      {"{\n  \"name\": \"x\",\n  \"list\": [\n    1,\n    2\n  ],\n  \"inner\": {\n    \"z\": null,\n    \"a\": true\n"
       "  }\n}\n", R"({"inner":{"a":true,"z":null},"list":[1,2],"name":"x"})"},
      {R"({"b":1,"a":2})", R"({"a":2,"b":1})"}, {R"({"a":1,"a":2})", R"({"a":2})"},
      {R"({"a":{"x":1},"b":0,"a":[3],"c":1,"a":"last"})", R"({"a":"last","b":0,"c":1})"},
      // Byte order, not code point or case-folded order: "" < "Z" < "a" < "ab" < "z" < "\x7f" < "é".
      {"{\"\xC3\xA9\":0,\"z\":1,\"\x7f\":2,\"ab\":3,\"a\":4,\"Z\":5,\"\":6}",
       "{\"\":6,\"Z\":5,\"a\":4,\"ab\":3,\"z\":1,\"\x7f\":2,\"\xC3\xA9\":0}"},
      wide_object(3), wide_object(8), wide_object(40), {"[ [ ] , { } , [ { } ] ]", "[[],{},[{}]]"},
      {" \"top\" ", "\"top\""},
      {nested(127, "[ ", "", " ]"), nested(127, "[", "", "]")},
      {nested(127, "{ \"k\" : ", "0", " }"), nested(127, "{\"k\":", "0", "}")},
      // Strings: escapes by name where JSON has one, other control characters as \u00xx, the rest as UTF-8.
      {R"(["\"\\\/\b\f\n\r\t"])", R"(["\"\\/\b\f\n\r\t"])"},
      {R"(["\u0000\u0001\u001F\u001b\u0020\u007f"])", "[\"\\u0000\\u0001\\u001f\\u001b \x7f\"]"},
      {R"(["\u0008\u0009\u000A\u000C\u000D\u000B"])", R"(["\b\t\n\f\r\u000b"])"},
      {R"(["\u00e9\u00C9", "é"])", "[\"\xC3\xA9\xC3\x89\",\"\xC3\xA9\"]"},
      {R"(["\u20ac\u2028\uffff"])", "[\"\xE2\x82\xAC\xE2\x80\xA8\xEF\xBF\xBF\"]"},
      {R"(["\ud83d\ude00\uDBFF\uDFFF\uD800\uDC00"])", "[\"\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF\xF0\x90\x80\x80\"]"},
      {R"({"k\u0022\n":"v"})", R"({"k\"\n":"v"})"},
      // Numbers: integers stay integers up to 64 bits and keep their digits beyond; the rest are doubles.
      {"[0,-1,42,-42]", "[0,-1,42,-42]"},
      {"[1e2,1E2,1e+2,100e-2,1.50,-1.25e3,0e5]", "[100.0,100.0,100.0,1.0,1.5,-1250.0,0.0]"},
      {"[-0,-0.0,-0e3,0.0]", "[-0.0,-0.0,-0.0,0.0]"},
      {"[0.1,0.2,0.30000000000000004]", "[0.1,0.2,0.30000000000000004]"},
      {"[5e-324,3e-324,1.7976931348623157e308,1.7976931348623158e308]",
       "[5e-324,5e-324,1.7976931348623157e308,1.7976931348623157e308]"},
      {"[1e-400,-1e-400,2.4e-324,0." + std::string(400, '0') + "1]", "[0.0,-0.0,0.0,0.0]"},
      {"[1e-5,1e-6,1e15,1e16,123456789012345680000.0,1.5e-7]",
       "[0.00001,1e-6,1000000000000000.0,1e16,1.2345678901234568e20,1.5e-7]"},
      {"[0.1e309,1" + std::string(30, '0') + ".5]", "[1e308,1e30]"},
      {"[18446744073709551615,12345678901234567890,9223372036854775808]",
       "[18446744073709551615,12345678901234567890,9223372036854775808]"},
      {"[-9223372036854775808,-9223372036854775809]", "[-9223372036854775808,-9223372036854775809]"},
      {"[18446744073709551616,99999999999999999999,-99999999999999999999]",
       "[18446744073709551616,99999999999999999999,-99999999999999999999]"},
      {"[12345678901234567890.0,12345678901234567890e0]", "[1.2345678901234567e19,1.2345678901234567e19]"}};
  for (const auto& [input, output] : cases) {
    SCOPED_TRACE(input);
    const auto value = json::parse(input);
    ASSERT_TRUE(value.has_value());
    // The writer orders objects itself, so the parser's own ordering is checked on the tree.
    if (const auto* object = std::get_if<json::Object>(&value->data)) {
      const auto unordered = [](const json::Member& a, const json::Member& b) {
        const auto& [a_key, a_value] = a;
        const auto& [b_key, b_value] = b;
        return !(a_key < b_key);
      };
      EXPECT_EQ(std::adjacent_find(object->begin(), object->end(), unordered), object->end());
    }
    EXPECT_EQ(json::write_compact(*value), output);
    const auto again = json::parse(output);
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(json::write_compact(*again), output);
  }
}

// The one-pass compactor against the tree on what random inputs seldom reach: nesting at the limit,
// keys whose escapes decode to the same or to ordered bytes, surrogate pairs, big integers.
TEST(JsonOnePass, MatchesTheTreeOnRareForms) {
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {nested(127, "[ ", "", " ]"), nested(127, "[", "", "]")},
      {nested(63, "{\"b\":0, \"a\": [", "-0", "]}"), nested(63, "{\"a\":[", "-0.0", "],\"b\":0}")},
      {nested(127, "{\"k\":", "1", "}") + " ", nested(127, "{\"k\":", "1", "}")},
      {nested(128, "[", "", "]"), std::nullopt},
      {"[" + nested(127, "{\"k\":", "1", "}") + "]", std::nullopt},
      // Keys equal once decoded: the last one wins, whichever spelling it had.
      {R"({"a\u0062":1,"ab":2,"\u0061b":3,"b":0})", R"({"ab":3,"b":0})"},
      {"{\"\\u00e9\":1,\"\xC3\xA9\":2}", "{\"\xC3\xA9\":2}"},
      {R"({"\/":1,"/":2,"\u002F":3})", R"({"/":3})"},
      // Keys that differ only after an escape, ordered by their decoded bytes, not their spelling.
      {R"({"k\u0022z":1,"k\"a":2,"k!":3,"k\\":4,"kA":5})", R"({"k!":3,"k\"a":2,"k\"z":1,"kA":5,"k\\":4})"},
      {R"({"x\n":1,"x\u0009":2,"x":3})", R"({"x":3,"x\t":2,"x\n":1})"},
      // Surrogate pairs decode to four bytes and sort after every key below U+10000.
      {R"({"\ud83d\ude00":1,"\uffff":2,"\uD800\uDC00":3})",
       "{\"\xEF\xBF\xBF\":2,\"\xF0\x90\x80\x80\":3,\"\xF0\x9F\x98\x80\":1}"},
      {R"(["\ud83d\u0041"])", std::nullopt},
      {R"({"\ud83d":1})", std::nullopt},
      // Integers keep their digits past 64 bits, in keys' values as in arrays.
      {"{\"z\":-9223372036854775809,\"a\":" + std::string(300, '9') + "}",
       "{\"a\":" + std::string(300, '9') + ",\"z\":-9223372036854775809}"},
      {"[1" + std::string(400, '0') + "e-400]", "[1.0]"},
      {"[1e309]", std::nullopt}};
  for (const auto& [input, output] : cases) {
    SCOPED_TRACE(input);
    const auto tree = json::parse(input);
    EXPECT_EQ(tree.has_value(), output.has_value());
    EXPECT_EQ(json::compact(input, input.size()), output);
    if (tree) {
      EXPECT_EQ(json::write_compact(*tree), output.value_or(""));
    }
  }
}

// Which of the number representations each form lands in (the alternatives of the value's variant).
TEST(JsonCompact, NumbersKeepTheRepresentationOfTheirForm) {
  const auto value = json::parse(
      "[18446744073709551615,-9223372036854775808,-1,0,-0,1.0,1e0,18446744073709551616,-9223372036854775809]");
  ASSERT_TRUE(value.has_value());
  std::vector<std::size_t> kinds;
  for (const json::Value& item : std::get<json::Array>(value->data)) kinds.push_back(item.data.index());
  using Storage = json::Value::Storage;
  const std::size_t u = Storage(std::uint64_t{}).index(), i = Storage(std::int64_t{}).index(),
                    d = Storage(0.0).index(), big = Storage(json::BigInteger{}).index();
  EXPECT_EQ(kinds, (std::vector<std::size_t>{u, i, i, u, d, d, d, big, big}));
  EXPECT_TRUE(std::signbit(std::get<double>(std::get<json::Array>(value->data)[4].data)));
}

// The double notation on its own, including values no parsed text yields.
TEST(JsonWriter, DoublesInTheShortestDigitsAndTheNotationOfTheirExponent) {
  const std::pair<double, const char*> cases[] = {
      {12.5, "12.5"}, {0.001, "0.001"}, {1.0 / 3.0, "0.3333333333333333"}, {1.2345e-5, "0.000012345"},
      {9.5e-6, "9.5e-6"}, {1234567890123456.7, "1234567890123456.8"}, {-1e16, "-1e16"}, {1e100, "1e100"},
      {2.2250738585072014e-308, "2.2250738585072014e-308"}, {std::numeric_limits<double>::infinity(), "null"},
      {std::nan(""), "null"}};
  for (const auto& [value, text] : cases) {
    std::string out = "x";
    json::append_double(out, value);
    EXPECT_EQ(out, std::string("x") + text);
  }
}

// Trees built in code rather than parsed: every byte class of a string, the number forms.
TEST(JsonWriter, EscapesEveryControlByteAndCopiesTheRest) {
  std::string all;
  for (int c = 0; c < 0x80; ++c) all.push_back(static_cast<char>(c));
  all += "\xC3\xA9";
  json::Value value{json::Object{}};
  json::set(std::get<json::Object>(value.data), all,
            json::Value{json::Array{json::Value{std::uint64_t{7}}, json::Value{std::int64_t{-7}},
                                    json::Value{json::BigInteger{"-1" + std::string(25, '0')}},
                                    json::Value{-std::numeric_limits<double>::infinity()}, json::Value{false},
                                    json::Value{nullptr}}});
  const std::string expected_key =
      "\\u0000\\u0001\\u0002\\u0003\\u0004\\u0005\\u0006\\u0007\\b\\t\\n\\u000b\\f\\r\\u000e\\u000f"
      "\\u0010\\u0011\\u0012\\u0013\\u0014\\u0015\\u0016\\u0017\\u0018\\u0019\\u001a\\u001b\\u001c\\u001d\\u001e\\u001f"
      " !\\\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\\\]^_`abcdefghijklmnopqrstuvwxyz{|}~\x7f"
      "\xC3\xA9";
  EXPECT_EQ(json::write_compact(value),
            "{\"" + expected_key + "\":[7,-7,-1" + std::string(25, '0') + ",null,false,null]}");
}

// Objects assembled in code: appended out of order with a repeated key, then ordered three ways.
TEST(JsonWriter, OrdersObjectsBuiltOutOfOrderAndKeepsTheLastDuplicate) {
  json::Object object;
  for (const char* key : {"b", "\xC3\xA9", "a", "B", "b", "a"})
    object.emplace_back(key, json::Value{std::string(key) + std::to_string(object.size())});
  const std::string expected = "{\"B\":\"B3\",\"a\":\"a5\",\"b\":\"b4\",\"\xC3\xA9\":\"\xC3\xA9" "1\"}";
  EXPECT_EQ(json::write_compact(json::Value{object}), expected);
  json::sort_members(object);
  ASSERT_EQ(object.size(), 4u);
  EXPECT_EQ(json::write_compact(json::Value{object}), expected);
  ASSERT_NE(json::find(object, "b"), nullptr);
  EXPECT_EQ(std::get<std::string>(json::find(object, "b")->data), "b4");
  EXPECT_EQ(json::find(object, "c"), nullptr);
  EXPECT_EQ(json::find(object, ""), nullptr);
  json::set(object, "b", json::Value{nullptr});
  json::set(object, "", json::Value{true});
  json::set(object, "c", json::Value{false});
  EXPECT_EQ(json::write_compact(json::Value{object}),
            "{\"\":true,\"B\":\"B3\",\"a\":\"a5\",\"b\":null,\"c\":false,\"\xC3\xA9\":\"\xC3\xA9" "1\"}");
}

}  // namespace

// Strict JSON validation and the compact sorted-key writer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <ostream>
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

// ---------------------------------------------------------------------------------------------
// Verdicts: parse() and is_valid() must agree, and they take different paths for numbers.

class JsonAccepts : public ::testing::TestWithParam<std::string> {};
class JsonRejects : public ::testing::TestWithParam<std::string> {};

TEST_P(JsonAccepts, BothParseAndIsValid) {
  EXPECT_TRUE(json::parse(GetParam()).has_value());
  EXPECT_TRUE(json::is_valid(GetParam()));
}

TEST_P(JsonRejects, NeitherParseNorIsValid) {
  EXPECT_FALSE(json::parse(GetParam()).has_value());
  EXPECT_FALSE(json::is_valid(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(JsonValues, JsonAccepts, ::testing::Values(
    "0", "-0", "\"\"", "true", "null", "[]", "{}", " \t\n\r[ 1 , {\"a\" : [ ] } ]\r\n\t ", "[\"\\u0000\"]",
    "[\"\\uD83D\\uDE00\"]", "[1E+2,1e-2,-1.5E2,0.0]",
    "[1.7976931348623158e308]",                 // rounds down to the largest double
    "[0.1e309,10e307]",                         // leading digit at 10^308, still finite
    "[1e-400,-1e-99999999999999999999]",        // underflow reads as zero
    "[" + std::string(400, '9') + "]"));        // integers never overflow

INSTANTIATE_TEST_SUITE_P(JsonDepth, JsonAccepts, ::testing::Values(
    nested(127, "[", "", "]"), nested(127, "{\"k\":", "1", "}"), nested(63, "[{\"k\":", "[]", "}]"),
    // Closing a container gives its level back: two 126-deep siblings fit under one array.
    "[" + nested(126, "[", "", "]") + "," + nested(126, "[", "", "]") + "]"));

INSTANTIATE_TEST_SUITE_P(JsonDepth, JsonRejects, ::testing::Values(
    nested(128, "[", "", "]"), nested(128, "{\"k\":", "1", "}"), nested(64, "[{\"k\":", "[]", "}]")));

INSTANTIATE_TEST_SUITE_P(JsonText, JsonRejects, ::testing::Values(
    // Empty, whitespace other than the four JSON ones, more than one value.
    "", " \n", "\xEF\xBB\xBF[1]", "\f[1]", "[1]\v", "\xC2\xA0[1]", "[1][2]", "1 2", "[1] x", "[1]\0"s));

INSTANTIATE_TEST_SUITE_P(JsonStructure, JsonRejects, ::testing::Values(
    "[1,]", "{\"a\":1,}", "[,1]", "[1 2]", "{\"a\" 1}", "{\"a\":}", "{a:1}", "{1:1}", "{'a':1}", "['a']", "[1}",
    "{\"a\":1]", "[1", "{\"a\":1", "]", "[1]/*c*/", "//c\n[1]", "[1,#c\n2]"));

INSTANTIATE_TEST_SUITE_P(JsonLiterals, JsonRejects, ::testing::Values(
    "[NaN]", "[Infinity]", "[-Infinity]", "[True]", "[tru]", "nul", "[nulll]"));

INSTANTIATE_TEST_SUITE_P(JsonNumbers, JsonRejects, ::testing::Values(
    "[01]", "[-01]", "[00]", "[+1]", "[.5]", "[1.]", "[1.e5]", "[1e]", "[1e+]", "[-]", "[--1]", "[0x10]", "[2e308]",
    "[-2e308]", "[1.7976931348623159e308]", "[1e99999999999999999999]", "[10e308]"));

INSTANTIATE_TEST_SUITE_P(JsonStrings, JsonRejects, ::testing::Values(
    "[\"a\tb\"]", "[\"a\nb\"]", "[\"\x1f\"]", "[\"\0\"]"s, "[\"abc]", "[\"abc\\\"]", "[\"\\x41\"]",
    "[\"\\U0041\"]", "[\"\\'\"]", "[\"\\u12\"]", "[\"\\u12G4\"]", "\"\\", "[\"\\ud800\"]", "[\"\\ud800x\"]",
    "[\"\\ud800\\u0041\"]", "[\"\\ud800\\ud800\"]", "[\"\\udc00\"]", "[\"\\udc00\\ud800\"]", "[\"\\ud800\\"));

// Truncating a valid document anywhere must be rejected, never read past the end.
TEST(JsonValidityPrefix, EveryProperPrefixIsInvalid) {
  const std::string text = R"({"a":[true,false,null,-1.5e-3,"x\"\u00e9\ud83d\ude00"],"b":{"c":{}}})";
  ASSERT_TRUE(json::is_valid(text));
  for (std::size_t n = 0; n < text.size(); ++n) {
    EXPECT_FALSE(json::is_valid(text.substr(0, n))) << n;
    EXPECT_FALSE(json::parse(text.substr(0, n)).has_value()) << n;
  }
}

// ---------------------------------------------------------------------------------------------
// Compact output of parsed text.

struct CompactCase {
  std::string input;
  std::string output;
};

// Keys k00..k(n-1) in descending order, each given twice (first -1, then its index): the later
// duplicate must win whether the object is small or wide enough to be ordered another way.
CompactCase wide_object(int n) {
  const auto key = [](int i) { return "\"k" + std::string(i < 10 ? "0" : "") + std::to_string(i) + "\":"; };
  std::string input;
  std::string output;
  for (int i = n - 1; i >= 0; --i) input += "," + key(i) + "-1";
  for (int i = n - 1; i >= 0; --i) input += "," + key(i) + std::to_string(i);
  for (int i = 0; i < n; ++i) output += "," + key(i) + std::to_string(i);
  return {"{" + input.substr(1) + "}", "{" + output.substr(1) + "}"};
}
void PrintTo(const CompactCase& c, std::ostream* os) { *os << ::testing::PrintToString(c.input); }

// The writer orders objects itself, so the parser's own ordering is checked on the tree.
bool objects_strictly_ordered(const json::Value& root) {
  std::vector<const json::Value*> pending{&root};
  while (!pending.empty()) {
    const json::Value* value = pending.back();
    pending.pop_back();
    if (const auto* array = std::get_if<json::Array>(&value->data)) {
      for (const json::Value& element : *array) pending.push_back(&element);
    } else if (const auto* object = std::get_if<json::Object>(&value->data)) {
      for (std::size_t i = 0; i < object->size(); ++i) {
        if (i > 0 && !((*object)[i - 1].key < (*object)[i].key)) return false;
        pending.push_back(&(*object)[i].value);
      }
    }
  }
  return true;
}

class JsonCompact : public ::testing::TestWithParam<CompactCase> {};

TEST_P(JsonCompact, WritesTheExpectedTextWhichIsItsOwnCompactForm) {
  const CompactCase& c = GetParam();
  const auto value = json::parse(c.input);
  ASSERT_TRUE(value.has_value());
  EXPECT_TRUE(objects_strictly_ordered(*value));
  EXPECT_EQ(json::write_compact(*value), c.output);
  const auto again = json::parse(c.output);
  ASSERT_TRUE(again.has_value());
  EXPECT_EQ(json::write_compact(*again), c.output);
}

INSTANTIATE_TEST_SUITE_P(JsonStructure, JsonCompact, ::testing::Values(
    CompactCase{"{\n  \"name\": \"x\",\n  \"list\": [\n    1,\n    2\n  ],\n  \"inner\": {\n    \"z\": null,\n"
                "    \"a\": true\n  }\n}\n",
                R"({"inner":{"a":true,"z":null},"list":[1,2],"name":"x"})"},
    CompactCase{R"({"b":1,"a":2})", R"({"a":2,"b":1})"},
    CompactCase{R"({"a":1,"a":2})", R"({"a":2})"},
    CompactCase{R"({"a":{"x":1},"b":0,"a":[3],"c":1,"a":"last"})", R"({"a":"last","b":0,"c":1})"},
    // Byte order, not code point or case-folded order: "" < "Z" < "a" < "ab" < "z" < "\x7f" < "é".
    CompactCase{"{\"\xC3\xA9\":0,\"z\":1,\"\x7f\":2,\"ab\":3,\"a\":4,\"Z\":5,\"\":6}",
                "{\"\":6,\"Z\":5,\"a\":4,\"ab\":3,\"z\":1,\"\x7f\":2,\"\xC3\xA9\":0}"},
    wide_object(3), wide_object(8), wide_object(40),
    CompactCase{"[ [ ] , { } , [ { } ] ]", "[[],{},[{}]]"}, CompactCase{" \"top\" ", "\"top\""}));

INSTANTIATE_TEST_SUITE_P(JsonStrings, JsonCompact, ::testing::Values(
    CompactCase{R"(["\"\\\/\b\f\n\r\t"])", R"(["\"\\/\b\f\n\r\t"])"},
    CompactCase{R"(["\u0000\u0001\u001F\u001b\u0020\u007f"])", "[\"\\u0000\\u0001\\u001f\\u001b \x7f\"]"},
    CompactCase{R"(["\u0008\u0009\u000A\u000C\u000D\u000B"])", R"(["\b\t\n\f\r\u000b"])"},
    CompactCase{R"(["\u00e9\u00C9", "é"])", "[\"\xC3\xA9\xC3\x89\",\"\xC3\xA9\"]"},
    CompactCase{R"(["\u20ac\u2028\uffff"])", "[\"\xE2\x82\xAC\xE2\x80\xA8\xEF\xBF\xBF\"]"},
    CompactCase{R"(["\ud83d\ude00\uDBFF\uDFFF\uD800\uDC00"])",
                "[\"\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF\xF0\x90\x80\x80\"]"},
    CompactCase{R"({"k\u0022\n":"v"})", R"({"k\"\n":"v"})"}));

INSTANTIATE_TEST_SUITE_P(JsonNumbers, JsonCompact, ::testing::Values(
    CompactCase{"[0,-1,42,-42]", "[0,-1,42,-42]"},
    CompactCase{"[1e2,1E2,1e+2,100e-2,1.50,-1.25e3,0e5]", "[100.0,100.0,100.0,1.0,1.5,-1250.0,0.0]"},
    CompactCase{"[-0,-0.0,-0e3,0.0]", "[-0.0,-0.0,-0.0,0.0]"},
    CompactCase{"[0.1,0.2,0.30000000000000004]", "[0.1,0.2,0.30000000000000004]"},
    CompactCase{"[5e-324,3e-324,1.7976931348623157e308,1.7976931348623158e308]",
                "[5e-324,5e-324,1.7976931348623157e308,1.7976931348623157e308]"},
    CompactCase{"[1e-400,-1e-400,2.4e-324,0." + std::string(400, '0') + "1]", "[0.0,-0.0,0.0,0.0]"},
    CompactCase{"[1e-5,1e-6,1e15,1e16,123456789012345680000.0,1.5e-7]",
                "[0.00001,1e-6,1000000000000000.0,1e16,1.2345678901234568e20,1.5e-7]"},
    CompactCase{"[0.1e309,1" + std::string(30, '0') + ".5]", "[1e308,1e30]"},
    CompactCase{"[18446744073709551615,12345678901234567890,9223372036854775808]",
                "[18446744073709551615,12345678901234567890,9223372036854775808]"},
    CompactCase{"[-9223372036854775808,-9223372036854775809]", "[-9223372036854775808,-9223372036854775809]"},
    CompactCase{"[18446744073709551616,99999999999999999999,-99999999999999999999]",
                "[18446744073709551616,99999999999999999999,-99999999999999999999]"},
    CompactCase{"[12345678901234567890.0,12345678901234567890e0]",
                "[1.2345678901234567e19,1.2345678901234567e19]"}));

INSTANTIATE_TEST_SUITE_P(JsonDepth, JsonCompact, ::testing::Values(
    CompactCase{nested(127, "[ ", "", " ]"), nested(127, "[", "", "]")},
    CompactCase{nested(127, "{ \"k\" : ", "0", " }"), nested(127, "{\"k\":", "0", "}")}));

// Which of the number representations each form lands in.
TEST(JsonNumbers, KeepTheRepresentationOfTheirForm) {
  const auto value = json::parse(
      "[18446744073709551615,-9223372036854775808,-1,0,-0,1.0,1e0,18446744073709551616,-9223372036854775809]");
  ASSERT_TRUE(value.has_value());
  const auto& items = std::get<json::Array>(value->data);
  ASSERT_EQ(items.size(), 9u);
  EXPECT_EQ(std::get<std::uint64_t>(items[0].data), std::numeric_limits<std::uint64_t>::max());
  EXPECT_EQ(std::get<std::int64_t>(items[1].data), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(std::get<std::int64_t>(items[2].data), -1);
  EXPECT_EQ(std::get<std::uint64_t>(items[3].data), 0u);
  EXPECT_TRUE(std::signbit(std::get<double>(items[4].data)));
  EXPECT_EQ(std::get<double>(items[5].data), 1.0);
  EXPECT_EQ(std::get<double>(items[6].data), 1.0);
  EXPECT_EQ(std::get<json::BigInteger>(items[7].data).digits, "18446744073709551616");
  EXPECT_EQ(std::get<json::BigInteger>(items[8].data).digits, "-9223372036854775809");
}

// ---------------------------------------------------------------------------------------------
// The double notation on its own, including values no parsed text yields.

struct DoubleCase {
  double value;
  const char* text;
};
void PrintTo(const DoubleCase& c, std::ostream* os) { *os << c.text; }

class JsonDouble : public ::testing::TestWithParam<DoubleCase> {};

TEST_P(JsonDouble, AppendsShortestDigitsInTheNotationOfItsExponent) {
  std::string out = "x";
  json::append_double(out, GetParam().value);
  EXPECT_EQ(out, std::string("x") + GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(JsonNotation, JsonDouble, ::testing::Values(
    DoubleCase{0.0, "0.0"}, DoubleCase{-0.0, "-0.0"}, DoubleCase{1.0, "1.0"}, DoubleCase{100.0, "100.0"},
    DoubleCase{12.5, "12.5"}, DoubleCase{-1.5, "-1.5"}, DoubleCase{0.25, "0.25"}, DoubleCase{0.001, "0.001"},
    DoubleCase{1.0 / 3.0, "0.3333333333333333"}, DoubleCase{123.456, "123.456"},
    DoubleCase{1e-5, "0.00001"}, DoubleCase{1.2345e-5, "0.000012345"}, DoubleCase{9.5e-6, "9.5e-6"},
    DoubleCase{1e-6, "1e-6"}, DoubleCase{4e-6, "4e-6"}, DoubleCase{2.5e-6, "2.5e-6"}, DoubleCase{-1.5e-7, "-1.5e-7"},
    DoubleCase{1e15, "1000000000000000.0"}, DoubleCase{9007199254740992.0, "9007199254740992.0"},
    DoubleCase{1234567890123456.7, "1234567890123456.8"}, DoubleCase{1e16, "1e16"},
    DoubleCase{-1e16, "-1e16"}, DoubleCase{1.5e16, "1.5e16"}, DoubleCase{123456789012345680000.0, "1.2345678901234568e20"},
    DoubleCase{1e22, "1e22"}, DoubleCase{1e100, "1e100"}, DoubleCase{5e-324, "5e-324"},
    DoubleCase{2.2250738585072014e-308, "2.2250738585072014e-308"},
    DoubleCase{1.7976931348623157e308, "1.7976931348623157e308"},
    DoubleCase{std::numeric_limits<double>::infinity(), "null"}, DoubleCase{std::nan(""), "null"}));

// Trees built in code rather than parsed: every byte class of a string, the number forms.
TEST(JsonWriter, EscapesEveryControlByteAndCopiesTheRest) {
  std::string all;
  for (int c = 0; c < 0x80; ++c) all.push_back(static_cast<char>(c));
  all += "\xC3\xA9";
  json::Value value{json::Object{}};
  json::set(std::get<json::Object>(value.data), all, json::Value{json::Array{
      json::Value{std::uint64_t{7}}, json::Value{std::int64_t{-7}}, json::Value{json::BigInteger{"-1" + std::string(25, '0')}},
      json::Value{-std::numeric_limits<double>::infinity()}, json::Value{false}, json::Value{nullptr}}});
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

// ---------------------------------------------------------------------------------------------
// A generated document of about 1 MB, written pretty with keys in descending order; the expected
// compact text is generated beside it rather than derived from the code under test.

TEST(JsonLargeDocument, PrettyTextCompactsToTheGeneratedCompactText) {
  std::string pretty = "[\n";
  std::string compact = "[";
  for (int i = 0; pretty.size() < (1u << 20); ++i) {
    const std::string n = std::to_string(i);
    if (i > 0) {
      pretty += ",\n";
      compact += ",";
    }
    pretty += "  {\n    \"tags\": [\"t\\u00e9" + n + "\", \"q\\\"\\n\"],\n    \"score\": " + n + ".50e0,\n"
              "    \"name\": \"item " + n + "\",\n    \"id\": -" + n + ",\n    \"id\": " + n + ",\n"
              "    \"big\": 1" + std::string(25, '0') + n + ",\n    \"Z\": {\"nested\": [[null], {}]}\n  }";
    compact += "{\"Z\":{\"nested\":[[null],{}]},\"big\":1" + std::string(25, '0') + n + ",\"id\":" + n +
               ",\"name\":\"item " + n + "\",\"score\":" + n + ".5,\"tags\":[\"t\xC3\xA9" + n + "\",\"q\\\"\\n\"]}";
  }
  pretty += "\n]\n";
  compact += "]";

  ASSERT_TRUE(json::is_valid(pretty));
  const auto value = json::parse(pretty);
  ASSERT_TRUE(value.has_value());
  const std::string written = json::write_compact(*value);
  EXPECT_TRUE(written == compact) << "first difference at byte "
                                  << std::mismatch(written.begin(), written.end(), compact.begin(), compact.end()).first -
                                         written.begin();
  const auto reparsed = json::parse(written);
  ASSERT_TRUE(reparsed.has_value());
  EXPECT_TRUE(json::write_compact(*reparsed) == written);
}

}  // namespace

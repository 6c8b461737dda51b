// The Markdown, log and JSON branches, exercised through the fold with real-looking documents.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "transform/fold.hpp"

namespace {

using namespace tersewright;
using analyzer::AnalyzerRegistry;
using analyzer::Language;
using edit::ByteRange;
using transform::ParseStatus;

struct RuleEntry {
  std::string name;
  std::uint64_t changes;
  std::int64_t bytes_removed;
  bool lossy;
};

struct BranchCase {
  const char* name = "";
  Language language = Language::unknown;
  const char* profile = "";
  std::string content{};
  std::string output{};
  std::vector<RuleEntry> rules{};
  ParseStatus status = ParseStatus::parsed;
  std::optional<bool> syntax_valid{};
  std::vector<std::string> warnings{};  // codes
  std::optional<bool> allow_lossy{};
  std::optional<std::vector<ByteRange>> ranges{};
  std::uint64_t protected_bytes = 0;
};

void PrintTo(const BranchCase& c, std::ostream* os) { *os << c.name; }

transform::FoldResult fold_case(const BranchCase& c) {
  transform::FoldRequest request;
  request.content = c.content;
  request.profile = c.profile;
  request.language = c.language;
  request.allow_lossy = c.allow_lossy;
  request.protected_ranges = c.ranges;
  auto result = transform::fold(AnalyzerRegistry(), std::move(request));
  if (!result) throw std::runtime_error("fold failed");
  return std::move(result).value();
}

class FormatBranches : public ::testing::TestWithParam<BranchCase> {};

TEST_P(FormatBranches, FoldsAsExpected) {
  const BranchCase& c = GetParam();
  const transform::FoldResult result = fold_case(c);
  const transform::Report& report = result.report;
  EXPECT_EQ(result.output, c.output);
  ASSERT_EQ(report.rules.size(), c.rules.size());
  bool lossy_change = false;
  for (std::size_t i = 0; i < c.rules.size(); ++i) {
    SCOPED_TRACE(c.rules[i].name);
    EXPECT_EQ(transform::rule_name(report.rules[i].rule), c.rules[i].name);
    EXPECT_EQ(report.rules[i].changes, c.rules[i].changes);
    EXPECT_EQ(report.rules[i].bytes_removed, c.rules[i].bytes_removed);
    EXPECT_EQ(transform::rule_is_lossy(report.rules[i].rule), c.rules[i].lossy);
    lossy_change |= c.rules[i].lossy;
  }
  std::vector<std::string> codes;
  for (const auto& w : report.warnings) codes.emplace_back(transform::warning_code_name(w.code));
  EXPECT_EQ(codes, c.warnings);
  EXPECT_EQ(report.parse_status, c.status);
  EXPECT_EQ(report.syntax_valid, c.syntax_valid);
  EXPECT_EQ(report.protected_bytes, c.protected_bytes);
  EXPECT_EQ(report.behavior_preserving, !lossy_change);
  EXPECT_EQ(report.output.bytes, c.output.size());
}

// ---------------------------------------------------------------------------------------------
// Logs

const std::string m1 = "[tersewright: 1 repeated log line(s) collapsed]\n";
const std::string m2 = "[tersewright: 2 repeated log line(s) collapsed]\n";

// A service log: zoned and fractional timestamps, bracketed and bare levels, comma milliseconds
// (which stay in the key, so those two lines differ), and an indented stack trace whose second
// repeated frame carries a trailing tab inside the folded stretch.
const std::string service_log =
    "2024-05-01T12:00:00.123+02:00 INFO  Server started on port 8080  \n"
    "2024-05-01T12:00:01.001Z [WARN] Connection pool low\n"
    "2024-05-01T12:00:02.500Z [ERROR] Connection pool low\n"
    "2024-05-01T12:00:03Z WARN Connection pool low\n"
    "\n\n\n"
    "2024-05-01 12:00:04,101 ERROR Request failed\n"
    "2024-05-01 12:00:04,102 ERROR Request failed\n"
    "java.lang.IllegalStateException: boom\n"
    "    at com.example.Foo.bar(Foo.java:10)\n"
    "    at com.example.Foo.bar(Foo.java:10)\t\n"
    "    at com.example.Foo.bar(Foo.java:10)\n"
    "    at com.example.Main.main(Main.java:5)\n";

const std::string service_log_tail =
    "2024-05-01 12:00:04,101 ERROR Request failed\n"
    "2024-05-01 12:00:04,102 ERROR Request failed\n"
    "java.lang.IllegalStateException: boom\n"
    "    at com.example.Foo.bar(Foo.java:10)\n";

const std::string service_log_folded =
    "2024-05-01T12:00:00.123+02:00 INFO  Server started on port 8080\n"
    "2024-05-01T12:00:01.001Z [WARN] Connection pool low\n" +
    m2 + "\n" + service_log_tail + "    " + m2 + "    at com.example.Main.main(Main.java:5)\n";

const std::string service_log_whitespace_only =
    "2024-05-01T12:00:00.123+02:00 INFO  Server started on port 8080\n"
    "2024-05-01T12:00:01.001Z [WARN] Connection pool low\n"
    "2024-05-01T12:00:02.500Z [ERROR] Connection pool low\n"
    "2024-05-01T12:00:03Z WARN Connection pool low\n"
    "\n" +
    service_log_tail +
    "    at com.example.Foo.bar(Foo.java:10)\n"
    "    at com.example.Foo.bar(Foo.java:10)\n"
    "    at com.example.Main.main(Main.java:5)\n";

const RuleEntry log_trim{"trim_trailing_whitespace", 2, 3, false};

INSTANTIATE_TEST_SUITE_P(
    Logs, FormatBranches,
    ::testing::Values(
        // The trailing tab of a folded frame loses to the fold but still counts as a trim.
        BranchCase{.name = "ServiceLogUnderLogs", .language = Language::log, .profile = "logs",
                   .content = service_log, .output = service_log_folded,
                   .rules = {log_trim, {"collapse_blank_lines", 1, 2, false}, {"collapse_log_repeats", 2, 80, true}}},
        BranchCase{.name = "ServiceLogLossyRefused", .language = Language::log, .profile = "logs",
                   .content = service_log, .output = service_log_whitespace_only,
                   .rules = {log_trim, {"collapse_blank_lines", 1, 2, false}}, .allow_lossy = false},
        BranchCase{.name = "ServiceLogUnderSafe", .language = Language::log, .profile = "safe",
                   .content = service_log, .output = service_log_whitespace_only,
                   .rules = {log_trim, {"collapse_blank_lines", 1, 2, false}}, .allow_lossy = true},
        BranchCase{.name = "ServiceLogUnderBudgeted", .language = Language::log, .profile = "budgeted",
                   .content = service_log,
                   .output = "2024-05-01T12:00:00.123+02:00 INFO  Server started on port 8080\n"
                             "2024-05-01T12:00:01.001Z [WARN] Connection pool low\n" +
                             m2 + service_log_tail + "    " + m2 + "    at com.example.Main.main(Main.java:5)\n",
                   .rules = {log_trim, {"collapse_blank_lines", 1, 3, false}, {"collapse_log_repeats", 2, 80, true}}},
        // A protected byte splits a run; the protected line also keeps its trailing spaces.
        BranchCase{.name = "ProtectedRangeSplitsRun", .language = Language::log, .profile = "logs",
                   .content = "INFO a\nINFO a  \nINFO a\nINFO a\n", .output = "INFO a\nINFO a  \nINFO a\n" + m1,
                   .rules = {{"collapse_log_repeats", 1, 7 - 48, true}}, .ranges = std::vector<ByteRange>{{9, 10}},
                   .protected_bytes = 1},
        BranchCase{.name = "MarkerLinesNeverFold", .language = Language::log, .profile = "logs",
                   .content = "[ERROR] boom tersewright:keep  \n[ERROR] boom tersewright:keep  \n"
                              "[ERROR] boom\n[ERROR] boom  \n",
                   .output = "[ERROR] boom tersewright:keep  \n[ERROR] boom tersewright:keep  \n[ERROR] boom\n" + m1,
                   .rules = {{"trim_trailing_whitespace", 1, 2, false}, {"collapse_log_repeats", 1, 15 - 48, true}},
                   .protected_bytes = 64},
        BranchCase{.name = "RunEndsWithoutLineFeed", .language = Language::log, .profile = "logs",
                   .content = "INFO done\nINFO done", .output = "INFO done\n" + m1,
                   .rules = {{"collapse_log_repeats", 1, 9 - 48, true}}},
        BranchCase{.name = "MarkerLongerThanLine", .language = Language::log, .profile = "logs",
                   .content = "ok\nok\n", .output = "ok\n" + m1, .rules = {{"collapse_log_repeats", 1, -45, true}}},
        BranchCase{.name = "NothingToDo", .language = Language::log, .profile = "logs",
                   .content = "INFO a\nINFO b\n", .output = "INFO a\nINFO b\n"}));

// ---------------------------------------------------------------------------------------------
// Markdown

// Line by line: a heading with a hard break, a blank run, a hard-break line and its single-space
// duplicate, list items, a fenced example with trailing spaces and blank lines, a spaces-only line,
// link and keyword lines repeated, a plain repeat, and an unclosed tilde fence.
const std::string readme =
    "# TerseWright  \n"
    "\n"
    "\n"
    "A deterministic folder.  \n"
    "A deterministic folder. \n"
    "\n"
    "## Install\n"
    "\n"
    "- fast\n"
    "- fast\n"
    "- small \n"
    "\n"
    "```bash\n"
    "pip install x   \n"
    "\n"
    "\n"
    "pip install x \n"
    "```\n"
    "  \n"
    "See [docs](https://example.com/x)\n"
    "See [docs](https://example.com/x)\n"
    "You must set HOME.\n"
    "You must set HOME.\n"
    "Plain line\n"
    "Plain line\n"
    "~~~\n"
    "unclosed \n"
    "unclosed \n";

const std::string readme_fence_to_end =
    "```bash\n"
    "pip install x   \n"
    "\n"
    "\n"
    "pip install x \n"
    "```\n";

const std::string readme_links_and_keywords =
    "See [docs](https://example.com/x)\n"
    "See [docs](https://example.com/x)\n"
    "You must set HOME.\n"
    "You must set HOME.\n";

const std::string readme_open_fence = "~~~\nunclosed \nunclosed \n";

const std::string readme_documentation = "# TerseWright  \n\nA deterministic folder.  \n\n## Install\n\n- fast\n- small\n\n" +
                                         readme_fence_to_end + "\n" + readme_links_and_keywords + "Plain line\n" +
                                         readme_open_fence;

const std::vector<RuleEntry> readme_documentation_rules = {{"trim_trailing_whitespace", 3, 4, false},
                                                           {"collapse_blank_lines", 1, 1, false},
                                                           {"markdown_dedupe", 3, 25 + 7 + 11, true}};

INSTANTIATE_TEST_SUITE_P(
    Markdown, FormatBranches,
    ::testing::Values(
        BranchCase{.name = "ReadmeUnderDocumentation", .language = Language::markdown, .profile = "documentation",
                   .content = readme, .output = readme_documentation, .rules = readme_documentation_rules},
        // Dedupe is not gated by the loss policy.
        BranchCase{.name = "ReadmeDocumentationLossyRefused", .language = Language::markdown,
                   .profile = "documentation", .content = readme, .output = readme_documentation,
                   .rules = readme_documentation_rules, .allow_lossy = false},
        BranchCase{.name = "ReadmeUnderSafe", .language = Language::markdown, .profile = "safe", .content = readme,
                   .output = "# TerseWright  \n\nA deterministic folder.  \nA deterministic folder.\n\n## Install\n\n"
                             "- fast\n- fast\n- small\n\n" +
                             readme_fence_to_end + "\n" + readme_links_and_keywords + "Plain line\nPlain line\n" +
                             readme_open_fence,
                   .rules = {{"trim_trailing_whitespace", 3, 4, false}, {"collapse_blank_lines", 1, 1, false}}},
        BranchCase{.name = "ReadmeUnderBudgeted", .language = Language::markdown, .profile = "budgeted",
                   .content = readme,
                   .output = "# TerseWright  \nA deterministic folder.  \n## Install\n- fast\n- small\n" +
                             readme_fence_to_end + readme_links_and_keywords + "Plain line\n" + readme_open_fence,
                   .rules = {{"trim_trailing_whitespace", 2, 2, false},
                             {"collapse_blank_lines", 5, 8, false},
                             {"markdown_dedupe", 3, 43, true}}},
        BranchCase{.name = "MarkerLinesStay", .language = Language::markdown, .profile = "documentation",
                   .content = "Same <!-- @tersewright-keep --> \nSame <!-- @tersewright-keep --> \n",
                   .output = "Same <!-- @tersewright-keep --> \nSame <!-- @tersewright-keep --> \n",
                   .protected_bytes = 66},
        BranchCase{.name = "HardBreakWidths", .language = Language::markdown, .profile = "documentation",
                   .content = "one \ntwo  \nthree   \nfour\t\n", .output = "one\ntwo  \nthree   \nfour\n",
                   .rules = {{"trim_trailing_whitespace", 2, 2, false}}},
        BranchCase{.name = "EmptyDocument", .language = Language::markdown, .profile = "documentation", .content = "",
                   .output = ""}));

// ---------------------------------------------------------------------------------------------
// JSON

std::string nested_arrays(int depth, bool pretty) {
  std::string open;
  std::string close;
  for (int i = 0; i < depth; ++i) {
    if (pretty) {
      open += std::string(static_cast<std::size_t>(2 * i), ' ') + "[\n";
      close = "\n" + std::string(static_cast<std::size_t>(2 * i), ' ') + "]" + close;
    } else {
      open += "[";
      close += "]";
    }
  }
  return open + (pretty ? std::string(static_cast<std::size_t>(2 * depth), ' ') + "7" : "7") + close + (pretty ? "\n" : "");
}

std::string compact_nested(int depth) { return nested_arrays(depth, false); }

BranchCase compacts(const char* name, std::string content, std::string output, std::uint64_t protected_bytes = 0,
                    std::optional<std::vector<ByteRange>> ranges = {}) {
  const std::int64_t removed = static_cast<std::int64_t>(content.size()) - static_cast<std::int64_t>(output.size());
  return BranchCase{.name = name, .language = Language::json, .profile = "code-review", .content = std::move(content),
                    .output = std::move(output), .rules = {{"trim_trailing_whitespace", 1, removed, false}},
                    .syntax_valid = true, .ranges = std::move(ranges), .protected_bytes = protected_bytes};
}

BranchCase stays(const char* name, std::string content) {
  std::string output = content;
  return BranchCase{.name = name, .language = Language::json, .profile = "code-review", .content = std::move(content),
                    .output = std::move(output), .syntax_valid = true};
}

BranchCase invalid(const char* name, std::string content, std::string output, std::vector<RuleEntry> rules = {},
                   const char* profile = "safe") {
  return BranchCase{.name = name, .language = Language::json, .profile = profile, .content = std::move(content),
                    .output = std::move(output), .rules = std::move(rules), .status = ParseStatus::fallback,
                    .syntax_valid = false, .warnings = {"json_invalid"}};
}

INSTANTIATE_TEST_SUITE_P(
    JsonValid, FormatBranches,
    ::testing::Values(
        compacts("SmallObject", "{\n  \"b\": 1,\n  \"a\": [true, false, null]\n}\n", "{\"a\":[true,false,null],\"b\":1}"),
        compacts("NestedObjects",
                 "{\n  \"service\": {\n    \"name\": \"api\",\n    \"ports\": [80, 443],\n    \"env\": {}\n  },\n"
                 "  \"replicas\": 3,\n  \"labels\": []\n}\n",
                 "{\"labels\":[],\"replicas\":3,\"service\":{\"env\":{},\"name\":\"api\",\"ports\":[80,443]}}"),
        compacts("Nested127", nested_arrays(127, true), compact_nested(127)),
        compacts("Numbers",
                 "[ 0, -0, 1.50, -12, 1e2, 1E-7, 2.5e+3, 0.00001, 0.000001, 1e16, 1.5e300, 123456789012345678,\n"
                 "  18446744073709551615, -9223372036854775808, -9223372036854775809, 12345678901234567890,\n"
                 "  99999999999999999999, -99999999999999999999, 3.0 ]",
                 "[0,-0.0,1.5,-12,100.0,1e-7,2500.0,0.00001,1e-6,1e16,1.5e300,123456789012345678,"
                 "18446744073709551615,-9223372036854775808,-9223372036854775809,12345678901234567890,"
                 "99999999999999999999,-99999999999999999999,3.0]"),
        compacts("Escapes",
                 "[ \"\\\"\\\\\\/\\b\\f\\n\\r\\t\\u0001\\u001F\\u00e9\\ud83d\\ude00\\u2028 caf\xC3\xA9\" ]",
                 "[\"\\\"\\\\/\\b\\f\\n\\r\\t\\u0001\\u001f\xC3\xA9\xF0\x9F\x98\x80\xE2\x80\xA8 caf\xC3\xA9\"]"),
        compacts("DuplicateKeysKeepLater", "{ \"a\": 1, \"b\": 0, \"a\": { \"x\": 2 } }", "{\"a\":{\"x\":2},\"b\":0}"),
        compacts("KeysSortedByByte", "{ \"\xC3\xA9\": 1, \"Z\": 2, \"a\": 3, \"\": 4 }",
                 "{\"\":4,\"Z\":2,\"a\":3,\"\xC3\xA9\":1}"),
        compacts("WhitespaceAroundScalar", " \r\n\t\"x\" \n", "\"x\""),
        // Protection is counted but does not hold back compaction.
        compacts("MarkerLineStillCompacted", "{\n  \"note\": \"tersewright:keep\"\n}\n",
                 "{\"note\":\"tersewright:keep\"}", 29),
        compacts("ProtectedRangePastEndCounted", "[ 1 ]", "[1]", 100, std::vector<ByteRange>{{0, 100}}),
        stays("AlreadyCompact", "{\"a\":[1,2],\"b\":null}"),
        stays("KeysOutOfOrderSameLength", "{\"b\":1,\"a\":2}"),
        stays("ExponentWouldGrow", "1e2"),
        stays("NegativeZeroWouldGrow", "-0"), stays("ShortestDoubleAlready", "[1.0,0.5]"),
        compacts("CompactDuplicateKeysShrink", "{\"a\":1,\"a\":2}", "{\"a\":2}")));

INSTANTIATE_TEST_SUITE_P(
    JsonInvalid, FormatBranches,
    ::testing::Values(
        invalid("TrailingCommaTrailingSpaces", "{\"a\": 1,}  \n", "{\"a\": 1,}\n",
                {{"trim_trailing_whitespace", 1, 2, false}}),
        invalid("Comment", "// config\n{}\n", "// config\n{}\n"),
        invalid("SingleQuotes", "{'a': 1}", "{'a': 1}"),
        invalid("NaN", "[NaN]", "[NaN]"),
        invalid("ByteOrderMark", "\xEF\xBB\xBF{}", "\xEF\xBB\xBF{}"),
        invalid("Empty", "", ""),
        invalid("Nested128", nested_arrays(128, true), nested_arrays(128, true)),
        invalid("Truncated", "{\n  \"a\": [1, 2\n\n\n", "{\n  \"a\": [1, 2\n\n", {{"collapse_blank_lines", 1, 1, false}}),
        invalid("TruncatedRemoveAll", "{\n  \"a\": [1, 2\n\n\n", "{\n  \"a\": [1, 2\n",
                {{"collapse_blank_lines", 1, 2, false}}, "budgeted"),
        invalid("TrailingGarbage", "{} x", "{} x"),
        invalid("LoneSurrogate", "[\"\\ud800\"] ", "[\"\\ud800\"]", {{"trim_trailing_whitespace", 1, 1, false}}),
        invalid("RawControlCharacter", "[\"a\tb\"]", "[\"a\tb\"]"),
        invalid("NumberTooLarge", "[1e400]", "[1e400]"),
        invalid("LeadingZero", "[01]", "[01]")));

// The decided handling of integers beyond 64 bits: their digits pass through untouched, while an
// integer that fits 64 unsigned bits stays an integer rather than becoming a double.
TEST(JsonBranchNumbers, BigIntegersKeepTheirDigits) {
  const BranchCase c =
      compacts("BigIntegers", "[ 99999999999999999999, 12345678901234567890 ]", "[99999999999999999999,12345678901234567890]");
  const transform::FoldResult result = fold_case(c);
  EXPECT_EQ(result.output, "[99999999999999999999,12345678901234567890]");
}

TEST(JsonBranchWarning, MessageText) {
  BranchCase c = invalid("Message", "{", "{");
  const transform::FoldResult result = fold_case(c);
  ASSERT_EQ(result.report.warnings.size(), 1u);
  EXPECT_EQ(result.report.warnings[0].message, "input is not valid JSON; whitespace-only fallback applied");
}

TEST(JsonBranchReport, CompactionCountsAsTrimming) {
  const transform::FoldResult result = fold_case(compacts("Pretty", "{ }", "{}"));
  ASSERT_EQ(result.report.rules.size(), 1u);
  EXPECT_EQ(result.report.rules[0].rule, edit::Rule::trim_trailing_whitespace);
}

}  // namespace

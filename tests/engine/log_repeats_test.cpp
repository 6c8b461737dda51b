// Repeated log events fold into their first copies and one marker line.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "edit/edit.hpp"
#include "edit/line_index.hpp"
#include "transform/log_repeats.hpp"
#include "transform/rules.hpp"

namespace {

using tersewright::edit::apply_edits;
using tersewright::edit::ByteRange;
using tersewright::edit::LineIndex;
using tersewright::edit::Rule;
using tersewright::transform::collapse_log_repeats;
using tersewright::transform::log_repeat_marker;

struct RepeatCase {
  const char* name;
  std::string text;
  std::uint64_t keep;
  std::vector<ByteRange> protected_ranges;
  std::vector<ByteRange> edit_ranges;  // the stretches replaced by markers, in line order
  std::string output;
};

void PrintTo(const RepeatCase& c, std::ostream* os) { *os << c.name; }

class CollapseLogRepeats : public ::testing::TestWithParam<RepeatCase> {};

TEST_P(CollapseLogRepeats, FoldsRunsIntoMarkers) {
  const RepeatCase& c = GetParam();
  auto edits = collapse_log_repeats(LineIndex(c.text), c.protected_ranges, c.keep);
  std::vector<ByteRange> ranges;
  for (const auto& e : edits) {
    EXPECT_EQ(e.rule, Rule::collapse_log_repeats);
    ranges.push_back(ByteRange{e.start, e.end});
  }
  EXPECT_EQ(ranges, c.edit_ranges);
  EXPECT_EQ(apply_edits(c.text, edits).text, c.output);
}

const std::string m1 = "[tersewright: 1 repeated log line(s) collapsed]\n";
const std::string m2 = "[tersewright: 2 repeated log line(s) collapsed]\n";
const std::string m3 = "[tersewright: 3 repeated log line(s) collapsed]\n";

INSTANTIATE_TEST_SUITE_P(
    Table, CollapseLogRepeats,
    ::testing::Values(
        RepeatCase{"FourEqualKeepOne", "a\na\na\na\n", 1, {}, {{2, 8}}, "a\n" + m3},
        RepeatCase{"TwoEqualKeepOne", "a\na\n", 1, {}, {{2, 4}}, "a\n" + m1},
        RepeatCase{"TwoEqualKeepTwo", "a\na\n", 2, {}, {}, "a\na\n"},
        RepeatCase{"FiveEqualKeepTwo", "x\nx\nx\nx\nx\n", 2, {}, {{4, 10}}, "x\nx\n" + m3},
        RepeatCase{"KeepZeroNeverFolds", "a\na\na\na\na\n", 0, {}, {}, "a\na\na\na\na\n"},
        RepeatCase{"HugeKeep", "a\na\n", UINT64_MAX, {}, {}, "a\na\n"},
        RepeatCase{"TimestampsDiffer",
                   "2024-01-01 10:00:00 INFO started\n2024-01-01 10:00:05 INFO started\n", 1, {}, {{33, 66}},
                   "2024-01-01 10:00:00 INFO started\n" + m1},
        RepeatCase{"LevelsDiffer", "[WARN] disk full\n[ERROR] disk full\n", 1, {}, {{17, 35}},
                   "[WARN] disk full\n" + m1},
        RepeatCase{"LowercaseLevelStaysInKey", "warn: x\nWARN: x\n", 1, {}, {}, "warn: x\nWARN: x\n"},
        RepeatCase{"EmptyKeysAreEqual", "ERROR\n2024-01-01 10:00:00 INFO\n[DEBUG]\n", 1, {}, {{6, 39}}, "ERROR\n" + m2},
        RepeatCase{"BlankLineSeparates", "a\n\na\n", 1, {}, {}, "a\n\na\n"},
        RepeatCase{"SpacesLineSeparates", "a\n \t\na\n", 1, {}, {}, "a\n \t\na\n"},
        RepeatCase{"UnicodeSpaceLineSeparates", "a\n\xC2\xA0\na\n", 1, {}, {}, "a\n\xC2\xA0\na\n"},
        RepeatCase{"ProtectedLineSeparates", "a\na\na\na\n", 1, {{4, 5}}, {{2, 4}}, "a\n" + m1 + "a\na\n"},
        RepeatCase{"ProtectedFirstLine", "a\na\na\n", 1, {{0, 1}}, {{4, 6}}, "a\na\n" + m1},
        RepeatCase{"ProtectedTerminatorOnly", "a\na\n", 1, {{1, 2}}, {{2, 4}}, "a\n" + m1},
        RepeatCase{"UnsortedProtectedSet", "a\na\nb\nb\nc\nc\n", 1, {{10, 11}, {2, 3}}, {{6, 8}},
                   "a\na\nb\n" + m1 + "c\nc\n"},
        RepeatCase{"IndentedRunKeepsFirstIndent", "  at x\n\tat x\n  at x\n", 1, {}, {{7, 20}},
                   "  at x\n  " + m2},
        RepeatCase{"RunEndsTextWithoutLineFeed", "b\nx\nx\nx", 1, {}, {{4, 7}}, "b\nx\n" + m2},
        RepeatCase{"CrLfLinesGetLfMarker", "a\r\na\r\n", 1, {}, {{3, 6}}, "a\r\n" + m1},
        RepeatCase{"EndingLineStartsNextRun", "a\na\nb\nb\nb\nc\n", 1, {}, {{2, 4}, {6, 10}},
                   "a\n" + m1 + "b\n" + m2 + "c\n"},
        RepeatCase{"NoRepeats", "a\nb\na\n", 1, {}, {}, "a\nb\na\n"},
        RepeatCase{"EmptyText", "", 1, {}, {}, ""}));

struct MarkerCase {
  const char* indent;
  std::uint64_t count;
  const char* marker;
};

void PrintTo(const MarkerCase& c, std::ostream* os) { *os << c.marker; }

class LogRepeatMarker : public ::testing::TestWithParam<MarkerCase> {};

TEST_P(LogRepeatMarker, Template) {
  EXPECT_EQ(log_repeat_marker(GetParam().indent, GetParam().count), GetParam().marker);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LogRepeatMarker,
    ::testing::Values(MarkerCase{"", 1, "[tersewright: 1 repeated log line(s) collapsed]\n"},
                      MarkerCase{"\t  ", 40, "\t  [tersewright: 40 repeated log line(s) collapsed]\n"},
                      MarkerCase{"", UINT64_MAX,
                                 "[tersewright: 18446744073709551615 repeated log line(s) collapsed]\n"}));

// A folded stretch shorter than its marker makes the output grow; the tally reports that as a
// negative figure.
TEST(CollapseLogRepeatsTally, MarkerLongerThanFoldedLineCountsNegative) {
  auto edits = collapse_log_repeats(LineIndex("ab\nab\n"), {}, 1);
  auto reports = tersewright::transform::tally_rules(edits);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].changes, 1u);
  EXPECT_EQ(reports[0].rule, tersewright::edit::Rule::collapse_log_repeats);
  EXPECT_EQ(reports[0].bytes_removed, 3 - 48);
}

}  // namespace

// Fenced code blocks, and the removal of adjacent duplicate prose lines around them.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "edit/edit.hpp"
#include "edit/line_index.hpp"
#include "transform/markdown.hpp"

namespace {

using tersewright::edit::apply_edits;
using tersewright::edit::ByteRange;
using tersewright::edit::LineIndex;
using tersewright::edit::Rule;
using tersewright::transform::fenced_block_ranges;
using tersewright::transform::markdown_dedupe;

struct FenceCase {
  const char* name;
  std::string text;
  std::vector<ByteRange> blocks;
};

void PrintTo(const FenceCase& c, std::ostream* os) { *os << c.name; }

class FencedBlockRanges : public ::testing::TestWithParam<FenceCase> {};

TEST_P(FencedBlockRanges, FindsBlocks) {
  const FenceCase& c = GetParam();
  EXPECT_EQ(fenced_block_ranges(LineIndex(c.text)), c.blocks);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FencedBlockRanges,
    ::testing::Values(
        FenceCase{"Backticks", "t\n```\ncode\n```\nu\n", {{2, 15}}},
        FenceCase{"LongerCloseOtherCharInside", "```\n~~~\nx\n````\nafter\n", {{0, 15}}},
        FenceCase{"ShorterCloseWithTextAfter", "  ~~~~ js\nx\n ~~~ trailing\n", {{0, 26}}},
        FenceCase{"UnclosedRunsToEnd", "a\n```py\nx\n", {{2, 10}}},
        FenceCase{"UnclosedLastLine", "a\n```", {{2, 5}}},
        FenceCase{"CloseWithoutLineFeed", "```\nx\n```", {{0, 9}}},
        FenceCase{"TwoBacktickRunIsNoFence", "``x``\n``\n", {}},
        FenceCase{"TwoBlocks", "```\na\n```\nt\n~~~\nb\n~~~\n", {{0, 10}, {12, 22}}},
        FenceCase{"AdjacentBlocksMerge", "```\n```\n~~~\n~~~\n", {{0, 16}}},
        FenceCase{"UnicodeIndent", "\xC2\xA0```\nx\n```\n", {{0, 12}}},
        FenceCase{"TabIndentCrLf", "\t```\r\nx\r\n```\r\n", {{0, 14}}},
        FenceCase{"FenceInsideTextIsNoFence", "a ```\nb\n", {}},
        FenceCase{"EmptyText", "", {}}));

struct DedupeCase {
  const char* name;
  std::string text;
  std::vector<ByteRange> protected_ranges;
  std::vector<ByteRange> deleted;
  std::string output;
};

void PrintTo(const DedupeCase& c, std::ostream* os) { *os << c.name; }

class MarkdownDedupe : public ::testing::TestWithParam<DedupeCase> {};

TEST_P(MarkdownDedupe, RemovesAdjacentDuplicates) {
  const DedupeCase& c = GetParam();
  const LineIndex lines(c.text);
  auto edits = markdown_dedupe(lines, c.protected_ranges, fenced_block_ranges(lines));
  std::vector<ByteRange> ranges;
  for (const auto& e : edits) {
    EXPECT_EQ(e.rule, Rule::markdown_dedupe);
    EXPECT_TRUE(e.replacement.empty());
    ranges.push_back(ByteRange{e.start, e.end});
  }
  EXPECT_EQ(ranges, c.deleted);
  EXPECT_EQ(apply_edits(c.text, edits).text, c.output);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MarkdownDedupe,
    ::testing::Values(
        DedupeCase{"TwoEqual", "para\npara\nend\n", {}, {{5, 10}}, "para\nend\n"},
        DedupeCase{"ThreeEqualFirstStays", "a b\na b\na b\n", {}, {{4, 8}, {8, 12}}, "a b\n"},
        DedupeCase{"LastLineWithoutLineFeed", "a\na", {}, {{2, 3}}, "a\n"},
        DedupeCase{"CrLf", "x\r\nx\r\n", {}, {{3, 6}}, "x\r\n"},
        DedupeCase{"IndentedCopyRemoved", "line\n  line\n", {}, {{5, 12}}, "line\n"},
        DedupeCase{"FirstIndentStays", "  line \nline\n", {}, {{8, 13}}, "  line \n"},
        DedupeCase{"UnicodeSpacesTrimmed", "a\n\xC2\xA0" "a\xE3\x80\x80\n", {}, {{2, 9}}, "a\n"},
        DedupeCase{"CaseSensitive", "Foo\nfoo\n", {}, {}, "Foo\nfoo\n"},
        DedupeCase{"NotAdjacent", "a\nb\na\n", {}, {}, "a\nb\na\n"},
        DedupeCase{"BlankBetween", "a\n\na\n", {}, {}, "a\n\na\n"},
        DedupeCase{"SpacesLineBetween", "a\n  \na\n", {}, {}, "a\n  \na\n"},
        DedupeCase{"UnicodeSpaceLineBetween", "a\n\xC2\xA0\na\n", {}, {}, "a\n\xC2\xA0\na\n"},
        DedupeCase{"Headings", "# h\n# h\n#x\n#x\n", {}, {}, "# h\n# h\n#x\n#x\n"},
        DedupeCase{"HeadingResets", "a\n# h\na\n", {}, {}, "a\n# h\na\n"},
        DedupeCase{"Links", "go [x](y)\ngo [x](y)\n", {}, {}, "go [x](y)\ngo [x](y)\n"},
        DedupeCase{"UpperCaseSchemeIsNoLink", "HTTP://x\nHTTP://x\n", {}, {{9, 18}}, "HTTP://x\n"},
        DedupeCase{"InsideFence", "```\nx  \nx  \n```\n", {}, {}, "```\nx  \nx  \n```\n"},
        DedupeCase{"AfterFenceCloses", "```\nx\n```\ny\ny\n", {}, {{12, 14}}, "```\nx\n```\ny\n"},
        DedupeCase{"UnclosedFence", "y\n~~~\ny\ny\n", {}, {}, "y\n~~~\ny\ny\n"},
        DedupeCase{"ProtectedDuplicate", "a\na\n", {{2, 3}}, {}, "a\na\n"},
        DedupeCase{"ProtectedResets", "a\na\na\n", {{2, 3}}, {}, "a\na\na\n"},
        DedupeCase{"ProtectedUnsorted", "a\na\nb\nb\n", {{6, 7}, {0, 1}}, {}, "a\na\nb\nb\n"},
        DedupeCase{"ProtectedLineFeedOnly", "a\na\n", {{1, 2}}, {{2, 4}}, "a\n"},
        // Several fences and protected lines, so that later lines are judged against later ranges.
        DedupeCase{"BetweenSeveralFences", "```\na\n```\nb\nb\n~~~\nb\n~~~\nd\nd\n", {}, {{12, 14}, {26, 28}},
                   "```\na\n```\nb\n~~~\nb\n~~~\nd\n"},
        DedupeCase{"InterleavedProtection", "a\na\nb\nb\nc\nc\nd\nd\n", {{12, 13}, {2, 3}, {8, 9}}, {{6, 8}},
                   "a\na\nb\nc\nc\nd\nd\n"},
        DedupeCase{"EmptyText", "", {}, {}, ""}));

struct KeywordCase {
  const char* line;
  bool kept;  // whether a direct repeat of the line survives
};

void PrintTo(const KeywordCase& c, std::ostream* os) { *os << ::testing::PrintToString(std::string(c.line)); }

class MarkdownExclusions : public ::testing::TestWithParam<KeywordCase> {};

TEST_P(MarkdownExclusions, RepeatSurvivesOrNot) {
  const std::string line = GetParam().line;
  const std::string text = line + "\n" + line + "\n";
  auto edits = markdown_dedupe(LineIndex(text), {}, {});
  EXPECT_EQ(edits.empty(), GetParam().kept);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MarkdownExclusions,
    ::testing::Values(
        // Every keyword, at the start and after a space, in any letter case.
        KeywordCase{"must do", true}, KeywordCase{"You SHALL pass", true}, KeywordCase{"required field", true},
        KeywordCase{"a Note: b", true}, KeywordCase{"WARNING", true}, KeywordCase{"use caution here", true},
        KeywordCase{"Important", true}, KeywordCase{"x deprecated", true}, KeywordCase{"See: the docs", true},
        KeywordCase{"see references", true}, KeywordCase{"This Must hold", true},
        // Nothing is checked after the keyword.
        KeywordCase{"mustard", true}, KeywordCase{"a requirement", true},
        // Near misses: no space before it, a tab before it, or a different word.
        KeywordCase{"xmust", false}, KeywordCase{"a\tmust", false}, KeywordCase{"(must)", false},
        KeywordCase{"notes", false}, KeywordCase{"see the docs", false}, KeywordCase{"reference", false},
        KeywordCase{"warn", false}, KeywordCase{"plain prose", false},
        // Link markers, case-sensitive and anywhere in the line.
        KeywordCase{"get http://x", true}, KeywordCase{"https://x.org", true}, KeywordCase{"a](b", true},
        KeywordCase{"[a] (b)", false}, KeywordCase{"ftp://x", false}, KeywordCase{"Http://x", false},
        KeywordCase{"http:/x", false}, KeywordCase{"http : //x", false}));

// The trimmed line is what is tested, so a keyword behind leading White_Space is at the start.
TEST(MarkdownKeywordTrim, LeadingWhiteSpaceIsTrimmedFirst) {
  EXPECT_TRUE(markdown_dedupe(LineIndex("\xC2\xA0must\n\xC2\xA0must\n"), {}, {}).empty());
}

}  // namespace

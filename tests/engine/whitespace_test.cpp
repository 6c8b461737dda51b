// Trailing whitespace and blank-line runs, applied as the branches apply them: trim then blanks, one pass.
#include <gtest/gtest.h>

#include "edit/edit.hpp"
#include "edit/line_index.hpp"
#include "transform/rules.hpp"
#include "transform/whitespace.hpp"

namespace {

using namespace tersewright;
using edit::ByteRange;
using edit::Rule;
using transform::BlankLineMode;

struct PassResult {
  std::string output;
  std::vector<transform::RuleReport> rules;
};

PassResult whitespace_pass(const std::string& text, BlankLineMode mode, std::vector<ByteRange> protect = {},
                           std::vector<ByteRange> literals = {}, bool hard_breaks = false) {
  const edit::LineIndex lines(text);
  const transform::TrimOptions options{.hard_breaks = hard_breaks,
                                       .skip_whitespace_only_lines = mode != BlankLineMode::keep};
  edit::EditList edits = transform::trim_trailing_whitespace(lines, protect, literals, options);
  edit::EditList blanks = transform::collapse_blank_lines(lines, mode, protect, literals);
  edits.insert(edits.end(), blanks.begin(), blanks.end());
  return {edit::apply_edits(text, edits).text, transform::tally_rules(edits)};
}

struct Case {
  const char* name;
  std::string input;
  BlankLineMode mode;
  std::string output;
  std::uint64_t trim_changes;
  std::uint64_t collapse_changes;
};

class WhitespacePass : public ::testing::TestWithParam<Case> {};

TEST_P(WhitespacePass, OutputAndTally) {
  const Case& c = GetParam();
  PassResult r = whitespace_pass(c.input, c.mode);
  EXPECT_EQ(r.output, c.output);
  std::uint64_t trim = 0, collapse = 0;
  for (const auto& rep : r.rules) {
    if (rep.rule == Rule::trim_trailing_whitespace) trim = rep.changes;
    if (rep.rule == Rule::collapse_blank_lines) collapse = rep.changes;
  }
  EXPECT_EQ(trim, c.trim_changes);
  EXPECT_EQ(collapse, c.collapse_changes);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WhitespacePass,
    ::testing::Values(
        Case{"keep_trims_whitespace_only_line", "a\n   \nb\n", BlankLineMode::keep, "a\n\nb\n", 1, 0},
        Case{"keep_leaves_runs", "a\n\n\n\nb\n", BlankLineMode::keep, "a\n\n\n\nb\n", 0, 0},
        Case{"collapse_mixed_run", "a\n\n  \n\nb\n", BlankLineMode::collapse_to_one, "a\n\nb\n", 0, 1},
        Case{"collapse_kept_line_with_tab", "a\n\t\n\nb\n", BlankLineMode::collapse_to_one, "a\n\nb\n", 1, 1},
        Case{"collapse_single_tab_line", "a\n\t\nb\n", BlankLineMode::collapse_to_one, "a\n\nb\n", 1, 0},
        Case{"collapse_five_is_one_change", "a\n\n\n\n\n\nb", BlankLineMode::collapse_to_one, "a\n\nb", 0, 1},
        Case{"collapse_three_feeds", "\n\n\n", BlankLineMode::collapse_to_one, "\n", 0, 1},
        Case{"remove_all_three_feeds", "\n\n\n", BlankLineMode::remove_all, "", 0, 1},
        Case{"remove_all_inner_and_final", "a\n \n\nb\n\t", BlankLineMode::remove_all, "a\nb\n", 0, 2},
        Case{"trailing_spaces_and_tabs", "x = 1  \ny\t \t\n", BlankLineMode::collapse_to_one, "x = 1\ny\n", 2, 0},
        Case{"space_before_crlf", "a \r\nb\r\n", BlankLineMode::collapse_to_one, "a\r\nb\r\n", 1, 0},
        Case{"final_space_cr_not_trimmed", "a\nb \r", BlankLineMode::collapse_to_one, "a\nb \r", 0, 0},
        // Trimming these runs would turn the carriage return into part of a CR LF terminator: the
        // second line would come out blank and a second fold would collapse it with its neighbours.
        Case{"spaces_after_lone_cr_stay", "a\n\r \n\nb\r\t\n", BlankLineMode::collapse_to_one,
             "a\n\r \n\nb\r\t\n", 0, 0},
        Case{"space_before_lone_cr_is_not_trailing", "a \r \n", BlankLineMode::collapse_to_one, "a \r \n", 0, 0},
        Case{"crlf_blank_run", "a\r\n\r\n\r\n\r\nb", BlankLineMode::collapse_to_one, "a\r\n\r\nb", 0, 1},
        // The empty text is one empty line: remove_all proposes an empty deletion, which changes
        // nothing but is still counted.
        Case{"empty_text", "", BlankLineMode::remove_all, "", 0, 1},
        Case{"empty_text_collapse", "", BlankLineMode::collapse_to_one, "", 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WhitespaceProtection, ProtectedBlankLineStopsRunAndKeepsSpaces) {
  // Line 2 ("  ") is protected: it keeps its spaces and splits the run in two.
  const std::string text = "a\n\n\n  \n\n\nb\n";
  PassResult r = whitespace_pass(text, BlankLineMode::collapse_to_one, {{4, 6}});
  EXPECT_EQ(r.output, "a\n\n  \n\nb\n");
}

TEST(WhitespaceProtection, EmptyLinesInsideProtectedRangeSurvive) {
  const std::string text = "a\n\n\n\nb\n\n\n\nc\n";
  // Protect the first run of empty lines (offsets 2..5); the second run still collapses.
  EXPECT_EQ(whitespace_pass(text, BlankLineMode::collapse_to_one, {{2, 5}}).output, "a\n\n\n\nb\n\nc\n");
  EXPECT_EQ(whitespace_pass(text, BlankLineMode::remove_all, {{2, 5}}).output, "a\n\n\n\nb\nc\n");
}

TEST(WhitespaceProtection, LineTouchingProtectionIsNotTrimmed) {
  EXPECT_EQ(whitespace_pass("ab  \ncd  \n", BlankLineMode::keep, {{1, 2}}).output, "ab  \ncd\n");
}

TEST(WhitespaceLiterals, LinesWhollyInsideLiteralUntouched) {
  // s = """x<sp><sp>\n<sp><sp>\n\n\ny<sp>"""<sp>\n  with the literal from the first quote to the last.
  const std::string text = "s = \"\"\"x  \n  \n\n\ny \"\"\" \nz  \n";
  const std::uint64_t lit_start = 4, lit_end = text.find("\"\"\" \n") + 3;
  PassResult r = whitespace_pass(text, BlankLineMode::collapse_to_one, {}, {{lit_start, lit_end}});
  // Opening line keeps its spaces (they belong to the string); the closing line loses the space after the literal.
  EXPECT_EQ(r.output, "s = \"\"\"x  \n  \n\n\ny \"\"\"\nz\n");
}

TEST(WhitespaceLiterals, SingleLineLiteralIsIgnored) {
  const std::string text = "a = 'x  '  \n";
  EXPECT_EQ(whitespace_pass(text, BlankLineMode::collapse_to_one, {}, {{4, 9}}).output, "a = 'x  '\n");
  EXPECT_TRUE(transform::multiline_literal_ranges({{4, 9}, {0, 100}, {5, 2}}, text).empty());
}

struct HardBreakCase {
  std::string input;
  std::string output;
};

class HardBreaks : public ::testing::TestWithParam<HardBreakCase> {};

TEST_P(HardBreaks, RunsOfTwoOrMoreStay) {
  EXPECT_EQ(whitespace_pass(GetParam().input, BlankLineMode::collapse_to_one, {}, {}, true).output,
            GetParam().output);
}

INSTANTIATE_TEST_SUITE_P(Table, HardBreaks,
                         ::testing::Values(HardBreakCase{"line  \nnext\n", "line  \nnext\n"},
                                           HardBreakCase{"line \nnext\n", "line\nnext\n"},
                                           HardBreakCase{"line   \nnext\n", "line   \nnext\n"},
                                           HardBreakCase{"line\t\t\n", "line\t\t\n"},
                                           HardBreakCase{"a\n   \n\nb\n", "a\n\nb\n"}));

}  // namespace

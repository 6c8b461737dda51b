// Whole-line widening and the deletions of comments and docstrings, on hand-placed ranges.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "edit/edit.hpp"
#include "edit/line_index.hpp"
#include "transform/comments.hpp"

namespace {

using tersewright::edit::apply_edits;
using tersewright::edit::ByteRange;
using tersewright::edit::EditList;
using tersewright::edit::LineIndex;
using tersewright::edit::RangeSet;
using tersewright::edit::Rule;
using tersewright::transform::strip_comments;
using tersewright::transform::strip_docstrings;
using tersewright::transform::widen_to_whole_lines;

ByteRange range_of(std::string_view text, std::string_view needle) {
  const std::size_t at = text.find(needle);
  EXPECT_NE(at, std::string_view::npos) << needle;
  return ByteRange{at, at + needle.size()};
}

struct WidenCase {
  const char* name;
  std::string text;
  std::string node;     // the first occurrence is the range
  std::string widened;  // the text of the result
};

void PrintTo(const WidenCase& c, std::ostream* os) { *os << c.name; }

class Widen : public ::testing::TestWithParam<WidenCase> {};

TEST_P(Widen, CoversWholeLinesOnlyWhenAlone) {
  const WidenCase& c = GetParam();
  const LineIndex lines(c.text);
  const ByteRange node = range_of(c.text, c.node);
  const ByteRange got = widen_to_whole_lines(lines, node);
  EXPECT_EQ(c.text.substr(got.start, got.end - got.start), c.widened);
  if (c.widened == c.node) {
    EXPECT_EQ(got, node);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, Widen,
    ::testing::Values(WidenCase{"indented_alone", "x = 1\n    # c\ny = 2\n", "# c", "    # c\n"},
                      WidenCase{"trailing_after_code", "x = 1  # c\n", "# c", "# c"},
                      WidenCase{"trailing_spaces_after", "x\n\t# c \t\ny\n", "# c", "\t# c \t\n"},
                      WidenCase{"block_three_lines", "a;\n  /* 1\n     2\n     3 */\nb;\n", "/* 1\n     2\n     3 */",
                                "  /* 1\n     2\n     3 */\n"},
                      WidenCase{"block_then_code", "  /* 1\n 2 */ b;\n", "/* 1\n 2 */", "/* 1\n 2 */"},
                      WidenCase{"last_line_without_feed", "x = 1\n  # c", "# c", "  # c"},
                      WidenCase{"first_line", "# c\nx\n", "# c", "# c\n"},
                      WidenCase{"crlf_terminator_included", "x\r\n  // c\r\ny\r\n", "// c", "  // c\r\n"},
                      WidenCase{"node_holding_cr", "x\n# c\r\ny\n", "# c\r", "# c\r\n"},
                      WidenCase{"node_holding_feed", "x\n/// d\nfn f() {}\n", "/// d\n", "/// d\n"},
                      WidenCase{"code_after_on_last_line_only", "/* a */ /* b */\n", "/* a */", "/* a */"}),
    [](const ::testing::TestParamInfo<WidenCase>& info) { return std::string(info.param.name); });

TEST(Widen, RangesItCannotReasonAboutComeBackUnchanged) {
  const std::string text = "  \xc3\xa9 # c\n";
  const LineIndex lines(text);
  for (ByteRange r : {ByteRange{3, 3}, ByteRange{6, 2}, ByteRange{4, 20}, ByteRange{3, 9}, ByteRange{0, 3}}) {
    EXPECT_EQ(widen_to_whole_lines(lines, r), r) << r.start << "," << r.end;
  }
  const LineIndex empty_lines("");
  EXPECT_EQ(widen_to_whole_lines(empty_lines, ByteRange{0, 1}), (ByteRange{0, 1}));
}

struct StripCase {
  const char* name;
  std::string text;
  std::vector<std::string> nodes;  // first occurrences
  RangeSet protected_set;
  std::vector<std::string> removed;       // text of each edit's range, in order
  std::vector<std::string> replacements;  // of each edit
  std::string output;
};

void PrintTo(const StripCase& c, std::ostream* os) { *os << c.name; }

class StripComments : public ::testing::TestWithParam<StripCase> {};

TEST_P(StripComments, EditsAndResult) {
  const StripCase& c = GetParam();
  const LineIndex lines(c.text);
  std::vector<ByteRange> nodes;
  for (const std::string& n : c.nodes) nodes.push_back(range_of(c.text, n));
  const EditList edits = strip_comments(lines, c.protected_set, nodes);
  std::vector<std::string> removed, replacements;
  for (const auto& e : edits) {
    EXPECT_EQ(e.rule, Rule::strip_comments);
    removed.push_back(c.text.substr(e.start, e.end - e.start));
    replacements.push_back(e.replacement);
  }
  EXPECT_EQ(removed, c.removed);
  EXPECT_EQ(replacements, c.replacements);
  EXPECT_EQ(apply_edits(c.text, edits).text, c.output);
}

INSTANTIATE_TEST_SUITE_P(
    Comments, StripComments,
    ::testing::Values(
        StripCase{"trailing_keeps_spaces_for_trim", "x = 1  # c\n", {"# c"}, {}, {"# c"}, {""}, "x = 1  \n"},
        StripCase{"alone_leaves_no_blank_line", "a\n    # c\nb\n", {"# c"}, {}, {"    # c\n"}, {""}, "a\nb\n"},
        StripCase{"mid_line_keeps_both_runs", "f(1, /* c */ 2);\n", {"/* c */"}, {}, {"/* c */"}, {""}, "f(1,  2);\n"},
        StripCase{"last_line_without_feed", "x = 1\n# c", {"# c"}, {}, {"# c"}, {""}, "x = 1\n"},
        StripCase{"two_in_order", "// a\nx; // b\n", {"// a", "// b"}, {}, {"// a\n", "// b"}, {"", ""}, "x; \n"},
        StripCase{"between_word_tokens_leaves_a_space", "let/* c */x = 1;\n", {"/* c */"}, {}, {"/* c */"}, {" "},
                  "let x = 1;\n"},
        StripCase{"between_operators_leaves_a_space", "a = b +/* c */+ d;\n", {"/* c */"}, {}, {"/* c */"}, {" "},
                  "a = b + + d;\n"},
        StripCase{"inside_brackets_leaves_nothing", "f(/* none */);\n", {"/* none */"}, {}, {"/* none */"}, {""},
                  "f();\n"},
        StripCase{"spanning_lines_between_code_keeps_the_break", "return /* a\n b */ x;\n", {"/* a\n b */"}, {},
                  {"/* a\n b */"}, {"\n"}, "return \n x;\n"},
        StripCase{"spanning_crlf_lines_keeps_crlf", "return /* a\r\n b */ x;\r\n", {"/* a\r\n b */"}, {},
                  {"/* a\r\n b */"}, {"\r\n"}, "return \r\n x;\r\n"},
        StripCase{"spanning_lines_code_before_only", "x; /* a\n b */\ny;\n", {"/* a\n b */"}, {}, {"/* a\n b */"},
                  {""}, "x; \ny;\n"},
        StripCase{"node_holding_feed_alone", "/// d\nfn f() {}\n", {"/// d\n"}, {}, {"/// d\n"}, {""}, "fn f() {}\n"},
        StripCase{"node_holding_feed_after_code", "x; /// d\ny\n", {"/// d\n"}, {}, {"/// d"}, {""}, "x; \ny\n"},
        StripCase{"node_holding_cr_after_code", "x = 1 # c\r\ny\r\n", {"# c\r"}, {}, {"# c"}, {""}, "x = 1 \r\ny\r\n"},
        StripCase{"marker_line_protected", "a  # keep tersewright:keep\n# gone\n", {"# keep", "# gone"}, {{0, 27}},
                  {"# gone\n"}, {""}, "a  # keep tersewright:keep\n"},
        // Protection is judged on the node, not on the widened lines.
        StripCase{"protection_tested_before_widening", "  # c\nx\n", {"# c"}, {{5, 6}}, {"  # c\n"}, {""}, "x\n"},
        StripCase{"none", "x\n", {}, {}, {}, {}, "x\n"}),
    [](const ::testing::TestParamInfo<StripCase>& info) { return std::string(info.param.name); });

TEST(StripDocstrings, DeletesWithoutStandIn) {
  const std::string text = "\"\"\"Mod.\"\"\"\ndef f(): \"\"\"d\"\"\"; return 1\n";
  const LineIndex lines(text);
  const EditList edits =
      strip_docstrings(lines, {}, {range_of(text, "\"\"\"Mod.\"\"\""), range_of(text, "\"\"\"d\"\"\"")});
  ASSERT_EQ(edits.size(), 2u);
  for (const auto& e : edits) {
    EXPECT_EQ(e.rule, Rule::strip_docstrings);
    EXPECT_TRUE(e.replacement.empty());
  }
  EXPECT_EQ(apply_edits(text, edits).text, "def f(): ; return 1\n");
  EXPECT_TRUE(strip_docstrings(lines, {{0, 1}}, {range_of(text, "\"\"\"Mod.\"\"\"")}).empty());
}

}  // namespace

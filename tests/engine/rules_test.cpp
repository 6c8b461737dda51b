// The rules on their own, over hand-placed ranges or real analyses: comments and docstrings,
// whitespace, Markdown fences and duplicates, log repeats, and body placeholders.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "analyzer/syntax.hpp"
#include "edit/edit.hpp"
#include "edit/line_index.hpp"
#include "transform/comments.hpp"
#include "transform/interface_only.hpp"
#include "transform/log_repeats.hpp"
#include "transform/markdown.hpp"
#include "transform/rules.hpp"
#include "transform/whitespace.hpp"

namespace {

using namespace tersewright;
using namespace tersewright::transform;
using edit::ByteRange;
using edit::LineIndex;
using edit::Rule;

ByteRange range_of(std::string_view text, std::string_view needle) {
  const std::size_t at = text.find(needle);
  EXPECT_NE(at, std::string_view::npos) << needle;
  return ByteRange{at, at + needle.size()};
}

// The text after the edits, each of which must carry the rule.
std::string applied(std::string_view text, const edit::EditList& edits, Rule rule) {
  for (const edit::Edit& e : edits) EXPECT_EQ(e.rule, rule) << e.start << "," << e.end;
  return edit::apply_edits(text, edits).text;
}

TEST(Comments, WidenToWholeLinesOnlyWhenAlone) {
  const struct { std::string text, node, widened; } cases[] = {
      {"x\n\t# c \t\ny\n", "# c", "\t# c \t\n"}, {"x = 1\n  # c", "# c", "  # c"}, {"# c\nx\n", "# c", "# c\n"},
      {"a;\n  /* 1\n     2\n     3 */\nb;\n", "/* 1\n     2\n     3 */", "  /* 1\n     2\n     3 */\n"},
      {"  /* 1\n 2 */ b;\n", "/* 1\n 2 */", "/* 1\n 2 */"}, {"x\r\n  // c\r\ny\r\n", "// c", "  // c\r\n"},
      {"x\n# c\r\ny\n", "# c\r", "# c\r\n"}, {"/* a */ /* b */\n", "/* a */", "/* a */"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const ByteRange node = range_of(c.text, c.node);
    const ByteRange got = widen_to_whole_lines(LineIndex(c.text), node);
    EXPECT_EQ(c.text.substr(got.start, got.end - got.start), c.widened);
    EXPECT_TRUE(c.widened != c.node || got == node);
  }
  // Ranges it cannot reason about come back unchanged: empty, reversed, past the end, off a boundary.
  const std::string text = "  \xc3\xa9 # c\n";
  for (ByteRange r : {ByteRange{3, 3}, ByteRange{6, 2}, ByteRange{4, 20}, ByteRange{3, 9}, ByteRange{0, 3}})
    EXPECT_EQ(widen_to_whole_lines(LineIndex(text), r), r) << r.start << "," << r.end;
  EXPECT_EQ(widen_to_whole_lines(LineIndex(""), ByteRange{0, 1}), (ByteRange{0, 1}));
}

TEST(Comments, StripLeavesNoHuskAndGluesNothing) {
  struct Case { std::string text; std::vector<std::string> nodes; edit::RangeSet protect; std::string output; };
  const Case cases[] = {
      {"x = 1  # c\n", {"# c"}, {}, "x = 1  \n"},  // the spaces before stay for the trimming rule
      {"a\n    # c\nb\n", {"# c"}, {}, "a\nb\n"}, {"f(1, /* c */ 2);\n", {"/* c */"}, {}, "f(1,  2);\n"},
      {"x = 1\n# c", {"# c"}, {}, "x = 1\n"}, {"// a\nx; // b\n", {"// a", "// b"}, {}, "x; \n"},
      {"let/* c */x = 1;\n", {"/* c */"}, {}, "let x = 1;\n"},
      {"a = b +/* c */+ d;\n", {"/* c */"}, {}, "a = b + + d;\n"},
      {"f(/* none */);\n", {"/* none */"}, {}, "f();\n"},
      // Spanning lines with code on both ends keeps one line break, in the text's own form.
      {"return /* a\n b */ x;\n", {"/* a\n b */"}, {}, "return \n x;\n"},
      {"return /* a\r\n b */ x;\r\n", {"/* a\r\n b */"}, {}, "return \r\n x;\r\n"},
      {"x; /* a\n b */\ny;\n", {"/* a\n b */"}, {}, "x; \ny;\n"},
      // A node holding its terminator gives it back when code stands before it.
      {"/// d\nfn f() {}\n", {"/// d\n"}, {}, "fn f() {}\n"}, {"x; /// d\ny\n", {"/// d\n"}, {}, "x; \ny\n"},
      {"x = 1 # c\r\ny\r\n", {"# c\r"}, {}, "x = 1 \r\ny\r\n"},
      {"a  # keep tersewright:keep\n# gone\n", {"# keep", "# gone"}, {{0, 27}}, "a  # keep tersewright:keep\n"},
      // Protection is judged on the node, not on the widened lines.
      {"  # c\nx\n", {"# c"}, {{5, 6}}, "x\n"}, {"x\n", {}, {}, "x\n"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<ByteRange> nodes;
    for (const std::string& n : c.nodes) nodes.push_back(range_of(c.text, n));
    EXPECT_EQ(applied(c.text, strip_comments(LineIndex(c.text), c.protect, nodes), Rule::strip_comments),
              c.output);
  }
  // Docstrings go whole, with no stand-in, unless protected.
  const std::string text = "\"\"\"Mod.\"\"\"\ndef f(): \"\"\"d\"\"\"; return 1\n";
  const std::vector<ByteRange> docstrings{range_of(text, "\"\"\"Mod.\"\"\""), range_of(text, "\"\"\"d\"\"\"")};
  const edit::EditList edits = strip_docstrings(LineIndex(text), {}, docstrings);
  EXPECT_EQ(edits.size(), 2u);
  EXPECT_EQ(applied(text, edits, Rule::strip_docstrings), "def f(): ; return 1\n");
  EXPECT_TRUE(strip_docstrings(LineIndex(text), {{0, 1}}, {docstrings[0]}).empty());
}

// Trim, then blank lines, over one text, as the branches apply them.
struct Pass {
  std::string output;
  std::uint64_t trims = 0, collapses = 0;
};

Pass whitespace_pass(const std::string& text, BlankLineMode mode, std::vector<ByteRange> protect = {},
                     std::vector<ByteRange> literals = {}, bool hard_breaks = false) {
  const LineIndex lines(text);
  const TrimOptions options{.hard_breaks = hard_breaks, .skip_whitespace_only_lines = mode != BlankLineMode::keep};
  edit::EditList edits = trim_trailing_whitespace(lines, protect, literals, options);
  const edit::EditList blanks = collapse_blank_lines(lines, mode, protect, literals);
  edits.insert(edits.end(), blanks.begin(), blanks.end());
  // The two rules in one list: the same edits in the same order.
  const edit::EditList together = whitespace_edits(lines, mode, protect, literals, options, 3);
  EXPECT_EQ(together.size(), edits.size());
  EXPECT_GE(together.capacity(), edits.size() + 3);
  for (std::size_t i = 0; i < std::min(edits.size(), together.size()); ++i)
    EXPECT_TRUE(together[i].start == edits[i].start && together[i].end == edits[i].end &&
                together[i].rule == edits[i].rule && together[i].replacement.empty())
        << i;
  Pass pass{edit::apply_edits(text, edits).text};
  for (const edit::Edit& e : edits) (e.rule == Rule::trim_trailing_whitespace ? pass.trims : pass.collapses) += 1;
  return pass;
}

TEST(Whitespace, TrimAndBlankLines) {
  using enum BlankLineMode;
  struct Case { std::string input; BlankLineMode mode; std::string output; std::uint64_t trims, collapses; };
  const Case cases[] = {
      {"a\n   \nb\n", keep, "a\n\nb\n", 1, 0}, {"a\n\n\n\nb\n", keep, "a\n\n\n\nb\n", 0, 0},
      {"a\n\n  \n\nb\n", collapse_to_one, "a\n\nb\n", 0, 1}, {"a\n\t\n\nb\n", collapse_to_one, "a\n\nb\n", 1, 1},
      {"a\n\t\nb\n", collapse_to_one, "a\n\nb\n", 1, 0}, {"a\n\n\n\n\n\nb", collapse_to_one, "a\n\nb", 0, 1},
      {"\n\n\n", collapse_to_one, "\n", 0, 1}, {"\n\n\n", remove_all, "", 0, 1},
      {"a\n \n\nb\n\t", remove_all, "a\nb\n", 0, 2}, {"x = 1  \ny\t \t\n", collapse_to_one, "x = 1\ny\n", 2, 0},
      {"a \r\nb\r\n", collapse_to_one, "a\r\nb\r\n", 1, 0}, {"a\nb \r", collapse_to_one, "a\nb \r", 0, 0},
      // Trimming these runs would turn the carriage return into part of a CR LF terminator: the
      // second line would come out blank and a second fold would collapse it with its neighbours.
      {"a\n\r \n\nb\r\t\n", collapse_to_one, "a\n\r \n\nb\r\t\n", 0, 0}, {"a \r \n", collapse_to_one, "a \r \n", 0, 0},
      {"a\r\n\r\n\r\n\r\nb", collapse_to_one, "a\r\n\r\nb", 0, 1},
      // The empty text is one empty line: remove_all proposes an empty deletion, still counted.
      {"", remove_all, "", 0, 1}, {"", collapse_to_one, "", 0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    const Pass pass = whitespace_pass(c.input, c.mode);
    EXPECT_EQ(pass.output, c.output);
    EXPECT_EQ(pass.trims, c.trims);
    EXPECT_EQ(pass.collapses, c.collapses);
  }
  // Markdown hard breaks: runs of two or more stay.
  const std::pair<const char*, const char*> hard_breaks[] = {{"line  \nnext\n", "line  \nnext\n"},
      {"line \nnext\n", "line\nnext\n"}, {"line   \nnext\n", "line   \nnext\n"}, {"line\t\t\n", "line\t\t\n"},
      {"a\n   \n\nb\n", "a\n\nb\n"}};
  for (const auto& [input, output] : hard_breaks)
    EXPECT_EQ(whitespace_pass(input, collapse_to_one, {}, {}, true).output, output) << input;
}

TEST(Whitespace, ProtectedLinesAndLiterals) {
  using enum BlankLineMode;
  // A protected blank line keeps its spaces and splits the run in two.
  EXPECT_EQ(whitespace_pass("a\n\n\n  \n\n\nb\n", collapse_to_one, {{4, 6}}).output, "a\n\n  \n\nb\n");
  // Empty lines inside a protected range survive; the next run still collapses.
  EXPECT_EQ(whitespace_pass("a\n\n\n\nb\n\n\n\nc\n", collapse_to_one, {{2, 5}}).output, "a\n\n\n\nb\n\nc\n");
  EXPECT_EQ(whitespace_pass("a\n\n\n\nb\n\n\n\nc\n", remove_all, {{2, 5}}).output, "a\n\n\n\nb\nc\n");
  EXPECT_EQ(whitespace_pass("ab  \ncd  \n", keep, {{1, 2}}).output, "ab  \ncd\n");
  // Lines wholly inside a multi-line literal stay, and so do the spaces ending its opening line; the
  // space after its closing quotes goes.
  const std::string text = "s = \"\"\"x  \n  \n\n\ny \"\"\" \nz  \n";
  EXPECT_EQ(whitespace_pass(text, collapse_to_one, {}, {{4, text.find("\"\"\" \n") + 3}}).output,
            "s = \"\"\"x  \n  \n\n\ny \"\"\"\nz\n");
  // A literal on one line guards nothing.
  EXPECT_EQ(whitespace_pass("a = 'x  '  \n", collapse_to_one, {}, {{4, 9}}).output, "a = 'x  '\n");
  EXPECT_TRUE(multiline_literal_ranges({{4, 9}, {0, 100}, {5, 2}}, "a = 'x  '  \n").empty());
}

TEST(Markdown, FencedBlocks) {
  const std::pair<std::string, edit::RangeSet> cases[] = {
      {"t\n```\ncode\n```\nu\n", {{2, 15}}}, {"```\n~~~\nx\n````\nafter\n", {{0, 15}}},
      {"  ~~~~ js\nx\n ~~~ trailing\n", {{0, 26}}}, {"a\n```py\nx\n", {{2, 10}}}, {"a\n```", {{2, 5}}},
      {"```\nx\n```", {{0, 9}}}, {"``x``\n``\n", {}}, {"```\na\n```\nt\n~~~\nb\n~~~\n", {{0, 10}, {12, 22}}},
      {"```\n```\n~~~\n~~~\n", {{0, 16}}}, {"\xC2\xA0```\nx\n```\n", {{0, 12}}}, {"\t```\r\nx\r\n```\r\n", {{0, 14}}},
      {"a ```\nb\n", {}}, {"", {}}};
  for (const auto& [text, blocks] : cases) EXPECT_EQ(fenced_block_ranges(LineIndex(text)), blocks) << text;
}

TEST(Markdown, DedupeRemovesAdjacentDuplicateProse) {
  const struct { std::string text; std::vector<ByteRange> protect; std::string output; } cases[] = {
      {"para\npara\nend\n", {}, "para\nend\n"}, {"a b\na b\na b\n", {}, "a b\n"}, {"a\na", {}, "a\n"},
      {"x\r\nx\r\n", {}, "x\r\n"}, {"line\n  line\n", {}, "line\n"}, {"  line \nline\n", {}, "  line \n"},
      {"a\n\xC2\xA0" "a\xE3\x80\x80\n", {}, "a\n"}, {"Foo\nfoo\n", {}, "Foo\nfoo\n"}, {"a\nb\na\n", {}, "a\nb\na\n"},
      {"a\n\na\n", {}, "a\n\na\n"}, {"a\n  \na\n", {}, "a\n  \na\n"}, {"a\n\xC2\xA0\na\n", {}, "a\n\xC2\xA0\na\n"},
      {"# h\n# h\n#x\n#x\n", {}, "# h\n# h\n#x\n#x\n"}, {"a\n# h\na\n", {}, "a\n# h\na\n"},
      {"go [x](y)\ngo [x](y)\n", {}, "go [x](y)\ngo [x](y)\n"}, {"HTTP://x\nHTTP://x\n", {}, "HTTP://x\n"},
      {"```\nx  \nx  \n```\n", {}, "```\nx  \nx  \n```\n"}, {"```\nx\n```\ny\ny\n", {}, "```\nx\n```\ny\n"},
      {"y\n~~~\ny\ny\n", {}, "y\n~~~\ny\ny\n"}, {"a\na\n", {{2, 3}}, "a\na\n"}, {"a\na\na\n", {{2, 3}}, "a\na\na\n"},
      {"a\na\nb\nb\n", {{6, 7}, {0, 1}}, "a\na\nb\nb\n"}, {"a\na\n", {{1, 2}}, "a\n"}, {"", {}, ""},
      // Several fences and protected lines, so that later lines are judged against later ranges.
      {"```\na\n```\nb\nb\n~~~\nb\n~~~\nd\nd\n", {}, "```\na\n```\nb\n~~~\nb\n~~~\nd\n"},
      {"a\na\nb\nb\nc\nc\nd\nd\n", {{12, 13}, {2, 3}, {8, 9}}, "a\na\nb\nc\nc\nd\nd\n"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const auto edits = markdown_dedupe(LineIndex(c.text), c.protect, fenced_block_ranges(LineIndex(c.text)));
    for (const edit::Edit& e : edits) EXPECT_TRUE(e.replacement.empty());
    EXPECT_EQ(applied(c.text, edits, Rule::markdown_dedupe), c.output);
  }
  // Whether a direct repeat of the line survives: every keyword, at the start or after a space, in
  // any letter case and with nothing checked after it; link markers, case-sensitive, anywhere.
  const std::pair<const char*, bool> kept[] = {
      {"must do", true}, {"You SHALL pass", true}, {"required field", true}, {"a Note: b", true}, {"WARNING", true},
      {"use caution here", true}, {"Important", true}, {"x deprecated", true}, {"See: the docs", true},
      {"see references", true}, {"This Must hold", true}, {"mustard", true}, {"a requirement", true},
      {"\xC2\xA0must", true}, {"xmust", false}, {"a\tmust", false}, {"(must)", false}, {"notes", false},
      {"see the docs", false}, {"reference", false}, {"warn", false}, {"plain prose", false},
      {"get http://x", true}, {"https://x.org", true}, {"a](b", true}, {"[a] (b)", false}, {"ftp://x", false},
      {"Http://x", false}, {"http:/x", false}, {"http : //x", false}};
  for (const auto& [line, survives] : kept)
    EXPECT_EQ(markdown_dedupe(LineIndex(std::string(line) + "\n" + line + "\n"), {}, {}).empty(), survives) << line;
}

TEST(LogRepeats, RunsFoldIntoMarkers) {
  const std::string m1 = log_repeat_marker("", 1), m2 = log_repeat_marker("", 2), m3 = log_repeat_marker("", 3);
  EXPECT_EQ(m1, "[tersewright: 1 repeated log line(s) collapsed]\n");
  EXPECT_EQ(log_repeat_marker("\t  ", 40), "\t  [tersewright: 40 repeated log line(s) collapsed]\n");
  EXPECT_EQ(log_repeat_marker("", UINT64_MAX), "[tersewright: 18446744073709551615 repeated log line(s) collapsed]\n");
  const struct { std::string text; std::uint64_t keep; std::vector<ByteRange> protect; std::string output; } cases[] = {
      {"a\na\na\na\n", 1, {}, "a\n" + m3}, {"a\na\n", 1, {}, "a\n" + m1}, {"a\na\n", 2, {}, "a\na\n"},
      {"x\nx\nx\nx\nx\n", 2, {}, "x\nx\n" + m3}, {"a\na\na\na\na\n", 0, {}, "a\na\na\na\na\n"},
      {"a\na\n", UINT64_MAX, {}, "a\na\n"},
      {"2024-01-01 10:00:00 INFO started\n2024-01-01 10:00:05 INFO started\n", 1, {},
       "2024-01-01 10:00:00 INFO started\n" + m1},
      {"[WARN] disk full\n[ERROR] disk full\n", 1, {}, "[WARN] disk full\n" + m1},
      {"warn: x\nWARN: x\n", 1, {}, "warn: x\nWARN: x\n"},
      {"ERROR\n2024-01-01 10:00:00 INFO\n[DEBUG]\n", 1, {}, "ERROR\n" + m2},  // empty keys are equal
      {"a\n\na\n", 1, {}, "a\n\na\n"}, {"a\n \t\na\n", 1, {}, "a\n \t\na\n"},
      {"a\n\xC2\xA0\na\n", 1, {}, "a\n\xC2\xA0\na\n"},
      {"a\na\na\na\n", 1, {{4, 5}}, "a\n" + m1 + "a\na\n"}, {"a\na\na\n", 1, {{0, 1}}, "a\na\n" + m1},
      {"a\na\n", 1, {{1, 2}}, "a\n" + m1}, {"a\na\nb\nb\nc\nc\n", 1, {{10, 11}, {2, 3}}, "a\na\nb\n" + m1 + "c\nc\n"},
      {"  at x\n\tat x\n  at x\n", 1, {}, "  at x\n  " + m2},  // the marker takes the first line's indent
      {"b\nx\nx\nx", 1, {}, "b\nx\n" + m2}, {"a\r\na\r\n", 1, {}, "a\r\n" + m1},
      {"a\na\nb\nb\nb\nc\n", 1, {}, "a\n" + m1 + "b\n" + m2 + "c\n"}, {"a\nb\na\n", 1, {}, "a\nb\na\n"},
      {"", 1, {}, ""}};
  for (const auto& c : cases)
    EXPECT_EQ(applied(c.text, collapse_log_repeats(LineIndex(c.text), c.protect, c.keep), Rule::collapse_log_repeats), c.output)
        << c.text;
}

TEST(InterfaceOnly, TrivialBodiesAndDeclarationsItCannotUse) {
  for (std::string_view body : {"", "{}", "{ ; }", "{\n\t}\r\n", "{\xc2\xa0}", "{\xe3\x80\x80;}"})
    EXPECT_TRUE(is_trivial_body(body)) << body;
  for (std::string_view body : {"{ x }", "...", "{ /* c */ }", "pass", "{\xc3\xa9}"})
    EXPECT_FALSE(is_trivial_body(body)) << body;
  // Bodiless, empty, reversed and past the end are skipped; unsorted error handlers are normalized.
  const std::string text = "fn f() { x }";
  const std::vector<analyzer::Declaration> declarations = {{false, 7, 12}, {true, 7, 7}, {true, 9, 7}, {true, 7, 40},
                                                           {true, 7, 12}};
  const auto edits = interface_only(text, {}, {}, true, declarations, PlaceholderStyle::brace);
  ASSERT_EQ(edits.size(), 1u);
  EXPECT_EQ(edits[0].start, 7u);
  EXPECT_EQ(edits[0].end, 12u);
  EXPECT_TRUE(interface_only(text, {}, {{11, 12}, {0, 1}}, true, declarations, PlaceholderStyle::brace).empty());
  EXPECT_EQ(interface_only(text, {}, {{11, 12}, {0, 1}}, false, declarations, PlaceholderStyle::brace).size(), 1u);
}

TEST(InterfaceOnly, ReplacesBodiesOfEveryLanguage) {
  using enum analyzer::Language;
  const std::string P = "...  # [tersewright: implementation omitted]";
  const std::string B = "{ /* [tersewright: implementation omitted] */ }";
  const std::string py_try = "def f():\n    try:\n        g()\n    except E:\n        pass\n";
  // The flag protects error handling; bytes are counted for nested bodies too, although application
  // keeps only the outer one.
  const struct { analyzer::Language language; std::string source; bool guard; std::string output;
                 std::uint64_t changes; std::int64_t bytes; } cases[] = {
      {python, "def f(a):\n    x = a + 1\n    return x\n", true, "def f(a):\n    " + P + "\n", 1, 22 - 44},
      {python, "class A:\n    \"\"\"A.\"\"\"\n    x = 1\n\n    def m(self):\n        return self.x\n\n"
               "    @property\n    def n(self):\n        return 2\n", true,
       "class A:\n    \"\"\"A.\"\"\"\n    x = 1\n\n    def m(self):\n        " + P +
           "\n\n    @property\n    def n(self):\n        " + P + "\n",
       2, (13 - 44) + (8 - 44)},
      {python, "def outer():\n    def inner():\n        return 1\n    return inner\n", true,
       "def outer():\n    " + P + "\n", 2, (46 - 44) + (8 - 44)},
      {python, py_try, true, py_try, 0, 0}, {python, py_try, false, "def f():\n    " + P + "\n", 1, 43 - 44},
      {python, "def f():\n    return 1  # tersewright:keep\ndef g():\n    return 2\n", true,
       "def f():\n    return 1  # tersewright:keep\ndef g():\n    " + P + "\n", 1, 8 - 44},
      {rust, "struct S;\ntrait T { fn m(&self); }\nfn f() -> i32 { 1 }\nfn g() {}\nfn h() { ; }\n"
             "impl S { fn k(&self) -> u8 { let v = 2; v } }\n", true,
       "struct S;\ntrait T { fn m(&self); }\nfn f() -> i32 " + B + "\nfn g() {}\nfn h() { ; }\n"
       "impl S { fn k(&self) -> u8 " + B + " }\n", 2, (5 - 47) + (16 - 47)},
      {go, "package p\n\ntype T struct{ a int }\n\nfunc (t *T) A() int {\n\treturn t.a\n}\n\nfunc ext()\n\n"
           "func empty() {\n}\n\nfunc g() {\n\tdefer recover()\n\tpanic(1)\n}\n", true,
       "package p\n\ntype T struct{ a int }\n\nfunc (t *T) A() int " + B + "\n\nfunc ext()\n\nfunc empty() {\n}\n\n"
       "func g() " + B + "\n", 2, (15 - 47) + (30 - 47)},
      {javascript, "function f(a) { return a * 2; }\nfunction* g() { yield 1; }\nconst h = () => { return 3; };\n"
                   "class C {\n  m() { return 4; }\n  n() { throw new Error('x'); }\n}\n", true,
       "function f(a) " + B + "\nfunction* g() " + B + "\nconst h = () => { return 3; };\nclass C {\n  m() " + B +
       "\n  n() { throw new Error('x'); }\n}\n", 3, (17 - 47) + (12 - 47) + (13 - 47)},
      {typescript, "interface I { m(): void }\nabstract class A {\n  abstract m(): void;\n  n(): number { return 1; }\n"
                   "}\nfunction f(a: string): void;\nfunction f(a: any) { console.log(a); }\n", true,
       "interface I { m(): void }\nabstract class A {\n  abstract m(): void;\n  n(): number " + B + "\n}\n"
       "function f(a: string): void;\nfunction f(a: any) " + B + "\n", 2, (13 - 47) + (19 - 47)},
      {typescript, "function f(): void {\n  try { g(); } finally { h(); }\n}\n", true,
       "function f(): void {\n  try { g(); } finally { h(); }\n}\n", 0, 0},
      {tsx, "export function App(): JSX.Element {\n  return <div className=\"a\">{1}</div>;\n}\n", true,
       "export function App(): JSX.Element " + B + "\n", 1, 42 - 47}};
  const analyzer::AnalyzerRegistry registry = analyzer::AnalyzerRegistry::built_in();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source);
    const auto analysis = registry.find(c.language)->analyze(c.source);
    ASSERT_TRUE(analysis.parse_ok);
    const auto edits = interface_only(c.source, edit::build_protected_ranges(c.source, {}, {"tersewright:keep"}),
                                      analysis.error_handlers, c.guard, analysis.declarations,
                                      placeholder_style_for(c.language));
    EXPECT_EQ(applied(c.source, edits, Rule::interface_only), c.output);
    const auto tally = tally_rules(edits);
    EXPECT_EQ(tally.empty() ? 0 : tally[0].changes, c.changes);
    EXPECT_EQ(tally.empty() ? 0 : tally[0].bytes_removed, c.bytes);
  }
}

}  // namespace

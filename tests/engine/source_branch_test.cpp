// Folding source code end to end through the fold entry point, and the branch on its own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "transform/branches.hpp"
#include "transform/fold.hpp"

namespace {

using namespace tersewright;
using analyzer::AnalyzerRegistry;
using analyzer::Language;
using transform::FoldRequest;
using transform::FoldResult;
using transform::ParseStatus;

const AnalyzerRegistry& registry() {
  static const AnalyzerRegistry built_in = AnalyzerRegistry::built_in();
  return built_in;
}

FoldResult fold_ok(std::string content, Language language, std::string profile = "safe",
                   std::optional<bool> allow_lossy = {}) {
  FoldRequest r;
  r.content = std::move(content);
  r.profile = std::move(profile);
  r.language = language;
  r.allow_lossy = allow_lossy;
  auto result = transform::fold(registry(), std::move(r));
  if (!result) throw std::runtime_error("fold failed");
  return std::move(result).value();
}

struct Tally {
  std::string rule;
  std::uint64_t changes;
  std::int64_t bytes_removed;
  friend bool operator==(const Tally&, const Tally&) = default;
  friend std::ostream& operator<<(std::ostream& os, const Tally& t) {
    return os << t.rule << " x" << t.changes << " -" << t.bytes_removed;
  }
};

std::vector<Tally> tallies(const transform::Report& report) {
  std::vector<Tally> out;
  for (const auto& r : report.rules)
    out.push_back({std::string(transform::rule_name(r.rule)), r.changes, r.bytes_removed});
  return out;
}

struct SafeCase {
  const char* name;
  Language language;
  std::string input;
  std::string output;
  std::vector<Tally> rules;
};

void PrintTo(const SafeCase& c, std::ostream* os) { *os << c.name; }

class SafeFold : public ::testing::TestWithParam<SafeCase> {};

TEST_P(SafeFold, RemovesEveryKindOfComment) {
  const SafeCase& c = GetParam();
  const FoldResult r = fold_ok(c.input, c.language);
  EXPECT_EQ(r.output, c.output);
  EXPECT_EQ(tallies(r.report), c.rules);
  EXPECT_EQ(r.report.parse_status, ParseStatus::parsed);
  EXPECT_EQ(r.report.syntax_valid, std::optional<bool>(true));
  EXPECT_TRUE(r.report.behavior_preserving);
  EXPECT_TRUE(r.report.warnings.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Languages, SafeFold,
    ::testing::Values(
        SafeCase{"python", Language::python,
                 "#!/usr/bin/env python3\n"
                 "# -*- coding: utf-8 -*-\n"
                 "\"\"\"Inventory helpers.\"\"\"\n"
                 "\n"
                 "import os  # needed for paths\n"
                 "\n"
                 "\n"
                 "def load(path):   \n"
                 "    # Read the file.\n"
                 "    with open(path) as handle:\n"
                 "        data = handle.read()  # whole file\n"
                 "\n"
                 "\n"
                 "    return data  # tersewright:keep\n",
                 "\"\"\"Inventory helpers.\"\"\"\n"
                 "\n"
                 "import os\n"
                 "\n"
                 "def load(path):\n"
                 "    with open(path) as handle:\n"
                 "        data = handle.read()\n"
                 "\n"
                 "    return data  # tersewright:keep\n",
                 {{"strip_comments", 5, 23 + 24 + 18 + 21 + 12},
                  {"trim_trailing_whitespace", 3, 2 + 3 + 2},
                  {"collapse_blank_lines", 2, 2}}},
        SafeCase{"rust", Language::rust,
                 "//! Crate docs.\n"
                 "use std::fmt; // formatting\n"
                 "\n"
                 "/// A point.\n"
                 "struct P { x: i32 /* px */, y: i32 }\n"
                 "\n"
                 "/* Block\n"
                 "   comment */\n"
                 "fn main() {\n"
                 "    let v = 1/*glue*/+2;\n"
                 "}\n",
                 "use std::fmt;\n"
                 "\n"
                 "struct P { x: i32 , y: i32 }\n"
                 "\n"
                 "fn main() {\n"
                 "    let v = 1 +2;\n"
                 "}\n",
                 {{"strip_comments", 6, 16 + 13 + 13 + 8 + 23 + (8 - 1)}, {"trim_trailing_whitespace", 1, 1}}},
        SafeCase{"javascript", Language::javascript,
                 "/**\n"
                 " * Module docs.\n"
                 " */\n"
                 "import fs from 'fs'; // node fs\n"
                 "\n"
                 "/* one */ /* two */\n"
                 "\n"
                 "function read(p) {\n"
                 "  // explain\n"
                 "  return fs.readFileSync(p, 'utf8'); /* why */\n"
                 "}\n"
                 "\n"
                 "const el = <div>{/* jsx */}</div>;\n",
                 "import fs from 'fs';\n"
                 "\n"
                 "function read(p) {\n"
                 "  return fs.readFileSync(p, 'utf8');\n"
                 "}\n"
                 "\n"
                 "const el = <div>{}</div>;\n",
                 // "/* one */ /* two */" leaves one space: a blank line, merged into its run.
                 {{"strip_comments", 7, 24 + 10 + 9 + 9 + 13 + 9 + 9},
                  {"trim_trailing_whitespace", 2, 1 + 1},
                  {"collapse_blank_lines", 1, 3}}},
        SafeCase{"typescript", Language::typescript,
                 "// Types for the store.\n"
                 "export interface Item {\n"
                 "  id: number; // primary key\n"
                 "  /** Display name. */\n"
                 "  name: string;\n"
                 "}\n"
                 "\n"
                 "export function total(items: Item[]): number {\n"
                 "  /* sum */\n"
                 "  return items.reduce((a, b) => a + b.id, 0);\n"
                 "}\n",
                 "export interface Item {\n"
                 "  id: number;\n"
                 "  name: string;\n"
                 "}\n"
                 "\n"
                 "export function total(items: Item[]): number {\n"
                 "  return items.reduce((a, b) => a + b.id, 0);\n"
                 "}\n",
                 {{"strip_comments", 4, 24 + 14 + 23 + 12}, {"trim_trailing_whitespace", 1, 1}}},
        SafeCase{"tsx", Language::tsx,
                 "import React from \"react\"; // runtime\n"
                 "\n"
                 "/** Props. */\n"
                 "type Props = { title: string };\n"
                 "\n"
                 "export const Title = ({ title }: Props) => (\n"
                 "  <h1>\n"
                 "    {/* heading */}\n"
                 "    {title}\n"
                 "  </h1>\n"
                 ");\n",
                 "import React from \"react\";\n"
                 "\n"
                 "type Props = { title: string };\n"
                 "\n"
                 "export const Title = ({ title }: Props) => (\n"
                 "  <h1>\n"
                 "    {}\n"
                 "    {title}\n"
                 "  </h1>\n"
                 ");\n",
                 {{"strip_comments", 3, 10 + 14 + 13}, {"trim_trailing_whitespace", 1, 1}}},
        SafeCase{"go", Language::go,
                 "// Package store keeps items.\n"
                 "package store\n"
                 "\n"
                 "import \"fmt\" // printing\n"
                 "\n"
                 "/*\n"
                 "Item is a record.\n"
                 "*/\n"
                 "type Item struct {\n"
                 "\tID   int    // key\n"
                 "\tName string /* label */\n"
                 "}\n"
                 "\n"
                 "func (i Item) String() string {\n"
                 "\treturn fmt.Sprintf(\"%d %s\", i.ID, i.Name) // format\n"
                 "}\n",
                 "package store\n"
                 "\n"
                 "import \"fmt\"\n"
                 "\n"
                 "type Item struct {\n"
                 "\tID   int\n"
                 "\tName string\n"
                 "}\n"
                 "\n"
                 "func (i Item) String() string {\n"
                 "\treturn fmt.Sprintf(\"%d %s\", i.ID, i.Name)\n"
                 "}\n",
                 {{"strip_comments", 6, 30 + 11 + 24 + 6 + 11 + 9}, {"trim_trailing_whitespace", 4, 1 + 4 + 1 + 1}}}),
    [](const ::testing::TestParamInfo<SafeCase>& info) { return std::string(info.param.name); });

struct BrokenCase {
  const char* name;
  Language language;
  std::string input;
  std::uint64_t protected_bytes;
};

void PrintTo(const BrokenCase& c, std::ostream* os) { *os << c.name; }

class ParseFailedFold : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(ParseFailedFold, LeavesContentAlone) {
  const BrokenCase& c = GetParam();
  for (const char* profile : {"safe", "budgeted", "interface-only"}) {
    const FoldResult r = fold_ok(c.input, c.language, profile);
    EXPECT_EQ(r.output, c.input) << profile;
    EXPECT_TRUE(r.report.rules.empty()) << profile;
    EXPECT_EQ(r.report.parse_status, ParseStatus::parse_failed);
    EXPECT_EQ(r.report.syntax_valid, std::optional<bool>(false));
    ASSERT_EQ(r.report.warnings.size(), 1u) << profile;
    EXPECT_EQ(r.report.warnings[0].code, transform::WarningCode::parse_failed);
    EXPECT_EQ(r.report.warnings[0].message,
              "input did not parse cleanly; no transformations were applied (conservative fallback)");
    EXPECT_EQ(r.report.protected_bytes, c.protected_bytes);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Languages, ParseFailedFold,
    ::testing::Values(BrokenCase{"python", Language::python, "# c  \n\n\n\ndef f(:\n    pass   \n", 0},
                      BrokenCase{"python_empty_body", Language::python, "def f():  \n\n\n\nx = 1  # c\n", 0},
                      BrokenCase{"rust", Language::rust, "// c\nfn f( {   \n\n\n}\n", 0},
                      BrokenCase{"javascript", Language::javascript, "// c  \nif (x) {\n\n\n", 0},
                      BrokenCase{"typescript", Language::typescript, "let x: = 1;  // c tersewright:keep\n\n\n", 35},
                      BrokenCase{"tsx", Language::tsx, "const a = <div>;  // c\n", 0},
                      BrokenCase{"go", Language::go, "package p\n// c  \nfunc f( {\n\n\n", 0}),
    [](const ::testing::TestParamInfo<BrokenCase>& info) { return std::string(info.param.name); });

struct LiteralCase {
  const char* name;
  Language language;
  std::string input;
  std::string output;
};

void PrintTo(const LiteralCase& c, std::ostream* os) { *os << c.name; }

class MultilineLiterals : public ::testing::TestWithParam<LiteralCase> {};

// Whitespace inside a literal is part of its value, on the opening line as well.
TEST_P(MultilineLiterals, KeepTheirInnerWhitespace) {
  const LiteralCase& c = GetParam();
  for (const char* profile : {"safe", "budgeted"}) {
    const FoldResult r = fold_ok(c.input, c.language, profile);
    EXPECT_EQ(r.output, c.output) << profile;
    EXPECT_EQ(r.report.syntax_valid, std::optional<bool>(true)) << profile;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Languages, MultilineLiterals,
    ::testing::Values(
        LiteralCase{"python", Language::python,
                    "x = 1  \nSQL = \"\"\"select *   \n\n\n  from t  \"\"\"   # q\ny = 2\n",
                    "x = 1\nSQL = \"\"\"select *   \n\n\n  from t  \"\"\"\ny = 2\n"},
        LiteralCase{"python_fstring", Language::python, "v = f'''{a}  \n\n\n{b}'''\n",
                    "v = f'''{a}  \n\n\n{b}'''\n"},
        LiteralCase{"javascript_template", Language::javascript,
                    "const t = `one \t\n\n\n  ${x}  \n`;  // c\nf();\n",
                    "const t = `one \t\n\n\n  ${x}  \n`;\nf();\n"},
        LiteralCase{"rust_raw", Language::rust, "fn main() {\n    let s = r#\"raw   \n\n\n  text  \"#;   \n}\n",
                    "fn main() {\n    let s = r#\"raw   \n\n\n  text  \"#;\n}\n"},
        LiteralCase{"go_raw", Language::go, "package p\nvar doc = `raw   \n\n\n\tbody  `  \n",
                    "package p\nvar doc = `raw   \n\n\n\tbody  `\n"}),
    [](const ::testing::TestParamInfo<LiteralCase>& info) { return std::string(info.param.name); });

transform::FoldSettings settings_with(transform::RuleSettings rules) {
  return transform::FoldSettings{.profile_name = "test",
                                 .profile_version = 1,
                                 .rules = rules,
                                 .allow_lossy = false,
                                 .preservation = transform::default_preservation()};
}

struct DocstringCase {
  const char* name;
  std::string input;
  std::string output;
  std::uint64_t changes;
  bool syntax_valid;
};

void PrintTo(const DocstringCase& c, std::ostream* os) { *os << c.name; }

class Docstrings : public ::testing::TestWithParam<DocstringCase> {};

TEST_P(Docstrings, OnlyFirstStatementsGo) {
  const DocstringCase& c = GetParam();
  const transform::RuleSettings rules{.comments = transform::CommentsMode::keep,
                                      .docstrings = true,
                                      .blank_lines = transform::BlankLineMode::keep};
  const transform::FoldSettings settings = settings_with(rules);
  const auto outcome = transform::fold_source(c.input, settings, transform::protected_set_for(c.input, settings),
                                              *registry().find(Language::python));
  EXPECT_EQ(outcome.output, c.output);
  EXPECT_EQ(outcome.syntax_valid, std::optional<bool>(c.syntax_valid));
  EXPECT_EQ(outcome.parse_status, ParseStatus::parsed);
  if (c.changes == 0) {
    EXPECT_TRUE(outcome.rules.empty());
  } else {
    ASSERT_EQ(outcome.rules.size(), 1u);
    EXPECT_EQ(outcome.rules[0].rule, edit::Rule::strip_docstrings);
    EXPECT_EQ(outcome.rules[0].changes, c.changes);
    EXPECT_EQ(outcome.rules[0].bytes_removed, static_cast<std::int64_t>(c.input.size() - c.output.size()));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Python, Docstrings,
    ::testing::Values(
        DocstringCase{"module", "\"\"\"Module.\n\nMore.\n\"\"\"\nimport os\n", "import os\n", 1, true},
        DocstringCase{"class_and_function",
                      "class A:\n    \"\"\"A.\"\"\"\n    x = 1\n\n    def f(self):\n        '''F.'''  \n        return 1\n",
                      "class A:\n    x = 1\n\n    def f(self):\n        return 1\n", 2, true},
        DocstringCase{"concatenated", "'a' \"b\"\nx = 1\n", "x = 1\n", 1, true},
        DocstringCase{"hidden_by_comment", "# c\n\"\"\"Doc.\"\"\"\n", "# c\n\"\"\"Doc.\"\"\"\n", 0, true},
        DocstringCase{"not_first", "x = 1\n\"\"\"Not.\"\"\"\ndef f():\n    y = 2\n    'no'\n",
                      "x = 1\n\"\"\"Not.\"\"\"\ndef f():\n    y = 2\n    'no'\n", 0, true},
        DocstringCase{"loop_and_if_blocks", "for i in x:\n    'l'\n    if i:\n        'i'\n        go()\n    go()\n",
                      "for i in x:\n    if i:\n        go()\n    go()\n", 2, true},
        DocstringCase{"only_statement_of_body", "def f():\n    \"\"\"Only.\"\"\"\n\nx = 1\n", "def f():\n\nx = 1\n", 1,
                      false}),
    [](const ::testing::TestParamInfo<DocstringCase>& info) { return std::string(info.param.name); });

// When the structural edits leave a text that does not parse, the literals found in the content
// still guard the whitespace rules.
TEST(SourceBranch, LiteralsSurviveAnUnparseableIntermediate) {
  const std::string input =
      "def f():\n    \"\"\"Only.\"\"\"\n\n\nTEXT = \"\"\"a   \n\n\nb\"\"\"  # note\n\n\nz = 1   \n";
  const FoldResult r = fold_ok(input, Language::python, "budgeted");
  EXPECT_EQ(r.output, "def f():\nTEXT = \"\"\"a   \n\n\nb\"\"\"\nz = 1\n");
  EXPECT_EQ(r.report.syntax_valid, std::optional<bool>(false));
  EXPECT_EQ(r.report.parse_status, ParseStatus::parsed);
  EXPECT_EQ(tallies(r.report), (std::vector<Tally>{{"strip_comments", 1, 6},
                                                   {"strip_docstrings", 1, 16},
                                                   {"trim_trailing_whitespace", 2, 5},
                                                   {"collapse_blank_lines", 2, 4}}));
  EXPECT_FALSE(r.report.behavior_preserving);
}

TEST(SourceBranch, ProtectionFollowsTheTextIntoTheIntermediate) {
  FoldRequest request;
  request.content = "# gone\nx = 1   \ny = 2   \n";
  request.language = Language::python;
  request.protected_ranges = std::vector<edit::ByteRange>{{7, 15}};  // "x = 1   "
  auto result = transform::fold(registry(), std::move(request));
  ASSERT_TRUE(result);
  EXPECT_EQ(result.value().output, "x = 1   \ny = 2\n");
  EXPECT_EQ(result.value().report.protected_bytes, 8u);
}

TEST(SourceBranch, EmptyPythonParses) {
  const FoldResult r = fold_ok("", Language::python);
  EXPECT_EQ(r.output, "");
  EXPECT_TRUE(r.report.rules.empty());
  EXPECT_EQ(r.report.parse_status, ParseStatus::parsed);
  EXPECT_EQ(r.report.syntax_valid, std::optional<bool>(true));
}

TEST(SourceBranch, InterfaceOnlyWithAndWithoutLoss) {
  const std::string input =
      "import os\n\n\ndef f(a):   \n    # why\n    return os.path.join(a, 'b')\n\n\n"
      "def g():\n    try:\n        f(1)\n    finally:\n        pass\n";
  const FoldResult blocked = fold_ok(input, Language::python, "interface-only", false);
  EXPECT_EQ(blocked.output,
            "import os\n\ndef f(a):\n    # why\n    return os.path.join(a, 'b')\n\n"
            "def g():\n    try:\n        f(1)\n    finally:\n        pass\n");
  ASSERT_EQ(blocked.report.warnings.size(), 1u);
  EXPECT_EQ(blocked.report.warnings[0].code, transform::WarningCode::lossy_rule_blocked);
  EXPECT_EQ(blocked.report.warnings[0].message,
            "interface_only requested but loss policy does not allow lossy transformations");
  EXPECT_EQ(tallies(blocked.report),
            (std::vector<Tally>{{"trim_trailing_whitespace", 1, 3}, {"collapse_blank_lines", 2, 2}}));
  EXPECT_TRUE(blocked.report.behavior_preserving);

  const FoldResult allowed = fold_ok(input, Language::python, "interface-only");
  EXPECT_EQ(allowed.output,
            "import os\n\ndef f(a):\n    # why\n    ...  # [tersewright: implementation omitted]\n\n"
            "def g():\n    try:\n        f(1)\n    finally:\n        pass\n");
  EXPECT_TRUE(allowed.report.warnings.empty());
  EXPECT_EQ(tallies(allowed.report), (std::vector<Tally>{{"interface_only", 1, 27 - 44},
                                                         {"trim_trailing_whitespace", 1, 3},
                                                         {"collapse_blank_lines", 2, 2}}));
  EXPECT_FALSE(allowed.report.behavior_preserving);
  EXPECT_EQ(allowed.report.syntax_valid, std::optional<bool>(true));
}

TEST(SourceBranch, TwentyThousandStatements) {
  std::string input;
  for (int i = 0; i < 20000; ++i) input += "v" + std::to_string(i) + " = " + std::to_string(i) + "  # n\n\n\n";
  const FoldResult r = fold_ok(input, Language::python);
  EXPECT_EQ(r.output.substr(0, 14), "v0 = 0\n\nv1 = 1");
  EXPECT_EQ(tallies(r.report), (std::vector<Tally>{{"strip_comments", 20000, 20000 * 3},
                                                   {"trim_trailing_whitespace", 20000, 20000 * 2},
                                                   {"collapse_blank_lines", 20000, 20000}}));
}

TEST(SourceBranch, TenThousandLevelsDeep) {
  const std::string py = "x = " + std::string(10000, '[') + "1" + std::string(10000, ']') + "  # c\n";
  const FoldResult r = fold_ok(py, Language::python);
  EXPECT_EQ(r.output, py.substr(0, py.size() - 6) + "\n");
  EXPECT_EQ(r.report.syntax_valid, std::optional<bool>(true));

  std::string js = "function f() {\n";
  for (int i = 0; i < 10000; ++i) js += "if (a) {";
  js += " g(); // c\n" + std::string(10001, '}') + "\n";
  const FoldResult j = fold_ok(js, Language::javascript);
  EXPECT_EQ(j.report.parse_status, ParseStatus::parsed);
  EXPECT_EQ(j.output.size(), js.size() - 5);  // the comment and the space before it
}

}  // namespace

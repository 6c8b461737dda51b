// The fold end to end: profiles, dispatch, budgets, the report, and every branch on real-looking texts.
#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "transform/errors.hpp"
#include "transform/fold.hpp"
#include "transform/rules.hpp"
#include "transform/warnings.hpp"

namespace {

using namespace tersewright;
using namespace tersewright::transform;
using analyzer::AnalyzerRegistry;
using analyzer::Language;
using edit::ByteRange;
using enum analyzer::Language;

const AnalyzerRegistry& built_in() {
  static const AnalyzerRegistry registry = AnalyzerRegistry::built_in();
  return registry;
}

FoldRequest request(Language language, std::string profile, std::string content, std::optional<Budget> budget = {}) {
  FoldRequest r;
  r.content = std::move(content);
  r.profile = std::move(profile);
  r.language = language;
  r.budget = budget;
  return r;
}

FoldResult fold_ok(FoldRequest r, const AnalyzerRegistry& registry = built_in()) {
  auto result = fold(registry, std::move(r));
  if (!result) throw std::runtime_error("fold failed");
  return std::move(result).value();
}

// The report in one line: parse status and verdict, each rule entry (changes, net bytes removed),
// warning codes, protected bytes, and whether the fold lost anything.
std::string summary(const Report& r) {
  std::string s(parse_status_name(r.parse_status));
  if (r.syntax_valid) s += *r.syntax_valid ? " valid" : " invalid";
  for (const RuleReport& rule : r.rules)
    s += " | " + std::string(rule_name(rule.rule)) + " " + std::to_string(rule.changes) + " " +
         std::to_string(rule.bytes_removed);
  for (const FoldWarning& w : r.warnings) s += " ! " + std::string(warning_code_name(w.code));
  if (r.protected_bytes) s += " protected " + std::to_string(r.protected_bytes);
  return s + (r.behavior_preserving ? "" : " lossy");
}

struct FoldCase {
  Language language;
  const char* profile;
  std::string input, output, summary;
  std::optional<bool> allow_lossy = {};
  std::vector<ByteRange> ranges = {};
};

// Each case folds its input once owned by the request and once borrowed from the case.
void check(const FoldCase& c) {
  for (const bool borrowed : {false, true}) {
    SCOPED_TRACE(testing::Message() << c.profile << (borrowed ? " borrowed " : " owned ")
                                    << testing::PrintToString(c.input));
    FoldRequest r = request(c.language, c.profile, borrowed ? std::string() : c.input);
    if (borrowed) r.content = Text::borrowed(c.input);
    r.allow_lossy = c.allow_lossy;
    if (!c.ranges.empty()) r.protected_ranges = c.ranges;
    const FoldResult result = fold_ok(std::move(r));
    EXPECT_EQ(result.output, c.output);
    EXPECT_EQ(summary(result.report), c.summary);
    EXPECT_EQ(result.report.output, measure(result.output));
  }
}

TEST(Fold, ReportOfAPlainText) {
  const FoldResult r = fold_ok(request(text, "safe", "caf\xc3\xa9  \n\n\n\nend\t\n"));
  EXPECT_EQ(r.output, "caf\xc3\xa9\n\nend\n");
  const Report& rep = r.report;
  EXPECT_EQ(summary(rep), "fallback | trim_trailing_whitespace 2 3 | collapse_blank_lines 1 2");
  EXPECT_EQ(rep.engine_version + " " + rep.profile + " " + std::to_string(rep.profile_version) + " " +
                std::to_string(rep.profile_schema_version) + " " + std::string(analyzer::language_id(rep.detected_language)) + " " +
                rep.semantic_equivalence,
            "0.1.0 safe 1 1 text not_guaranteed");
  EXPECT_EQ(rep.input, (TextStats{16, 15, 5}));
  EXPECT_EQ(rep.output, (TextStats{11, 10, 3}));
  EXPECT_DOUBLE_EQ(rep.reduction_ratio, 1.0 - 11.0 / 16.0);
  EXPECT_FALSE(rep.budget.has_value());
  check({text, "code-review", "clean\ntext\n", "clean\ntext\n", "fallback"});
  EXPECT_EQ((std::vector<double>{reduction_ratio(0, 0), reduction_ratio(10, 20), reduction_ratio(8, 6),
                                 reduction_ratio(8, 0)}),
            (std::vector<double>{0.0, 0.0, 0.25, 1.0}));
}

TEST(Fold, UnknownProfileFailsBeforeWork) {
  auto result = fold(AnalyzerRegistry(), request(text, "Safe", "x"));
  EXPECT_EQ(std::get<UnknownProfile>(result.error()).name, "Safe");  // throws, failing, when the fold succeeded
}

// Without an analyzer for the language, or with nothing detected, the content comes back as it was.
TEST(Fold, UnsupportedContentIsLeftUnchanged) {
  const struct { std::string content; std::optional<Language> language; const char* detected, *warning; } cases[] = {
      {"package main  \n\n\n", go, "go", "unsupported_language: no analyzer registered for go"},
      {"x = 1  \n", python, "python", "unsupported_language: no analyzer registered for python"},
      {"", {}, "unknown", "unsupported_format: format could not be detected"},
      {"just some words  \n\n\n", {}, "unknown", "unsupported_format: format could not be detected"}};
  for (const auto& c : cases) {
    FoldRequest r = request(unknown, "safe", c.content);
    r.language = c.language;
    r.protected_ranges = std::vector<ByteRange>{{0, 3}};
    const FoldResult result = fold_ok(std::move(r), AnalyzerRegistry());
    EXPECT_EQ(result.output, c.content);
    EXPECT_EQ(summary(result.report) + ": " + result.report.warnings.at(0).message,
              std::string("unsupported ! ") + c.warning + "; content left unchanged");
    EXPECT_EQ(analyzer::language_id(result.report.detected_language), c.detected);
  }
}

TEST(Fold, ProtectionFromRangesAndMarkers) {
  // Ranges given join the marker lines; they are merged, and counted without clipping to the text.
  FoldRequest r = request(text, "safe", "abc  \nx tersewright:keep  \nz  \n");
  r.protected_ranges = std::vector<ByteRange>{{0, 5}, {3, 4}, {50, 40}, {35, 45}};
  const FoldResult result = fold_ok(std::move(r));
  EXPECT_EQ(result.output, "abc  \nx tersewright:keep  \nz\n");
  EXPECT_EQ(result.report.protected_bytes, 5u + 21u + 10u);
  // Markers given replace the default ones; an empty list protects nothing.
  const std::string marked = "a  tersewright:keep  \nb  KEEP  \n";
  EXPECT_EQ(fold_ok(request(text, "safe", marked)).output, "a  tersewright:keep  \nb  KEEP\n");
  FoldRequest custom = request(text, "safe", marked);
  custom.protected_line_markers = std::vector<std::string>{"KEEP"};
  EXPECT_EQ(fold_ok(std::move(custom)).output, "a  tersewright:keep\nb  KEEP  \n");
  FoldRequest none = request(text, "safe", marked);
  none.protected_line_markers = std::vector<std::string>{};
  EXPECT_EQ(fold_ok(std::move(none)).output, "a  tersewright:keep\nb  KEEP\n");
}

std::string budget_of(const Report& r) {
  if (!r.budget) return "none";
  const BudgetReport& b = *r.budget;
  return std::string(budget_metric_name(b.metric)) + " " + std::to_string(b.input) + " " + std::to_string(b.output) + " limit " +
         std::to_string(b.limit) + (b.met ? " met" : " not met") + (b.exact_tokens ? " exact" : "") +
         (b.tokenizer ? " by " + *b.tokenizer : "") +
         (r.warnings.empty() ? "" : " ! " + std::string(warning_code_name(r.warnings.back().code)) + ": " + r.warnings.back().message);
}

TEST(Budgets, MeasuredAfterFoldingWithoutChangingIt) {
  using enum BudgetMetric;
  const std::string hello = "h\xc3\xa9llo w\xc3\xb6rld  ";  // 15 bytes, 13 characters; folded 13 and 11
  const struct { std::string content; BudgetMetric metric; std::uint64_t limit; const char* budget; } cases[] = {
      {hello, bytes, 13, "bytes 15 13 limit 13 met"},
      {hello, bytes, 12, "bytes 15 13 limit 12 not met ! budget_not_met: output size 13 exceeds budget limit 12 "
                         "under metric 'bytes'"},
      {hello, characters, 11, "characters 13 11 limit 11 met"},
      {hello, characters, 10, "characters 13 11 limit 10 not met ! budget_not_met: output size 11 exceeds budget "
                              "limit 10 under metric 'characters'"},
      {"", bytes, 0, "bytes 0 0 limit 0 met"}};
  for (const auto& c : cases) {
    const FoldResult result = fold_ok(request(text, "safe", c.content, Budget{c.metric, c.limit}));
    EXPECT_EQ(budget_of(result.report), c.budget);
    EXPECT_EQ(result.output, fold_ok(request(text, "safe", c.content)).output);
  }
  EXPECT_EQ(fold_ok(request(text, "budgeted", "a  \n\n\n\nb\n", Budget{bytes, 1})).output, "a\nb\n");
}

struct Words : Tokenizer {
  explicit Words(std::vector<std::string>* seen) : seen(seen) {}
  std::string name() const override { return "words"; }
  std::uint64_t count(std::string_view text) override {
    seen->emplace_back(text);
    std::istringstream words{std::string(text)};
    std::uint64_t n = 0;
    for (std::string word; words >> word;) ++n;
    return n;
  }
  std::vector<std::string>* seen;
};

TEST(Budgets, TokensAreCountedByTheCallersTokenizer) {
  std::vector<std::string> seen;
  FoldRequest r = request(text, "safe", "one two  \n\n\nthree\n", Budget{BudgetMetric::tokens, 2});
  r.tokenizer = std::make_unique<Words>(&seen);
  EXPECT_EQ(budget_of(fold_ok(std::move(r)).report), "tokens 3 3 limit 2 not met exact by words ! budget_not_met: "
                                                     "output size 3 exceeds budget limit 2 under metric 'tokens'");
  EXPECT_EQ(seen, (std::vector<std::string>{"one two  \n\n\nthree\n", "one two\n\nthree\n"}));
  // Under another metric the tokenizer is named but never asked.
  seen.clear();
  FoldRequest by_bytes = request(text, "safe", "abc\n", Budget{BudgetMetric::bytes, 100});
  by_bytes.tokenizer = std::make_unique<Words>(&seen);
  EXPECT_EQ(budget_of(fold_ok(std::move(by_bytes)).report), "bytes 4 4 limit 100 met by words");
  EXPECT_TRUE(seen.empty());
  auto result = fold(AnalyzerRegistry(), request(text, "safe", "abc\n", Budget{BudgetMetric::tokens, 5}));
  EXPECT_EQ(error_message(result.error()), "token budget requires a tokenizer");
}

TEST(SourceBranch, SafeRemovesEveryKindOfComment) {
  const FoldCase cases[] = {
      {python, "safe",
       "#!/usr/bin/env python3\n# -*- coding: utf-8 -*-\n\"\"\"Inventory helpers.\"\"\"\n\n"
       "import os  # needed for paths\n\n\ndef load(path):   \n    # Read the file.\n    with open(path) as handle:\n"
       "        data = handle.read()  # whole file\n\n\n    return data  # tersewright:keep\n",
       "\"\"\"Inventory helpers.\"\"\"\n\nimport os\n\ndef load(path):\n    with open(path) as handle:\n"
       "        data = handle.read()\n\n    return data  # tersewright:keep\n",
       "parsed valid | strip_comments 5 98 | trim_trailing_whitespace 3 7 | collapse_blank_lines 2 2 protected 36"},
      {rust, "safe",
       "//! Crate docs.\nuse std::fmt; // formatting\n\n/// A point.\nstruct P { x: i32 /* px */, y: i32 }\n\n"
       "/* Block\n   comment */\nfn main() {\n    let v = 1/*glue*/+2;\n}\n",
       "use std::fmt;\n\nstruct P { x: i32 , y: i32 }\n\nfn main() {\n    let v = 1 +2;\n}\n",
       "parsed valid | strip_comments 6 80 | trim_trailing_whitespace 1 1"},
      // "/* one */ /* two */" leaves one space: a blank line, merged into its run.
      {javascript, "safe",
       "/**\n * Module docs.\n */\nimport fs from 'fs'; // node fs\n\n/* one */ /* two */\n\nfunction read(p) {\n"
       "  // explain\n  return fs.readFileSync(p, 'utf8'); /* why */\n}\n\nconst el = <div>{/* jsx */}</div>;\n",
       "import fs from 'fs';\n\nfunction read(p) {\n  return fs.readFileSync(p, 'utf8');\n}\n\n"
       "const el = <div>{}</div>;\n",
       "parsed valid | strip_comments 7 83 | trim_trailing_whitespace 2 2 | collapse_blank_lines 1 3"},
      {typescript, "safe",
       "// Types for the store.\nexport interface Item {\n  id: number; // primary key\n  /** Display name. */\n"
       "  name: string;\n}\n\nexport function total(items: Item[]): number {\n  /* sum */\n"
       "  return items.reduce((a, b) => a + b.id, 0);\n}\n",
       "export interface Item {\n  id: number;\n  name: string;\n}\n\nexport function total(items: Item[]): number {\n"
       "  return items.reduce((a, b) => a + b.id, 0);\n}\n",
       "parsed valid | strip_comments 4 73 | trim_trailing_whitespace 1 1"},
      {tsx, "safe",
       "import React from \"react\"; // runtime\n\n/** Props. */\ntype Props = { title: string };\n\n"
       "export const Title = ({ title }: Props) => (\n  <h1>\n    {/* heading */}\n    {title}\n  </h1>\n);\n",
       "import React from \"react\";\n\ntype Props = { title: string };\n\n"
       "export const Title = ({ title }: Props) => (\n  <h1>\n    {}\n    {title}\n  </h1>\n);\n",
       "parsed valid | strip_comments 3 37 | trim_trailing_whitespace 1 1"},
      {go, "safe",
       "// Package store keeps items.\npackage store\n\nimport \"fmt\" // printing\n\n/*\nItem is a record.\n*/\n"
       "type Item struct {\n\tID   int    // key\n\tName string /* label */\n}\n\nfunc (i Item) String() string {\n"
       "\treturn fmt.Sprintf(\"%d %s\", i.ID, i.Name) // format\n}\n",
       "package store\n\nimport \"fmt\"\n\ntype Item struct {\n\tID   int\n\tName string\n}\n\n"
       "func (i Item) String() string {\n\treturn fmt.Sprintf(\"%d %s\", i.ID, i.Name)\n}\n",
       "parsed valid | strip_comments 6 91 | trim_trailing_whitespace 4 7"},
      {python, "safe", "", "", "parsed valid"},
      // Protection is carried into the text the comment rule leaves.
      {python, "safe", "# gone\nx = 1   \ny = 2   \n", "x = 1   \ny = 2\n",
       "parsed valid | strip_comments 1 7 | trim_trailing_whitespace 1 3 protected 8", {}, {{7, 15}}}};
  for (const FoldCase& c : cases) check(c);
}

// Whitespace inside a literal is part of its value, on the opening line as well.
TEST(SourceBranch, MultilineLiteralsKeepTheirInnerWhitespace) {
  const std::pair<Language, std::pair<std::string, std::string>> cases[] = {
      {python, {"x = 1  \nSQL = \"\"\"select *   \n\n\n  from t  \"\"\"   # q\ny = 2\n",
                "x = 1\nSQL = \"\"\"select *   \n\n\n  from t  \"\"\"\ny = 2\n"}},
      {python, {"v = f'''{a}  \n\n\n{b}'''\n", "v = f'''{a}  \n\n\n{b}'''\n"}},
      {javascript,
       {"const t = `one \t\n\n\n  ${x}  \n`;  // c\nf();\n", "const t = `one \t\n\n\n  ${x}  \n`;\nf();\n"}},
      {rust, {"fn main() {\n    let s = r#\"raw   \n\n\n  text  \"#;   \n}\n",
              "fn main() {\n    let s = r#\"raw   \n\n\n  text  \"#;\n}\n"}},
      {go, {"package p\nvar doc = `raw   \n\n\n\tbody  `  \n", "package p\nvar doc = `raw   \n\n\n\tbody  `\n"}}};
  for (const auto& [language, texts] : cases) {
    for (const char* profile : {"safe", "budgeted"}) {
      const FoldResult r = fold_ok(request(language, profile, texts.first));
      EXPECT_EQ(r.output, texts.second) << profile;
      EXPECT_EQ(r.report.syntax_valid, std::optional<bool>(true)) << profile;
    }
  }
}

TEST(SourceBranch, DocstringsAndBodies) {
  const std::string bodies = "import os\n\n\ndef f(a):   \n    # why\n    return os.path.join(a, 'b')\n\n\n"
                             "def g():\n    try:\n        f(1)\n    finally:\n        pass\n";
  const std::string g = "def g():\n    try:\n        f(1)\n    finally:\n        pass\n";
  const FoldCase cases[] = {
      {python, "budgeted", "\"\"\"Module.\n\nMore.\n\"\"\"\nimport os\n", "import os\n",
       "parsed valid | strip_docstrings 1 22 lossy"},
      {python, "budgeted",
       "class A:\n    \"\"\"A.\"\"\"\n    x = 1\n\n    def f(self):\n        '''F.'''  \n        return 1\n",
       "class A:\n    x = 1\n    def f(self):\n        return 1\n",
       "parsed valid | strip_docstrings 2 32 | collapse_blank_lines 1 1 lossy"},
      {python, "budgeted", "for i in x:\n    'l'\n    if i:\n        'i'\n        go()\n    go()\n",
       "for i in x:\n    if i:\n        go()\n    go()\n", "parsed valid | strip_docstrings 2 20 lossy"},
      // The docstring was the body's only statement: the result does not parse, and the literals of
      // the content still guard the whitespace rules.
      {python, "budgeted",
       "def f():\n    \"\"\"Only.\"\"\"\n\n\nTEXT = \"\"\"a   \n\n\nb\"\"\"  # note\n\n\nz = 1   \n",
       "def f():\nTEXT = \"\"\"a   \n\n\nb\"\"\"\nz = 1\n",
       "parsed invalid | strip_comments 1 6 | strip_docstrings 1 16 | trim_trailing_whitespace 2 5 | "
       "collapse_blank_lines 2 4 lossy"},
      {python, "interface-only", bodies, "import os\n\ndef f(a):\n    # why\n    return os.path.join(a, 'b')\n\n" + g,
       "parsed valid | trim_trailing_whitespace 1 3 | collapse_blank_lines 2 2 ! lossy_rule_blocked", false},
      {python, "interface-only", bodies,
       "import os\n\ndef f(a):\n    # why\n    ...  # [tersewright: implementation omitted]\n\n" + g,
       "parsed valid | interface_only 1 -17 | trim_trailing_whitespace 1 3 | collapse_blank_lines 2 2 lossy"}};
  for (const FoldCase& c : cases) check(c);
}

// The verdict on the output, whether its bytes are the content's, text 1's (the structural rules'
// result) or new; an empty Python block makes a text unclean as an error would.
TEST(SourceBranch, SyntaxVerdictOfTheOutput) {
  const FoldCase cases[] = {
      {python, "budgeted", "def f():\n    \"\"\"Only.\"\"\"\n", "def f():\n", "parsed invalid | strip_docstrings 1 16 lossy"},
      {python, "budgeted", "def f():\n    \"\"\"Only.\"\"\"\n\n\nx = 1  \n", "def f():\nx = 1\n",
       "parsed invalid | strip_docstrings 1 16 | trim_trailing_whitespace 1 2 | collapse_blank_lines 1 2 lossy"},
      {python, "safe", "x = 1\n# no\n", "x = 1\n", "parsed valid | strip_comments 1 5"},
      {python, "safe", "x = 1\n# no\n\n\n", "x = 1\n\n", "parsed valid | strip_comments 1 5 | collapse_blank_lines 1 1"},
      {python, "code-review", "def f():\n    pass\n", "def f():\n    pass\n", "parsed valid"},
      {rust, "safe", "fn f() {}\n/* a */ /* b\n", "fn f() {}\n/* a */ /* b\n", "parse_failed invalid ! parse_failed"}};
  for (const FoldCase& c : cases) check(c);
}

TEST(SourceBranch, TextThatDoesNotParseIsLeftAlone) {
  const std::pair<Language, std::string> cases[] = {
      {python, "# c  \n\n\n\ndef f(:\n    pass   \n"}, {python, "def f():  \n\n\n\nx = 1  # c\n"},
      {rust, "// c\nfn f( {   \n\n\n}\n"}, {javascript, "// c  \nif (x) {\n\n\n"}, {tsx, "const a = <div>;  // c\n"},
      {go, "package p\n// c  \nfunc f( {\n\n\n"}, {typescript, "let x: = 1;  // c tersewright:keep\n\n\n"}};
  for (const auto& [language, input] : cases) {
    for (const char* profile : {"safe", "budgeted", "interface-only"})
      check({language, profile, input, input,
             std::string("parse_failed invalid ! parse_failed") + (language == typescript ? " protected 35" : "")});
  }
  EXPECT_EQ(fold_ok(request(python, "safe", "def f(:\n")).report.warnings.at(0).message,
            "input did not parse cleanly; no transformations were applied (conservative fallback)");
  FoldRequest blocked = request(python, "interface-only", "x = 1\n");
  blocked.allow_lossy = false;
  EXPECT_EQ(fold_ok(std::move(blocked)).report.warnings.at(0).message,
            "interface_only requested but loss policy does not allow lossy transformations");
}

TEST(SourceBranch, WideAndDeepTexts) {
  std::string input;
  for (int i = 0; i < 20000; ++i) input += "v" + std::to_string(i) + " = " + std::to_string(i) + "  # n\n\n\n";
  const FoldResult wide = fold_ok(request(python, "safe", input));
  EXPECT_EQ(wide.output.view().substr(0, 14), "v0 = 0\n\nv1 = 1");
  EXPECT_EQ(summary(wide.report), "parsed valid | strip_comments 20000 60000 | trim_trailing_whitespace 20000 40000 | "
                                  "collapse_blank_lines 20000 20000");
  const std::string py = "x = " + std::string(10000, '[') + "1" + std::string(10000, ']') + "  # c\n";
  const FoldResult deep = fold_ok(request(python, "safe", py));
  EXPECT_EQ(deep.output, py.substr(0, py.size() - 6) + "\n");
  EXPECT_EQ(deep.report.syntax_valid, std::optional<bool>(true));
  std::string js = "function f() {\n";
  for (int i = 0; i < 10000; ++i) js += "if (a) {";
  js += " g(); // c\n" + std::string(10001, '}') + "\n";
  const FoldResult j = fold_ok(request(javascript, "safe", js));
  EXPECT_EQ(j.report.parse_status, ParseStatus::parsed);
  EXPECT_EQ(j.output.size(), js.size() - 5);  // the comment and the space before it
}

const std::string m1 = "[tersewright: 1 repeated log line(s) collapsed]\n";
const std::string m2 = "[tersewright: 2 repeated log line(s) collapsed]\n";

TEST(LogBranch, RepeatsFoldOnlyWhereLossIsAllowed) {
  // Zoned and fractional timestamps, bracketed and bare levels, comma milliseconds (which stay in the
  // key, so those two lines differ), and a stack trace whose repeated frame has a trailing tab.
  const std::string started = "2024-05-01T12:00:00.123+02:00 INFO  Server started on port 8080";
  const std::string low = "2024-05-01T12:00:01.001Z [WARN] Connection pool low\n";
  const std::string lows = "2024-05-01T12:00:02.500Z [ERROR] Connection pool low\n"
                           "2024-05-01T12:00:03Z WARN Connection pool low\n";
  const std::string tail = "2024-05-01 12:00:04,101 ERROR Request failed\n"
                           "2024-05-01 12:00:04,102 ERROR Request failed\n"
                           "java.lang.IllegalStateException: boom\n    at com.example.Foo.bar(Foo.java:10)\n";
  const std::string frame = "    at com.example.Foo.bar(Foo.java:10)";
  const std::string last = "    at com.example.Main.main(Main.java:5)\n";
  const std::string service = started + "  \n" + low + lows + "\n\n\n" + tail + frame + "\t\n" + frame + "\n" + last;
  const std::string whitespace_only = started + "\n" + low + lows + "\n" + tail + frame + "\n" + frame + "\n" + last;
  const std::string kept = "parsed | trim_trailing_whitespace 2 3 | collapse_blank_lines 1 2";
  // The trailing tab of a folded frame loses to the fold but still counts as a trim.
  const FoldCase cases[] = {
      {log, "logs", service, started + "\n" + low + m2 + "\n" + tail + "    " + m2 + last,
       kept + " | collapse_log_repeats 2 80 lossy"},
      {log, "logs", service, whitespace_only, kept, false}, {log, "safe", service, whitespace_only, kept, true},
      {log, "budgeted", service, started + "\n" + low + m2 + tail + "    " + m2 + last,
       "parsed | trim_trailing_whitespace 2 3 | collapse_blank_lines 1 3 | collapse_log_repeats 2 80 lossy"},
      // A protected byte splits a run; the protected line also keeps its trailing spaces.
      {log, "logs", "INFO a\nINFO a  \nINFO a\nINFO a\n", "INFO a\nINFO a  \nINFO a\n" + m1,
       "parsed | collapse_log_repeats 1 -41 protected 1 lossy", {}, {{9, 10}}},
      {log, "logs", "[ERROR] boom tersewright:keep  \n[ERROR] boom tersewright:keep  \n[ERROR] boom\n[ERROR] boom  \n",
       "[ERROR] boom tersewright:keep  \n[ERROR] boom tersewright:keep  \n[ERROR] boom\n" + m1,
       "parsed | trim_trailing_whitespace 1 2 | collapse_log_repeats 1 -33 protected 64 lossy"},
      {log, "logs", "ok\nok\n", "ok\n" + m1, "parsed | collapse_log_repeats 1 -45 lossy"}};
  for (const FoldCase& c : cases) check(c);
}

TEST(MarkdownBranch, FencesHardBreaksAndDuplicates) {
  // A heading with a hard break, a blank run, a hard-break line and its single-space duplicate, list
  // items, a fenced example with trailing spaces and blank lines, a spaces-only line, link and
  // keyword lines repeated, a plain repeat, and an unclosed tilde fence.
  const std::string fence = "```bash\npip install x   \n\n\npip install x \n```\n";
  const std::string links = "See [docs](https://example.com/x)\nSee [docs](https://example.com/x)\n"
                            "You must set HOME.\nYou must set HOME.\n";
  const std::string open_fence = "~~~\nunclosed \nunclosed \n";
  const std::string readme = "# TerseWright  \n\n\nA deterministic folder.  \nA deterministic folder. \n\n"
                             "## Install\n\n- fast\n- fast\n- small \n\n" + fence + "  \n" + links +
                             "Plain line\nPlain line\n" + open_fence;
  const std::string documentation = "# TerseWright  \n\nA deterministic folder.  \n\n## Install\n\n- fast\n"
                                    "- small\n\n" + fence + "\n" + links + "Plain line\n" + open_fence;
  const std::string documented =
      "parsed | trim_trailing_whitespace 3 4 | collapse_blank_lines 1 1 | markdown_dedupe 3 43 lossy";
  const std::string marked = "Same <!-- @tersewright-keep --> \nSame <!-- @tersewright-keep --> \n";
  const FoldCase cases[] = {
      {markdown, "documentation", readme, documentation, documented},
      {markdown, "documentation", readme, documentation, documented, false},  // not gated by the loss policy
      {markdown, "safe", readme,
       "# TerseWright  \n\nA deterministic folder.  \nA deterministic folder.\n\n## Install\n\n- fast\n- fast\n"
       "- small\n\n" + fence + "\n" + links + "Plain line\nPlain line\n" + open_fence,
       "parsed | trim_trailing_whitespace 3 4 | collapse_blank_lines 1 1"},
      {markdown, "budgeted", readme,
       "# TerseWright  \nA deterministic folder.  \n## Install\n- fast\n- small\n" + fence + links + "Plain line\n" +
           open_fence,
       "parsed | trim_trailing_whitespace 2 2 | collapse_blank_lines 5 8 | markdown_dedupe 3 43 lossy"},
      {markdown, "documentation", marked, marked, "parsed protected 66"},
      {markdown, "documentation", "", "", "parsed"}};
  for (const FoldCase& c : cases) check(c);
}

// Valid JSON is rewritten compact and sorted when that is shorter; protection is counted but cannot
// hold the rewrite back. Invalid JSON gets the whitespace rules of the profile and a warning.
TEST(JsonBranch, CompactsWhenShorterElseFallsBack) {
  const std::string compacted = "parsed valid | trim_trailing_whitespace 1 ";
  const FoldCase cases[] = {
      {json, "code-review", "{\n  \"b\": 1,\n  \"a\": [true, false, null]\n}\n", "{\"a\":[true,false,null],\"b\":1}",
       compacted + "12"},
      {json, "code-review",
       "{\n  \"service\": {\n    \"name\": \"api\",\n    \"ports\": [80, 443],\n    \"env\": {}\n  },\n"
       "  \"replicas\": 3,\n  \"labels\": []\n}\n",
       "{\"labels\":[],\"replicas\":3,\"service\":{\"env\":{},\"name\":\"api\",\"ports\":[80,443]}}", compacted + "36"},
      {json, "code-review", " \r\n\t\"x\" \n", "\"x\"", compacted + "6"},
      {json, "code-review", "{\"a\":1,\"a\":2}", "{\"a\":2}", compacted + "6"},
      {json, "code-review", "{\n  \"note\": \"tersewright:keep\"\n}\n", "{\"note\":\"tersewright:keep\"}",
       compacted + "6 protected 29"},
      {json, "code-review", "[ 1 ]", "[1]", compacted + "2 protected 100", {}, {{0, 100}}},
      // Already as short as it gets: the caller's key order and number spelling stay.
      {json, "code-review", "{\"a\":[1,2],\"b\":null}", "{\"a\":[1,2],\"b\":null}", "parsed valid"},
      {json, "code-review", "{\"b\":1,\"a\":2}", "{\"b\":1,\"a\":2}", "parsed valid"},
      {json, "code-review", "1e2", "1e2", "parsed valid"}, {json, "code-review", "-0", "-0", "parsed valid"},
      {json, "safe", "{\"a\": 1,}  \n", "{\"a\": 1,}\n",
       "fallback invalid | trim_trailing_whitespace 1 2 ! json_invalid"},
      {json, "safe", "", "", "fallback invalid ! json_invalid"},
      {json, "safe", "{\n  \"a\": [1, 2\n\n\n", "{\n  \"a\": [1, 2\n\n",
       "fallback invalid | collapse_blank_lines 1 1 ! json_invalid"},
      {json, "budgeted", "{\n  \"a\": [1, 2\n\n\n", "{\n  \"a\": [1, 2\n",
       "fallback invalid | collapse_blank_lines 1 2 ! json_invalid"}};
  for (const FoldCase& c : cases) check(c);
  EXPECT_EQ(fold_ok(request(json, "safe", "{")).report.warnings.at(0).message,
            "input is not valid JSON; whitespace-only fallback applied");
}

TEST(Profiles, CatalogueAndLookup) {
  EXPECT_EQ(profile_names(), (std::vector<std::string_view>{"safe", "code-review", "interface-only", "documentation",
                                                            "logs", "budgeted"}));
  // Comments, docstrings, blank lines, interface_only, log repeats kept, dedupe, loss policy.
  const char* rows[] = {"remove 0 collapse_to_one 0 - 0 0", "keep 0 collapse_to_one 0 - 0 0",
                        "keep 0 collapse_to_one 1 - 0 1",   "keep 0 collapse_to_one 0 - 1 1",
                        "keep 0 collapse_to_one 0 1 0 1",   "remove 1 remove_all 0 1 1 1"};
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    const Profile p = lookup_profile(profile_names().at(i)).value();
    const RuleSettings& r = p.rules;
    EXPECT_EQ(std::string(comments_mode_name(r.comments)) + " " + std::to_string(r.docstrings) + " " +
                  std::string(blank_line_mode_name(r.blank_lines)) + " " + std::to_string(r.interface_only) + " " +
                  (r.collapse_log_repeats ? std::to_string(*r.collapse_log_repeats) : "-") + " " +
                  std::to_string(r.markdown_dedupe) + " " + std::to_string(p.loss.allow_lossy),
              rows[i]) << p.name;
    EXPECT_TRUE(r.trim_trailing_whitespace && p.preservation.protect_imports && p.preservation.protect_error_handling);
  }
  EXPECT_EQ(lookup_profile("code-review").value().description,
            "Preserve implementation logic and all comments/docstrings. Only whitespace-level normalisation is "
            "applied.");
  EXPECT_EQ(lookup_profile("budgeted").value().description,
            "Apply permitted transformations in a fixed deterministic order to reach a size/token budget. Escalates "
            "to lossy rules only when the caller allows it.");
  for (const char* name : {"", "Safe", " safe", "safe ", "code_review", "SAFE"})
    EXPECT_EQ(lookup_profile(name).error().name, name);
}

}  // namespace

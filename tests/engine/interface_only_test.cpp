// Body placeholders over real analyses of every language: what is replaced, what stays, the tally.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "analyzer/syntax.hpp"
#include "edit/edit.hpp"
#include "transform/interface_only.hpp"
#include "transform/rules.hpp"

namespace {

using tersewright::analyzer::AnalyzerRegistry;
using tersewright::analyzer::Language;
using tersewright::edit::build_protected_ranges;
using tersewright::transform::brace_placeholder;
using tersewright::transform::interface_only;
using tersewright::transform::is_trivial_body;
using tersewright::transform::placeholder_style_for;
using tersewright::transform::PlaceholderStyle;
using tersewright::transform::python_placeholder;

TEST(Placeholders, ByteExact) {
  EXPECT_EQ(python_placeholder, "...  # [tersewright: implementation omitted]");
  EXPECT_EQ(brace_placeholder, "{ /* [tersewright: implementation omitted] */ }");
  EXPECT_EQ(placeholder_style_for(Language::python), PlaceholderStyle::python);
  for (Language l : {Language::rust, Language::javascript, Language::typescript, Language::tsx, Language::go})
    EXPECT_EQ(placeholder_style_for(l), PlaceholderStyle::brace);
}

TEST(Placeholders, TrivialBodies) {
  for (std::string_view body : {"", "{}", "{ ; }", "{\n\t}\r\n", "{\xc2\xa0}", "{\xe3\x80\x80;}"})
    EXPECT_TRUE(is_trivial_body(body)) << body;
  for (std::string_view body : {"{ x }", "...", "{ /* c */ }", "pass", "{\xc3\xa9}"})
    EXPECT_FALSE(is_trivial_body(body)) << body;
}

const std::string P = "...  # [tersewright: implementation omitted]";
const std::string B = "{ /* [tersewright: implementation omitted] */ }";

struct BodyCase {
  const char* name;
  Language language;
  std::string source;
  bool protect_error_handling;
  std::string output;
  std::uint64_t changes;
  std::int64_t bytes_removed;
};

void PrintTo(const BodyCase& c, std::ostream* os) { *os << c.name; }

class InterfaceOnly : public ::testing::TestWithParam<BodyCase> {};

TEST_P(InterfaceOnly, ReplacesBodies) {
  const BodyCase& c = GetParam();
  const AnalyzerRegistry registry = AnalyzerRegistry::built_in();
  const auto analysis = registry.find(c.language)->analyze(c.source);
  ASSERT_TRUE(analysis.parse_ok);
  const auto protected_set = build_protected_ranges(c.source, {}, {"tersewright:keep"});
  const auto edits = interface_only(c.source, protected_set, analysis.error_handlers, c.protect_error_handling,
                                    analysis.declarations, placeholder_style_for(c.language));
  EXPECT_EQ(tersewright::edit::apply_edits(c.source, edits).text, c.output);
  const auto tally = tersewright::transform::tally_rules(edits);
  if (c.changes == 0) {
    EXPECT_TRUE(tally.empty());
    return;
  }
  ASSERT_EQ(tally.size(), 1u);
  EXPECT_EQ(tally[0].rule, tersewright::edit::Rule::interface_only);
  EXPECT_EQ(tally[0].changes, c.changes);
  EXPECT_EQ(tally[0].bytes_removed, c.bytes_removed);
  for (const auto& e : edits) EXPECT_EQ(e.replacement, c.language == Language::python ? P : B);
}

INSTANTIATE_TEST_SUITE_P(
    Languages, InterfaceOnly,
    ::testing::Values(
        BodyCase{"py_two_statements", Language::python, "def f(a):\n    x = a + 1\n    return x\n", true,
                 "def f(a):\n    " + P + "\n", 1, 22 - 44},
        BodyCase{"py_docstring_goes_with_body", Language::python,
                 "def f():\n    \"\"\"Doc.\"\"\"\n    return 1\n\n\nx = 2\n", true, "def f():\n    " + P + "\n\n\nx = 2\n", 1,
                 23 - 44},
        BodyCase{"py_ellipsis_is_not_trivial", Language::python, "def f(): ...\n", true, "def f(): " + P + "\n", 1,
                 3 - 44},
        BodyCase{"py_class_keeps_its_shape", Language::python,
                 "class A:\n    \"\"\"A.\"\"\"\n    x = 1\n\n    def m(self):\n        return self.x\n\n"
                 "    @property\n    def n(self):\n        return 2\n",
                 true,
                 "class A:\n    \"\"\"A.\"\"\"\n    x = 1\n\n    def m(self):\n        " + P +
                     "\n\n    @property\n    def n(self):\n        " + P + "\n",
                 2, (13 - 44) + (8 - 44)},
        BodyCase{"py_nested_counts_both", Language::python,
                 "def outer():\n    def inner():\n        return 1\n    return inner\n", true, "def outer():\n    " + P + "\n",
                 2, (46 - 44) + (8 - 44)},
        BodyCase{"py_try_protected", Language::python, "def f():\n    try:\n        g()\n    except E:\n        pass\n", true,
                 "def f():\n    try:\n        g()\n    except E:\n        pass\n", 0, 0},
        BodyCase{"py_try_unprotected", Language::python, "def f():\n    try:\n        g()\n    except E:\n        pass\n",
                 false, "def f():\n    " + P + "\n", 1, 43 - 44},
        BodyCase{"py_raise_protected", Language::python, "def f():\n    raise E\ndef g():\n    return 1\n", true,
                 "def f():\n    raise E\ndef g():\n    " + P + "\n", 1, 8 - 44},
        BodyCase{"py_marker_protects_body", Language::python,
                 "def f():\n    return 1  # tersewright:keep\ndef g():\n    return 2\n", true,
                 "def f():\n    return 1  # tersewright:keep\ndef g():\n    " + P + "\n", 1, 8 - 44},
        BodyCase{"rust_items", Language::rust,
                 "struct S;\ntrait T { fn m(&self); }\nfn f() -> i32 { 1 }\nfn g() {}\nfn h() { ; }\n"
                 "impl S { fn k(&self) -> u8 { let v = 2; v } }\n",
                 true,
                 "struct S;\ntrait T { fn m(&self); }\nfn f() -> i32 " + B + "\nfn g() {}\nfn h() { ; }\n"
                 "impl S { fn k(&self) -> u8 " + B + " }\n",
                 2, (5 - 47) + (16 - 47)},
        BodyCase{"rust_question_mark_protected", Language::rust, "fn f() -> R { g()?; Ok(()) }\n", true,
                 "fn f() -> R { g()?; Ok(()) }\n", 0, 0},
        BodyCase{"rust_question_mark_unprotected", Language::rust, "fn f() -> R { g()?; Ok(()) }\n", false,
                 "fn f() -> R " + B + "\n", 1, 16 - 47},
        BodyCase{"go_functions_and_methods", Language::go,
                 "package p\n\ntype T struct{ a int }\n\nfunc (t *T) A() int {\n\treturn t.a\n}\n\nfunc ext()\n\n"
                 "func empty() {\n}\n\nfunc g() {\n\tdefer recover()\n\tpanic(1)\n}\n",
                 true,
                 "package p\n\ntype T struct{ a int }\n\nfunc (t *T) A() int " + B + "\n\nfunc ext()\n\nfunc empty() {\n}\n\n"
                 "func g() " + B + "\n",
                 2, (15 - 47) + (30 - 47)},
        BodyCase{"js_declarations", Language::javascript,
                 "function f(a) { return a * 2; }\nfunction* g() { yield 1; }\nconst h = () => { return 3; };\n"
                 "class C {\n  m() { return 4; }\n  n() { throw new Error('x'); }\n}\n",
                 true,
                 "function f(a) " + B + "\nfunction* g() " + B + "\nconst h = () => { return 3; };\n"
                 "class C {\n  m() " + B + "\n  n() { throw new Error('x'); }\n}\n",
                 3, (17 - 47) + (12 - 47) + (13 - 47)},
        BodyCase{"js_throw_unprotected", Language::javascript, "function f() { throw e; }\n", false,
                 "function f() " + B + "\n", 1, 12 - 47},
        BodyCase{"ts_signatures_have_no_body", Language::typescript,
                 "interface I { m(): void }\nabstract class A {\n  abstract m(): void;\n  n(): number { return 1; }\n}\n"
                 "function f(a: string): void;\nfunction f(a: any) { console.log(a); }\n",
                 true,
                 "interface I { m(): void }\nabstract class A {\n  abstract m(): void;\n  n(): number " + B + "\n}\n"
                 "function f(a: string): void;\nfunction f(a: any) " + B + "\n",
                 2, (13 - 47) + (19 - 47)},
        BodyCase{"ts_try_protected", Language::typescript,
                 "function f(): void {\n  try { g(); } finally { h(); }\n}\n", true,
                 "function f(): void {\n  try { g(); } finally { h(); }\n}\n", 0, 0},
        BodyCase{"tsx_component", Language::tsx,
                 "export function App(): JSX.Element {\n  return <div className=\"a\">{1}</div>;\n}\n", true,
                 "export function App(): JSX.Element " + B + "\n", 1, 42 - 47}),
    [](const ::testing::TestParamInfo<BodyCase>& info) { return std::string(info.param.name); });

TEST(InterfaceOnly, SkipsBodiesOutOfRangeOrEmptyOrFlagged) {
  using tersewright::analyzer::Declaration;
  const std::string text = "fn f() { x }";
  const std::vector<Declaration> declarations = {
      {false, 7, 12}, {true, 7, 7}, {true, 9, 7}, {true, 7, 40}, {true, 7, 12}};
  const auto edits = interface_only(text, {}, {}, true, declarations, PlaceholderStyle::brace);
  ASSERT_EQ(edits.size(), 1u);
  EXPECT_EQ(edits[0].start, 7u);
  EXPECT_EQ(edits[0].end, 12u);
  // Unsorted error-handling ranges are normalized before the test.
  EXPECT_TRUE(interface_only(text, {}, {{11, 12}, {0, 1}}, true, declarations, PlaceholderStyle::brace).empty());
  EXPECT_EQ(interface_only(text, {}, {{11, 12}, {0, 1}}, false, declarations, PlaceholderStyle::brace).size(), 1u);
}

}  // namespace

// Each linked grammar loads, reports the ABI it was generated for, and parses a one-line program.
#include <gtest/gtest.h>
#include <tree_sitter/api.h>

#include <cstring>
#include <memory>

#include "analyzer/syntax.hpp"

namespace {

using tersewright::analyzer::grammar_for;
using tersewright::analyzer::Language;

struct GrammarCase {
  Language language;
  const char* program;
  std::uint32_t abi;
};

class GrammarSmoke : public ::testing::TestWithParam<GrammarCase> {};

TEST_P(GrammarSmoke, LoadsAndParsesOneLine) {
  const GrammarCase& c = GetParam();
  const TSLanguage* grammar = grammar_for(c.language);
  ASSERT_NE(grammar, nullptr);
  EXPECT_EQ(ts_language_abi_version(grammar), c.abi);

  std::unique_ptr<TSParser, decltype(&ts_parser_delete)> parser(ts_parser_new(), ts_parser_delete);
  ASSERT_TRUE(ts_parser_set_language(parser.get(), grammar));
  std::unique_ptr<TSTree, decltype(&ts_tree_delete)> tree(
      ts_parser_parse_string(parser.get(), nullptr, c.program, static_cast<std::uint32_t>(std::strlen(c.program))),
      ts_tree_delete);
  ASSERT_NE(tree, nullptr);
  TSNode root = ts_tree_root_node(tree.get());
  EXPECT_FALSE(ts_node_has_error(root));
  EXPECT_GT(ts_node_child_count(root), 0u);
}

INSTANTIATE_TEST_SUITE_P(AllGrammars, GrammarSmoke,
                         ::testing::Values(GrammarCase{Language::python, "x = 1\n", 15},
                                           GrammarCase{Language::rust, "fn main() {}\n", 15},
                                           GrammarCase{Language::javascript, "const a = <b/>;\n", 15},
                                           GrammarCase{Language::typescript, "let a: number = 1;\n", 14},
                                           GrammarCase{Language::tsx, "const a = <B x={1} />;\n", 14},
                                           GrammarCase{Language::go, "package main\n", 15}));

TEST(GrammarSmoke, NoGrammarForFormats) {
  EXPECT_EQ(grammar_for(Language::markdown), nullptr);
  EXPECT_EQ(grammar_for(Language::unknown), nullptr);
}

}  // namespace

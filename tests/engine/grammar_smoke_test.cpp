// Each linked grammar loads, reports the ABI it was generated for, parses a one-line program, and
// has every node kind that its language's table names.
#include <gtest/gtest.h>
#include <tree_sitter/api.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "analyzer/node_kinds.hpp"
#include "analyzer/syntax.hpp"
#include "analyzer/tree_sitter.hpp"

namespace {

using tersewright::analyzer::grammar_for;
using tersewright::analyzer::KindNames;
using tersewright::analyzer::Language;
using tersewright::analyzer::NodeKinds;
using tersewright::analyzer::ParserPtr;
using tersewright::analyzer::TreePtr;
using tersewright::analyzer::node_kinds;

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

  ParserPtr parser(ts_parser_new());
  ASSERT_TRUE(ts_parser_set_language(parser.get(), grammar));
  TreePtr tree(
      ts_parser_parse_string(parser.get(), nullptr, c.program, static_cast<std::uint32_t>(std::strlen(c.program))));
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

// A misspelt kind in a table would match nothing and silently fold less; every listed name must be
// a named node kind of the language's grammar, and so must be the body field.
class NodeKindTable : public ::testing::TestWithParam<Language> {};

TEST_P(NodeKindTable, NamesOnlyWhatTheGrammarHas) {
  const TSLanguage* grammar = grammar_for(GetParam());
  const NodeKinds& kinds = node_kinds(GetParam());
  for (KindNames names : {kinds.comments, kinds.error_handlers, kinds.declarations, kinds.bodied_declarations,
                          kinds.docstring_containers, kinds.docstring_statements, kinds.docstring_literals}) {
    for (std::string_view name : names)
      EXPECT_NE(ts_language_symbol_for_name(grammar, name.data(), static_cast<std::uint32_t>(name.size()), true), 0)
          << name;
  }
  if (!kinds.statement_block.empty()) {
    const std::string_view name = kinds.statement_block;
    EXPECT_NE(ts_language_symbol_for_name(grammar, name.data(), static_cast<std::uint32_t>(name.size()), true), 0);
  }
  EXPECT_NE(ts_language_field_id_for_name(grammar, kinds.body_field.data(),
                                          static_cast<std::uint32_t>(kinds.body_field.size())),
            0);
  // A body is only looked for on a declaration.
  for (std::string_view name : kinds.bodied_declarations)
    EXPECT_NE(std::find(kinds.declarations.begin(), kinds.declarations.end(), name), kinds.declarations.end()) << name;
  EXPECT_FALSE(kinds.declarations.empty());
  EXPECT_FALSE(kinds.comments.empty());
}

INSTANTIATE_TEST_SUITE_P(SourceLanguages, NodeKindTable,
                         ::testing::Values(Language::python, Language::rust, Language::javascript,
                                           Language::typescript, Language::tsx, Language::go));

TEST(GrammarSmoke, NoGrammarForFormats) {
  EXPECT_EQ(grammar_for(Language::markdown), nullptr);
  EXPECT_EQ(grammar_for(Language::unknown), nullptr);
}

}  // namespace

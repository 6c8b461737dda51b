// What each grammar symbol means to the syntax analysis, one bit per independent test. Node kinds
// are named in the node-kind tables, but names repeat across symbol ids (aliases, anonymous twins),
// so every id is classified by its name once and a walk classifies a node with one lookup.
//
// For the built-in grammars the classification is constant data: engine/tools/kind_table_generator
// runs it when the engine is built and writes the tables that built_in_kind_flags returns.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "analyzer/language.hpp"
#include "analyzer/node_kinds.hpp"

struct TSLanguage;

namespace tersewright::analyzer {

enum KindFlag : std::uint16_t {
  comment_kind = 1u << 0,
  string_kind = 1u << 1,
  error_handler_kind = 1u << 2,
  declaration_kind = 1u << 3,
  bodied_declaration_kind = 1u << 4,
  docstring_container_kind = 1u << 5,
  docstring_statement_kind = 1u << 6,
  docstring_literal_kind = 1u << 7,
  statement_block_kind = 1u << 8,  // must hold a statement for the text to be a program
  block_holder_kind = 1u << 9,     // may hold a statement block (the block kind too)
};

// The flags of every symbol id of the grammar under the tables; empty without a grammar.
std::vector<std::uint16_t> classify_symbols(const TSLanguage* grammar, const NodeKinds& kinds);

// The generated classification of a built-in grammar (grammar_for) under its built-in tables
// (node_kinds); empty for a language without a grammar.
std::span<const std::uint16_t> built_in_kind_flags(Language language) noexcept;

}  // namespace tersewright::analyzer

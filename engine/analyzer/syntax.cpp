#include "analyzer/syntax.hpp"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "analyzer/tree_sitter.hpp"

namespace tersewright::analyzer {

namespace {

// What a node kind means to the analysis, one bit per independent test.
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
};

// Node kinds are compared by name, but names repeat across symbol ids (aliases, anonymous
// twins), so every id is classified once by its name up front and the walk only indexes.
using KindFlags = std::vector<std::uint16_t>;

// Every kind name the node-kind tables list, with the flags it carries, ordered for binary search by
// (length, bytes) so that most symbols are turned away on their length alone.
std::vector<std::pair<std::string_view, std::uint16_t>> named_kinds(const LanguageSpec& spec) {
  std::vector<std::pair<std::string_view, std::uint16_t>> named;
  auto add = [&](std::string_view name, std::uint16_t flag) {
    for (auto& entry : named)
      if (entry.first == name) {
        entry.second |= flag;
        return;
      }
    named.emplace_back(name, flag);
  };
  const auto add_all = [&](KindNames names, std::uint16_t flag) {
    for (std::string_view name : names) add(name, flag);
  };
  const NodeKinds& kinds = spec.kinds;
  add_all(kinds.comments, comment_kind);
  add_all(kinds.error_handlers, error_handler_kind);
  add_all(kinds.declarations, declaration_kind);
  add_all(kinds.bodied_declarations, bodied_declaration_kind);
  add_all(kinds.docstring_containers, docstring_container_kind);
  add_all(kinds.docstring_statements, docstring_statement_kind);
  add_all(kinds.docstring_literals, docstring_literal_kind);
  std::sort(named.begin(), named.end(), [](const auto& a, const auto& b) {
    return a.first.size() != b.first.size() ? a.first.size() < b.first.size() : a.first < b.first;
  });
  return named;
}

KindFlags classify_symbols(const LanguageSpec& spec) {
  if (spec.grammar == nullptr) return {};
  const std::uint32_t count = ts_language_symbol_count(spec.grammar);
  const std::string_view infix = spec.kinds.string_infix;
  const std::string_view block_kind = spec.kinds.statement_block;
  const auto named = named_kinds(spec);
  KindFlags flags(count, 0);
  for (std::uint32_t id = 0; id < count; ++id) {
    const char* name_ptr = ts_language_symbol_name(spec.grammar, static_cast<TSSymbol>(id));
    if (name_ptr == nullptr) continue;
    const std::string_view name(name_ptr);
    std::uint16_t f = 0;
    auto hit = std::lower_bound(named.begin(), named.end(), name, [](const auto& entry, std::string_view n) {
      return entry.first.size() != n.size() ? entry.first.size() < n.size() : entry.first < n;
    });
    if (hit != named.end() && hit->first == name) f |= hit->second;
    if (!infix.empty() && name.find(infix) != std::string_view::npos) f |= string_kind;
    if (!block_kind.empty() && name == block_kind &&
        ts_language_symbol_type(spec.grammar, static_cast<TSSymbol>(id)) == TSSymbolTypeRegular)
      f |= statement_block_kind;
    flags[id] = f;
  }
  return flags;
}

std::uint16_t flags_of(const KindFlags& flags, TSNode node) noexcept {
  const TSSymbol symbol = ts_node_symbol(node);
  return symbol < flags.size() ? flags[symbol] : 0;
}

ByteRange range_of(TSNode node) noexcept { return ByteRange{ts_node_start_byte(node), ts_node_end_byte(node)}; }

// The docstring of a container: its first named child when that is a docstring statement whose own
// first named child is a docstring literal.
std::optional<ByteRange> docstring_of(const KindFlags& flags, TreeCursor& aux, TSNode container) {
  std::optional<TSNode> statement = first_named_child(aux, container);
  if (!statement || !(flags_of(flags, *statement) & docstring_statement_kind)) return std::nullopt;
  std::optional<TSNode> literal = first_named_child(aux, *statement);
  if (!literal || !(flags_of(flags, *literal) & docstring_literal_kind)) return std::nullopt;
  return range_of(*statement);
}

Declaration declaration_of(TSNode node, bool bodied, TSFieldId body_field) {
  Declaration declaration;
  const std::uint64_t end = ts_node_end_byte(node);
  declaration.body_start = end;
  declaration.body_end = end;
  if (bodied && body_field != 0) {
    TSNode body = ts_node_child_by_field_id(node, body_field);
    if (!ts_node_is_null(body)) {
      declaration.has_body = true;
      declaration.body_start = ts_node_start_byte(body);
      declaration.body_end = ts_node_end_byte(body);
    }
  }
  return declaration;
}

bool holds_statement(const KindFlags& flags, TreeCursor& aux, TSNode block) {
  TSTreeCursor* c = aux.at(block);
  if (!ts_tree_cursor_goto_first_child(c)) return false;
  do {
    TSNode child = ts_tree_cursor_current_node(c);
    if (ts_node_is_named(child) && !(flags_of(flags, child) & comment_kind)) return true;
  } while (ts_tree_cursor_goto_next_sibling(c));
  return false;
}

// Fills the sequences; false when the tree holds a block the language does not allow to be empty.
bool collect(const LanguageSpec& spec, const KindFlags& flags, TSNode root, Analysis& analysis) {
  const std::string_view field = spec.kinds.body_field;
  const TSFieldId body_field =
      field.empty() ? 0
                    : ts_language_field_id_for_name(spec.grammar, field.data(), static_cast<std::uint32_t>(field.size()));

  TreeCursor aux(root);
  return walk_pre_order(root, [&](TSNode node) {
    const std::uint16_t f = flags_of(flags, node);
    if (f == 0) return true;
    if ((f & statement_block_kind) && !holds_statement(flags, aux, node)) return false;
    if (f & comment_kind) analysis.comments.push_back(range_of(node));
    if (f & string_kind) analysis.strings.push_back(range_of(node));
    if (f & error_handler_kind) analysis.error_handlers.push_back(range_of(node));
    if (f & docstring_container_kind) {
      if (std::optional<ByteRange> docstring = docstring_of(flags, aux, node)) analysis.docstrings.push_back(*docstring);
    }
    if (f & declaration_kind)
      analysis.declarations.push_back(declaration_of(node, (f & bodied_declaration_kind) != 0, body_field));
    return true;
  });
}

bool free_of_empty_blocks(const LanguageSpec& spec, const KindFlags& flags, TSNode root) {
  if (spec.kinds.statement_block.empty()) return true;
  TreeCursor aux(root);
  return walk_pre_order(root, [&](TSNode node) {
    return !(flags_of(flags, node) & statement_block_kind) || holds_statement(flags, aux, node);
  });
}

}  // namespace

Analyzer::Analyzer(LanguageSpec spec) : spec_(std::move(spec)), kind_flags_(classify_symbols(spec_)) {}

Analysis Analyzer::analyze(std::string_view text) const {
  Analysis analysis;
  analysis.language = spec_.language;
  TreePtr tree = parse_clean(spec_.grammar, text);
  if (!tree) return analysis;
  if (!collect(spec_, kind_flags_, ts_tree_root_node(tree.get()), analysis)) {
    Analysis failed;
    failed.language = spec_.language;
    return failed;
  }
  analysis.parse_ok = true;
  return analysis;
}

bool Analyzer::parses_cleanly(std::string_view text) const {
  TreePtr tree = parse_clean(spec_.grammar, text);
  return tree && free_of_empty_blocks(spec_, kind_flags_, ts_tree_root_node(tree.get()));
}

AnalyzerRegistry AnalyzerRegistry::built_in() {
  std::vector<Analyzer> analyzers;
  analyzers.reserve(6);
  for (Language language : {Language::python, Language::rust, Language::javascript, Language::typescript,
                            Language::tsx, Language::go}) {
    analyzers.emplace_back(LanguageSpec{grammar_for(language), language, node_kinds(language)});
  }
  return AnalyzerRegistry(std::move(analyzers));
}

const Analyzer* AnalyzerRegistry::find(Language language) const noexcept {
  for (const Analyzer& analyzer : analyzers_) {
    if (analyzer.language() == language) return &analyzer;
  }
  return nullptr;
}

}  // namespace tersewright::analyzer

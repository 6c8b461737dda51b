#include "analyzer/syntax.hpp"

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "analyzer/kind_flags.hpp"
#include "analyzer/tree_sitter.hpp"

namespace tersewright::analyzer {

namespace {

using KindFlags = std::span<const std::uint16_t>;

std::uint16_t flags_of(KindFlags flags, TSNode node) noexcept {
  const TSSymbol symbol = ts_node_symbol(node);
  return symbol < flags.size() ? flags[symbol] : 0;
}

ByteRange range_of(TSNode node) noexcept { return ByteRange{ts_node_start_byte(node), ts_node_end_byte(node)}; }

// The docstring of a container: its first named child when that is a docstring statement whose own
// first named child is a docstring literal.
std::optional<ByteRange> docstring_of(KindFlags flags, TreeCursor& aux, TSNode container) {
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

bool holds_statement(KindFlags flags, TreeCursor& aux, TSNode block) {
  TSTreeCursor* c = aux.at(block);
  if (!ts_tree_cursor_goto_first_child(c)) return false;
  do {
    TSNode child = ts_tree_cursor_current_node(c);
    if (ts_node_is_named(child) && !(flags_of(flags, child) & comment_kind)) return true;
  } while (ts_tree_cursor_goto_next_sibling(c));
  return false;
}

// Fills the sequences; false when the tree holds a block the language does not allow to be empty.
bool collect(const LanguageSpec& spec, KindFlags flags, TSNode root, Analysis& analysis) {
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

// Whether a node lies on one line: it holds no line feed then.
bool on_one_line(TSNode node) { return ts_node_start_point(node).row == ts_node_end_point(node).row; }

// The strings of a tree that span lines, without entering them, and whether the tree holds no empty
// block. A string holds expressions at most (interpolations, substitutions), never a statement
// block, and a node on one line holds no string that spans lines: the walk enters neither, unless
// the node may hold a block.
bool collect_multiline_strings(const LanguageSpec& spec, KindFlags flags, TSNode root,
                               std::vector<ByteRange>& strings) {
  const bool blocks = !spec.kinds.statement_block.empty();
  TreeCursor aux(root);
  return walk_pruned(root, [&](TSNode node) {
    const std::uint16_t f = flags_of(flags, node);
    if (f & string_kind) {
      if (!on_one_line(node)) strings.push_back(range_of(node));
      return WalkStep::skip_children;
    }
    if (!blocks) return on_one_line(node) ? WalkStep::skip_children : WalkStep::descend;
    if ((f & statement_block_kind) && !holds_statement(flags, aux, node)) return WalkStep::stop;
    return (f & block_holder_kind) || !on_one_line(node) ? WalkStep::descend : WalkStep::skip_children;
  });
}

bool free_of_empty_blocks(const LanguageSpec& spec, KindFlags flags, TSNode root) {
  if (spec.kinds.statement_block.empty()) return true;
  TreeCursor aux(root);
  return walk_pruned(root, [&](TSNode node) {
    const std::uint16_t f = flags_of(flags, node);
    if ((f & statement_block_kind) && !holds_statement(flags, aux, node)) return WalkStep::stop;
    return (f & block_holder_kind) ? WalkStep::descend : WalkStep::skip_children;
  });
}

}  // namespace

Analyzer::Analyzer(LanguageSpec spec) : spec_(std::move(spec)), own_flags_(classify_symbols(spec_.grammar, spec_.kinds)) {}

Analyzer::Analyzer(LanguageSpec spec, std::span<const std::uint16_t> built_in_flags)
    : spec_(std::move(spec)), built_in_flags_(built_in_flags) {}

Analyzer Analyzer::built_in(Language language) {
  return Analyzer(LanguageSpec{grammar_for(language), language, node_kinds(language)}, built_in_kind_flags(language));
}

Analysis Analyzer::analyze(std::string_view text) const {
  Analysis analysis;
  analysis.language = spec_.language;
  TreePtr tree = parse_clean(spec_.grammar, text);
  if (!tree) return analysis;
  if (!collect(spec_, kind_flags(), ts_tree_root_node(tree.get()), analysis)) {
    Analysis failed;
    failed.language = spec_.language;
    return failed;
  }
  analysis.parse_ok = true;
  return analysis;
}

Analysis Analyzer::multiline_strings(std::string_view text) const {
  Analysis analysis;
  analysis.language = spec_.language;
  TreePtr tree = parse_clean(spec_.grammar, text);
  if (!tree) return analysis;
  if (!collect_multiline_strings(spec_, kind_flags(), ts_tree_root_node(tree.get()), analysis.strings)) {
    analysis.strings.clear();
    return analysis;
  }
  analysis.parse_ok = true;
  return analysis;
}

bool Analyzer::parses_cleanly(std::string_view text) const {
  TreePtr tree = parse_clean(spec_.grammar, text);
  return tree && free_of_empty_blocks(spec_, kind_flags(), ts_tree_root_node(tree.get()));
}

AnalyzerRegistry AnalyzerRegistry::built_in() {
  std::vector<Analyzer> analyzers;
  analyzers.reserve(6);
  for (Language language : {Language::python, Language::rust, Language::javascript, Language::typescript,
                            Language::tsx, Language::go}) {
    analyzers.push_back(Analyzer::built_in(language));
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

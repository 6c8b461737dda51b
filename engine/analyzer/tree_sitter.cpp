#include "analyzer/tree_sitter.hpp"

#include <cstdint>
#include <limits>

namespace tersewright::analyzer {
namespace {

// The ABI range this runtime reads; grammars outside it are treated as unable to parse.
constexpr std::uint32_t min_abi = 13;
constexpr std::uint32_t max_abi = 15;

// The runtime's error recovery can run away on a few dozen hostile bytes: an 88-byte TypeScript
// text kept it busy for minutes and took gigabytes. It reports progress every 100 parse operations;
// valid code needs well under one report per 10 bytes (the densest seen, ambiguous generic calls,
// about 0.07), so a parse that needs more than one per byte plus a fixed allowance is abandoned and
// the text counts as not parsing cleanly. Counting operations, not time, keeps the verdict
// deterministic.
constexpr std::uint64_t progress_reports_per_byte = 1;
constexpr std::uint64_t progress_report_allowance = 2048;

struct ParseBudget {
  std::uint64_t reports_left;
};

bool out_of_budget(TSParseState* state) {
  auto* budget = static_cast<ParseBudget*>(state->payload);
  if (budget->reports_left == 0) return true;
  --budget->reports_left;
  return false;
}

const char* read_text(void* payload, std::uint32_t byte, TSPoint, std::uint32_t* bytes_read) {
  const auto* text = static_cast<const std::string_view*>(payload);
  if (byte >= text->size()) {
    *bytes_read = 0;
    return "";
  }
  *bytes_read = static_cast<std::uint32_t>(text->size() - byte);
  return text->data() + byte;
}

}  // namespace

TreePtr parse_clean(const TSLanguage* grammar, std::string_view text) {
  if (grammar == nullptr) return nullptr;
  const std::uint32_t abi = ts_language_abi_version(grammar);
  if (abi < min_abi || abi > max_abi) return nullptr;
  if (text.size() > std::numeric_limits<std::uint32_t>::max()) return nullptr;

  ParserPtr parser(ts_parser_new());
  if (!parser || !ts_parser_set_language(parser.get(), grammar)) return nullptr;
  ParseBudget budget{progress_reports_per_byte * text.size() + progress_report_allowance};
  const TSInput input{&text, read_text, TSInputEncodingUTF8, nullptr};
  TreePtr tree(ts_parser_parse_with_options(parser.get(), nullptr, input, TSParseOptions{&budget, out_of_budget}));
  if (!tree) return nullptr;
  if (ts_node_has_error(ts_tree_root_node(tree.get()))) return nullptr;
  return tree;
}

std::optional<TSNode> first_named_child(TreeCursor& cursor, TSNode node) {
  TSTreeCursor* c = cursor.at(node);
  if (!ts_tree_cursor_goto_first_child(c)) return std::nullopt;
  do {
    TSNode child = ts_tree_cursor_current_node(c);
    if (ts_node_is_named(child)) return child;
  } while (ts_tree_cursor_goto_next_sibling(c));
  return std::nullopt;
}

}  // namespace tersewright::analyzer

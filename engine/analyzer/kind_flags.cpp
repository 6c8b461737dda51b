#include "analyzer/kind_flags.hpp"

#include <tree_sitter/api.h>

#include <algorithm>
#include <string_view>
#include <utility>

namespace tersewright::analyzer {

namespace {

// Every kind name the node-kind tables list, with the flags it carries, ordered for binary search by
// (length, bytes) so that most symbols are turned away on their length alone.
std::vector<std::pair<std::string_view, std::uint16_t>> named_kinds(const NodeKinds& kinds) {
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
  add_all(kinds.comments, comment_kind);
  add_all(kinds.error_handlers, error_handler_kind);
  add_all(kinds.declarations, declaration_kind);
  add_all(kinds.bodied_declarations, bodied_declaration_kind);
  add_all(kinds.docstring_containers, docstring_container_kind);
  add_all(kinds.docstring_statements, docstring_statement_kind);
  add_all(kinds.docstring_literals, docstring_literal_kind);
  add_all(kinds.block_holders, block_holder_kind);
  std::sort(named.begin(), named.end(), [](const auto& a, const auto& b) {
    return a.first.size() != b.first.size() ? a.first.size() < b.first.size() : a.first < b.first;
  });
  return named;
}

}  // namespace

std::vector<std::uint16_t> classify_symbols(const TSLanguage* grammar, const NodeKinds& kinds) {
  if (grammar == nullptr) return {};
  const std::uint32_t count = ts_language_symbol_count(grammar);
  const std::string_view infix = kinds.string_infix;
  const std::string_view block_kind = kinds.statement_block;
  const auto named = named_kinds(kinds);
  std::vector<std::uint16_t> flags(count, 0);
  for (std::uint32_t id = 0; id < count; ++id) {
    const char* name_ptr = ts_language_symbol_name(grammar, static_cast<TSSymbol>(id));
    if (name_ptr == nullptr) continue;
    const std::string_view name(name_ptr);
    std::uint16_t f = 0;
    auto hit = std::lower_bound(named.begin(), named.end(), name, [](const auto& entry, std::string_view n) {
      return entry.first.size() != n.size() ? entry.first.size() < n.size() : entry.first < n;
    });
    if (hit != named.end() && hit->first == name) f |= hit->second;
    if (!infix.empty() && name.find(infix) != std::string_view::npos) f |= string_kind;
    if (!block_kind.empty() && name == block_kind &&
        ts_language_symbol_type(grammar, static_cast<TSSymbol>(id)) == TSSymbolTypeRegular)
      f |= statement_block_kind;
    flags[id] = f;
  }
  return flags;
}

}  // namespace tersewright::analyzer

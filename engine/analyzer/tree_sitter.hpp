// The engine's side of the tree-sitter runtime: who owns parsers, trees and cursors, the clean parse
// under a bounded amount of work, and the walks over a tree.
#pragma once

#include <tree_sitter/api.h>

#include <memory>
#include <optional>
#include <string_view>

namespace tersewright::analyzer {

struct ParserDelete {
  void operator()(TSParser* parser) const noexcept { ts_parser_delete(parser); }
};
struct TreeDelete {
  void operator()(TSTree* tree) const noexcept { ts_tree_delete(tree); }
};
using ParserPtr = std::unique_ptr<TSParser, ParserDelete>;
using TreePtr = std::unique_ptr<TSTree, TreeDelete>;

// Owns a cursor for the length of one walk.
class TreeCursor {
 public:
  explicit TreeCursor(TSNode root) : cursor_(ts_tree_cursor_new(root)) {}
  ~TreeCursor() { ts_tree_cursor_delete(&cursor_); }
  TreeCursor(const TreeCursor&) = delete;
  TreeCursor& operator=(const TreeCursor&) = delete;
  TSTreeCursor* get() noexcept { return &cursor_; }
  // Re-roots the cursor; its path storage is kept, so looking below many nodes allocates once.
  TSTreeCursor* at(TSNode node) noexcept {
    ts_tree_cursor_reset(&cursor_, node);
    return &cursor_;
  }

 private:
  TSTreeCursor cursor_;
};

// A clean tree of the whole text, or nothing: a grammar missing or of an ABI this runtime does not
// read, a text the runtime cannot address (its offsets are 32-bit), a parse over its work budget,
// no tree, or a tree with an ERROR or MISSING node anywhere.
TreePtr parse_clean(const TSLanguage* grammar, std::string_view text);

// The first named child, found with the cursor so that a node with a long run of anonymous
// children in front costs no more than walking them once.
std::optional<TSNode> first_named_child(TreeCursor& cursor, TSNode node);

// Pre-order, document order, every node (named or anonymous) once; the cursor keeps the path
// to the root itself, so depth costs heap, not call stack. Stops as soon as visit returns false
// and says whether the walk ran to the end.
template <class Visit>
bool walk_pre_order(TSNode root, Visit&& visit) {
  TreeCursor cursor(root);
  TSTreeCursor* c = cursor.get();
  for (;;) {
    if (!visit(ts_tree_cursor_current_node(c))) return false;
    if (ts_tree_cursor_goto_first_child(c)) continue;
    while (!ts_tree_cursor_goto_next_sibling(c)) {
      if (!ts_tree_cursor_goto_parent(c)) return true;
    }
  }
}

// What a walk does after visiting a node.
enum class WalkStep { descend, skip_children, stop };

// As walk_pre_order, but visit decides for each node whether the walk enters its children.
template <class Visit>
bool walk_pruned(TSNode root, Visit&& visit) {
  TreeCursor cursor(root);
  TSTreeCursor* c = cursor.get();
  for (;;) {
    const WalkStep step = visit(ts_tree_cursor_current_node(c));
    if (step == WalkStep::stop) return false;
    if (step == WalkStep::descend && ts_tree_cursor_goto_first_child(c)) continue;
    while (!ts_tree_cursor_goto_next_sibling(c)) {
      if (!ts_tree_cursor_goto_parent(c)) return true;
    }
  }
}

}  // namespace tersewright::analyzer

// The branch for Markdown: the whitespace rules outside fenced code, then the optional dedupe.
#include "edit/line_index.hpp"
#include "transform/branches.hpp"
#include "transform/markdown.hpp"
#include "transform/whitespace.hpp"

namespace tersewright::transform {

BranchOutcome fold_markdown(std::string_view content, const FoldSettings& settings,
                            const edit::RangeSet& protected_set) {
  BranchOutcome outcome;
  // Fenced code is literal text: its trailing spaces and blank lines are part of the example.
  const edit::LineIndex lines(content);
  const edit::RangeSet fences = fenced_block_ranges(lines);
  const BlankLineMode mode = settings.rules.blank_lines;
  edit::EditList edits = trim_trailing_whitespace(
      lines, protected_set, fences, {.hard_breaks = true, .skip_whitespace_only_lines = mode != BlankLineMode::keep});
  append_edits(edits, collapse_blank_lines(lines, mode, protected_set, fences));
  // Dedupe is lossy but is a documentation setting of its own, not gated by the loss policy.
  if (settings.rules.markdown_dedupe) append_edits(edits, markdown_dedupe(lines, protected_set, fences));

  apply_single_list(content, edits, outcome);
  outcome.parse_status = ParseStatus::parsed;
  return outcome;
}

}  // namespace tersewright::transform

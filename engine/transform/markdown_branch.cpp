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
  // Dedupe is lossy but is a documentation setting of its own, not gated by the loss policy. Its
  // edits come last in the list; they are found first so that the list is allocated once.
  edit::EditList dedupe;
  if (settings.rules.markdown_dedupe) dedupe = markdown_dedupe(lines, protected_set, fences);
  edit::EditList edits =
      whitespace_edits(lines, mode, protected_set, fences,
                       {.hard_breaks = true, .skip_whitespace_only_lines = mode != BlankLineMode::keep}, dedupe.size());
  append_edits(edits, std::move(dedupe));

  apply_single_list(content, edits, outcome);
  outcome.parse_status = ParseStatus::parsed;
  return outcome;
}

}  // namespace tersewright::transform

#include "transform/branches.hpp"

#include <iterator>

#include "transform/whitespace.hpp"

namespace tersewright::transform {

void append_edits(edit::EditList& to, edit::EditList&& from) {
  to.insert(to.end(), std::make_move_iterator(from.begin()), std::make_move_iterator(from.end()));
}

edit::RangeSet protected_set_for(std::string_view content, const FoldSettings& settings) {
  return edit::build_protected_ranges(content, settings.preservation.protected_ranges,
                                      settings.preservation.protected_line_markers);
}

void apply_single_list(std::string_view content, const edit::EditList& edits, BranchOutcome& outcome) {
  if (edits.empty()) {
    outcome.output = Text::borrowed(content);
    return;
  }
  outcome.rules = tally_rules(edits);
  outcome.output = edit::apply_edits_text(content, edits);
}

edit::EditList plain_whitespace_edits(const edit::LineIndex& lines, const edit::RangeSet& protected_set,
                                      const FoldSettings& settings) {
  const BlankLineMode mode = settings.rules.blank_lines;
  return whitespace_edits(lines, mode, protected_set, {}, {.skip_whitespace_only_lines = mode != BlankLineMode::keep});
}

}  // namespace tersewright::transform

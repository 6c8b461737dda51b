// The branch for logs: the whitespace rules, then the collapse of repeated events when lossy folds are allowed.
#include "transform/branches.hpp"
#include "transform/log_repeats.hpp"

namespace tersewright::transform {

BranchOutcome fold_log(std::string_view content, const FoldSettings& settings, const edit::RangeSet& protected_set) {
  BranchOutcome outcome;
  const edit::LineIndex lines(content);
  edit::EditList edits = plain_whitespace_edits(lines, protected_set, settings);
  // Skipped silently when the loss policy forbids it: the log is still valid output, only longer.
  if (settings.rules.collapse_log_repeats && settings.allow_lossy)
    append_edits(edits, collapse_log_repeats(lines, protected_set, *settings.rules.collapse_log_repeats));

  apply_single_list(content, edits, outcome);
  outcome.parse_status = ParseStatus::parsed;
  return outcome;
}

}  // namespace tersewright::transform

// The branch for plain text: the two whitespace rules and nothing else.
#include "transform/branches.hpp"

namespace tersewright::transform {

BranchOutcome fold_text(std::string_view content, const FoldSettings& settings, const edit::RangeSet& protected_set) {
  BranchOutcome outcome;
  apply_single_list(content, plain_whitespace_edits(edit::LineIndex(content), protected_set, settings), outcome);
  outcome.parse_status = ParseStatus::fallback;
  return outcome;
}

}  // namespace tersewright::transform

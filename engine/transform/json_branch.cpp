// The branch for JSON: a valid document is compacted as a whole, an invalid one gets the whitespace rules.
#include "analyzer/json.hpp"
#include "transform/branches.hpp"

namespace tersewright::transform {

// The protected set serves only the fallback: compaction rewrites the document as a whole and cannot
// honour it.
BranchOutcome fold_json(std::string_view content, const FoldSettings& settings, const edit::RangeSet& protected_set) {
  namespace json = analyzer::json;
  BranchOutcome outcome;
  // Validation and compaction in one pass; it refuses exactly the texts the validator refuses.
  std::optional<std::string> compact = json::compact(content, content.size());
  if (compact) {
    if (compact->size() < content.size()) {
      outcome.rules.push_back(RuleReport{edit::Rule::trim_trailing_whitespace, 1,
                                         static_cast<std::int64_t>(content.size() - compact->size())});
      outcome.output = std::move(*compact);
    } else {
      // Already as short as it gets: keep the caller's key order and number spelling.
      outcome.output = Text::borrowed(content);
    }
  } else {
    outcome.warnings.push_back(fixed_warning(WarningCode::json_invalid));
    apply_single_list(content, plain_whitespace_edits(edit::LineIndex(content), protected_set, settings), outcome);
  }

  const bool valid = compact.has_value();
  outcome.syntax_valid = valid;
  outcome.parse_status = valid ? ParseStatus::parsed : ParseStatus::fallback;
  return outcome;
}

}  // namespace tersewright::transform

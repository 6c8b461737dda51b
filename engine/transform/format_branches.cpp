// The line-oriented branches of the fold: Markdown, logs and JSON.
#include <iterator>

#include "analyzer/json.hpp"
#include "edit/line_index.hpp"
#include "transform/branches.hpp"
#include "transform/log_repeats.hpp"
#include "transform/markdown.hpp"
#include "transform/whitespace.hpp"

namespace tersewright::transform {

namespace {

void append(edit::EditList& to, edit::EditList&& from) {
  to.insert(to.end(), std::make_move_iterator(from.begin()), std::make_move_iterator(from.end()));
}

}  // namespace

BranchOutcome fold_markdown(std::string_view content, const FoldSettings& settings) {
  BranchOutcome outcome;
  const edit::RangeSet protected_set = protected_set_for(content, settings);
  outcome.protected_bytes = edit::total_length(protected_set);

  // Fenced code is literal text: its trailing spaces and blank lines are part of the example.
  const edit::LineIndex lines(content);
  const edit::RangeSet fences = fenced_block_ranges(content, lines);
  const BlankLineMode mode = settings.rules.blank_lines;
  edit::EditList edits = trim_trailing_whitespace(content, protected_set, fences, true, mode != BlankLineMode::keep);
  append(edits, collapse_blank_lines(content, mode, protected_set, fences));
  // Dedupe is lossy but is a documentation setting of its own, not gated by the loss policy.
  if (settings.rules.markdown_dedupe) append(edits, markdown_dedupe(lines, protected_set, fences));

  apply_single_list(content, edits, outcome);
  outcome.parse_status = ParseStatus::parsed;
  return outcome;
}

BranchOutcome fold_log(std::string_view content, const FoldSettings& settings) {
  BranchOutcome outcome;
  const edit::RangeSet protected_set = protected_set_for(content, settings);
  outcome.protected_bytes = edit::total_length(protected_set);

  edit::EditList edits = plain_whitespace_edits(content, protected_set, settings);
  // Skipped silently when the loss policy forbids it: the log is still valid output, only longer.
  if (settings.rules.collapse_log_repeats && settings.allow_lossy)
    append(edits, collapse_log_repeats(content, protected_set, *settings.rules.collapse_log_repeats));

  apply_single_list(content, edits, outcome);
  outcome.parse_status = ParseStatus::parsed;
  return outcome;
}

BranchOutcome fold_json(std::string_view content, const FoldSettings& settings) {
  namespace json = analyzer::json;
  BranchOutcome outcome;
  // Counted for the report; compaction rewrites the document as a whole and cannot honour it.
  const edit::RangeSet protected_set = protected_set_for(content, settings);
  outcome.protected_bytes = edit::total_length(protected_set);

  if (std::optional<json::Value> value = json::parse(content)) {
    std::string compact = json::write_compact(*value);
    if (compact.size() < content.size()) {
      outcome.rules.push_back(RuleReport{edit::Rule::trim_trailing_whitespace, 1,
                                         static_cast<std::int64_t>(content.size() - compact.size())});
      outcome.output = std::move(compact);
    } else {
      // Already as short as it gets: keep the caller's key order and number spelling.
      outcome.output.assign(content);
    }
  } else {
    outcome.warnings.push_back(fixed_warning(WarningCode::json_invalid));
    apply_single_list(content, plain_whitespace_edits(content, protected_set, settings), outcome);
  }

  const bool valid = json::is_valid(content);
  outcome.syntax_valid = valid;
  outcome.parse_status = valid ? ParseStatus::parsed : ParseStatus::fallback;
  return outcome;
}

}  // namespace tersewright::transform

// The processing branches the fold dispatches to, one per kind of content, and what they share.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analyzer/syntax.hpp"
#include "edit/edit.hpp"
#include "edit/line_index.hpp"
#include "transform/profiles.hpp"
#include "transform/report.hpp"

namespace tersewright::transform {

// What every branch hands back to the frame; the frame adds the size of the protected set.
struct BranchOutcome {
  // Borrowed only to mean the content itself, unchanged; anything else a branch makes is owned.
  Text output;
  std::uint64_t protected_bytes = 0;
  std::vector<RuleReport> rules;
  std::vector<FoldWarning> warnings;
  ParseStatus parse_status = ParseStatus::fallback;
  std::optional<bool> syntax_valid;
};

// Moves the edits of from to the end of to.
void append_edits(edit::EditList& to, edit::EditList&& from);

// The protected set of the content under the effective preservation settings.
edit::RangeSet protected_set_for(std::string_view content, const FoldSettings& settings);

// Applies one edit list to the content and tallies it; an empty list leaves the content as is.
void apply_single_list(std::string_view content, const edit::EditList& edits, BranchOutcome& outcome);

// The whitespace pair (trim, then blank lines) with no literal ranges and no hard breaks.
edit::EditList plain_whitespace_edits(const edit::LineIndex& lines, const edit::RangeSet& protected_set,
                                      const FoldSettings& settings);

// Whether a source fold under settings runs a structural rule (comment or docstring removal, or
// interface-only where lossy rules are allowed), which needs the content's whole analysis; without
// one, its clean-parse verdict and its strings are all the fold reads.
bool runs_structural_rules(const FoldSettings& settings);

// One per branch, each in its own file (text_branch.cpp, source_branch.cpp, ...). The protected set
// is the content's, made by protected_set_for.
BranchOutcome fold_text(std::string_view content, const FoldSettings& settings, const edit::RangeSet& protected_set);
BranchOutcome fold_source(std::string_view content, const FoldSettings& settings, const edit::RangeSet& protected_set,
                          const analyzer::Analyzer& analyzer);
BranchOutcome fold_markdown(std::string_view content, const FoldSettings& settings,
                            const edit::RangeSet& protected_set);
BranchOutcome fold_log(std::string_view content, const FoldSettings& settings, const edit::RangeSet& protected_set);
BranchOutcome fold_json(std::string_view content, const FoldSettings& settings, const edit::RangeSet& protected_set);

}  // namespace tersewright::transform

// The branch for the six source languages: structural rules on the content, whitespace rules on
// what they leave, and nothing at all when the content does not parse cleanly.
#include <string>
#include <utility>
#include <vector>

#include "edit/edit.hpp"
#include "edit/line_index.hpp"
#include "transform/branches.hpp"
#include "transform/comments.hpp"
#include "transform/interface_only.hpp"
#include "transform/whitespace.hpp"

namespace tersewright::transform {

namespace {

edit::EditList structural_edits(std::string_view content, const FoldSettings& settings,
                                const analyzer::Analysis& analysis, const edit::RangeSet& protected_set,
                                BranchOutcome& outcome) {
  edit::EditList edits;
  const bool comments = settings.rules.comments == CommentsMode::remove;
  const bool docstrings = settings.rules.docstrings;
  if (comments || docstrings) {
    const edit::LineIndex lines(content);
    if (comments) append_edits(edits, strip_comments(lines, protected_set, analysis.comments));
    if (docstrings) append_edits(edits, strip_docstrings(lines, protected_set, analysis.docstrings));
  }
  if (settings.rules.interface_only) {
    if (!settings.allow_lossy) {
      outcome.warnings.push_back(fixed_warning(WarningCode::lossy_rule_blocked));
    } else {
      append_edits(edits, interface_only(content, protected_set, analysis.error_handlers,
                                         settings.preservation.protect_error_handling, analysis.declarations,
                                         placeholder_style_for(analysis.language)));
    }
  }
  return edits;
}

}  // namespace

bool runs_structural_rules(const FoldSettings& settings) {
  return settings.rules.comments == CommentsMode::remove || settings.rules.docstrings ||
         (settings.rules.interface_only && settings.allow_lossy);
}

BranchOutcome fold_source(std::string_view content, const FoldSettings& settings, const edit::RangeSet& protected_set,
                          const analyzer::Analyzer& analyzer) {
  BranchOutcome outcome;
  // Without a structural rule, the walk looks for the strings only, as it does on text 1.
  const analyzer::Analysis analysis =
      runs_structural_rules(settings) ? analyzer.analyze(content) : analyzer.multiline_strings(content);

  if (!analysis.parse_ok) {
    outcome.output = Text::borrowed(content);
    outcome.warnings.push_back(fixed_warning(WarningCode::parse_failed));
    outcome.parse_status = ParseStatus::parse_failed;
    outcome.syntax_valid = false;
    return outcome;
  }

  const edit::EditList structural = structural_edits(content, settings, analysis, protected_set, outcome);
  // Without structural edits text 1 is the content itself, read in place rather than copied.
  edit::EditOutcome first;
  if (!structural.empty()) first = edit::apply_edits(content, structural);
  const std::string_view text1 = structural.empty() ? content : std::string_view(first.text);

  // The whitespace rules see only text 1: its own string literals and the protected set carried
  // into it. When text 1 does not parse, the content's literals are carried instead, so that no
  // string loses its inner whitespace in a fold that claims to be loss-free.
  std::vector<edit::ByteRange> literals;
  edit::RangeSet protected1;
  // Whether text 1 parses cleanly, known once it has been analysed: the parse is deterministic, so an
  // output with the same bytes gets the same verdict without being parsed again.
  bool text1_clean = analysis.parse_ok;
  if (text1 == content) {
    literals = analysis.strings;
    protected1 = protected_set;
  } else {
    analyzer::Analysis second = analyzer.multiline_strings(text1);
    text1_clean = second.parse_ok;
    literals = second.parse_ok ? std::move(second.strings) : edit::map_ranges(first.kept, analysis.strings);
    protected1 = edit::normalize_ranges(edit::map_ranges(first.kept, protected_set));
  }

  const edit::LineIndex lines1(text1);
  const BlankLineMode mode = settings.rules.blank_lines;
  edit::EditList whitespace = whitespace_edits(lines1, mode, protected1, literals,
                                               {.skip_whitespace_only_lines = mode != BlankLineMode::keep});

  bool output_is_text1 = true;
  if (whitespace.empty()) {
    outcome.output = structural.empty() ? Text::borrowed(content) : Text(std::move(first.text));
  } else {
    outcome.output = edit::apply_edits_text(text1, whitespace);
    output_is_text1 = outcome.output == text1;
  }
  outcome.rules = tally_rules(structural, whitespace);
  outcome.parse_status = ParseStatus::parsed;
  if (output_is_text1) {
    outcome.syntax_valid = text1_clean;
  } else {
    outcome.syntax_valid = outcome.output == content ? analysis.parse_ok : analyzer.parses_cleanly(outcome.output);
  }
  return outcome;
}

}  // namespace tersewright::transform

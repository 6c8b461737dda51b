#include "trees.hpp"

#include "edit/edit.hpp"

namespace tersewright::python {
namespace {

Value stats_tree(const transform::TextStats& stats) {
  Object members;
  members.set("bytes", stats.bytes);
  members.set("chars", stats.chars);
  members.set("lines", stats.lines);
  return members;
}

Value rule_tree(const edit::RuleReport& rule) {
  Object members;
  members.set("rule", edit::rule_name(rule.rule));
  members.set("rule_name", rule.rule_name);
  members.set("changes", rule.changes);
  members.set("bytes_removed", rule.bytes_removed);
  members.set("lossy", rule.lossy);
  members.set("description", rule.description);
  return members;
}

Value warning_tree(const transform::FoldWarning& warning) {
  Object members;
  members.set("code", warning.code);
  members.set("message", warning.message);
  return members;
}

Value budget_tree(const transform::BudgetReport& budget) {
  Object members;
  members.set("metric", budget.metric);
  if (budget.tokenizer) members.set("tokenizer", *budget.tokenizer);
  members.set("exact_tokens", budget.exact_tokens);
  members.set("limit", budget.limit);
  members.set("input", budget.input);
  members.set("output", budget.output);
  members.set("met", budget.met);
  return members;
}

template <class Item, class Tree>
Value array_of(const std::vector<Item>& items, Tree tree) {
  Array array;
  array.reserve(items.size());
  for (const auto& item : items) array.push_back(tree(item));
  return array;
}

}  // namespace

Value report_tree(const transform::Report& report) {
  Object members;
  members.set("engine_version", report.engine_version);
  members.set("profile", report.profile);
  members.set("profile_version", report.profile_version);
  members.set("profile_schema_version", report.profile_schema_version);
  members.set("detected_language", report.detected_language);
  members.set("parse_status", transform::parse_status_name(report.parse_status));
  members.set("behavior_preserving", report.behavior_preserving);
  members.set("semantic_equivalence", report.semantic_equivalence);
  if (report.syntax_valid) members.set("syntax_valid", *report.syntax_valid);
  members.set("input", stats_tree(report.input));
  members.set("output", stats_tree(report.output));
  members.set("reduction_ratio", report.reduction_ratio);
  members.set("rules", array_of(report.rules, rule_tree));
  members.set("warnings", array_of(report.warnings, warning_tree));
  if (report.budget) members.set("budget", budget_tree(*report.budget));
  members.set("protected_bytes", report.protected_bytes);
  return members;
}

Value profile_tree(const transform::Profile& profile) {
  const auto& rules = profile.rules;
  Object rule_members;
  rule_members.set("comments", transform::comments_mode_name(rules.comments));
  rule_members.set("docstrings", rules.docstrings);
  rule_members.set("blank_lines", transform::blank_line_mode_name(rules.blank_lines));
  rule_members.set("trim_trailing_whitespace", rules.trim_trailing_whitespace);
  rule_members.set("interface_only", rules.interface_only);
  rule_members.set("collapse_log_repeats",
                   rules.collapse_log_repeats ? Value(*rules.collapse_log_repeats) : Value(nullptr));
  rule_members.set("markdown_dedupe", rules.markdown_dedupe);

  const auto& preservation = profile.preservation;
  Array ranges;
  ranges.reserve(preservation.protected_ranges.size());
  for (const auto& range : preservation.protected_ranges) {
    Object bounds;
    bounds.set("start", range.start);
    bounds.set("end", range.end);
    ranges.emplace_back(std::move(bounds));
  }
  Array markers(preservation.protected_line_markers.begin(), preservation.protected_line_markers.end());
  Object preservation_members;
  preservation_members.set("protect_imports", preservation.protect_imports);
  preservation_members.set("protect_error_handling", preservation.protect_error_handling);
  preservation_members.set("protected_ranges", std::move(ranges));
  preservation_members.set("protected_line_markers", std::move(markers));

  Object loss;
  loss.set("allow_lossy", profile.loss.allow_lossy);

  Object members;
  members.set("name", profile.name);
  members.set("version", profile.version);
  members.set("description", profile.description);
  members.set("rules", std::move(rule_members));
  members.set("preservation", std::move(preservation_members));
  members.set("loss", std::move(loss));
  return members;
}

}  // namespace tersewright::python

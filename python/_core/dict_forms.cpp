#include "dict_forms.hpp"

#include "transform/report_walk.hpp"
#include "value_tree.hpp"

namespace tersewright::python {

PyObject* report_dict(const transform::Report& report) {
  TreeBuilder tree;
  transform::visit_report(report, tree);
  return to_python(tree.take());
}

PyObject* profile_dict(const transform::Profile& profile) {
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
  return to_python(Value(std::move(members)));
}

}  // namespace tersewright::python

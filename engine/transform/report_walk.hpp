// The one walk over a report that every serialised form (JSON text, Python dict) is built from.
//
// A sink receives the report as a stream of events:
//   begin_object(), end_object(), begin_array(), end_array(),
//   key(name) before the value of each member,
//   string(text), boolean(flag), integer(std::uint64_t), integer(std::int64_t), number(double).
// Members arrive in the report's declaration order; an optional member that is absent (syntax_valid,
// budget, budget.tokenizer) is not visited at all. Tags (language, rule, warning code, budget metric)
// arrive as their names; a rule also brings its description and lossiness from the rule table.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "analyzer/language.hpp"
#include "transform/report.hpp"
#include "transform/request.hpp"
#include "transform/rules.hpp"
#include "transform/warnings.hpp"

namespace tersewright::transform {

namespace report_walk {

// One call per member: the key, then its scalar value.
template <class Sink>
class Members {
 public:
  explicit Members(Sink& sink) : sink_(sink) { sink_.begin_object(); }
  Members(const Members&) = delete;
  Members& operator=(const Members&) = delete;
  // Not a destructor: a sink may throw, and a throwing destructor would end the process.
  void close() { sink_.end_object(); }

  Sink& key(std::string_view name) {
    sink_.key(name);
    return sink_;
  }
  void string(std::string_view name, std::string_view value) { key(name).string(value); }
  void boolean(std::string_view name, bool value) { key(name).boolean(value); }
  void integer(std::string_view name, std::uint64_t value) { key(name).integer(value); }
  void integer(std::string_view name, std::int64_t value) { key(name).integer(value); }
  void number(std::string_view name, double value) { key(name).number(value); }

 private:
  Sink& sink_;
};

template <class Sink>
void visit(const TextStats& stats, Sink& sink) {
  Members members(sink);
  members.integer("bytes", stats.bytes);
  members.integer("chars", stats.chars);
  members.integer("lines", stats.lines);
  members.close();
}

template <class Sink>
void visit(const RuleReport& rule, Sink& sink) {
  Members members(sink);
  members.string("rule", rule_name(rule.rule));
  members.string("rule_name", rule_name(rule.rule));
  members.integer("changes", rule.changes);
  members.integer("bytes_removed", rule.bytes_removed);
  members.boolean("lossy", rule_is_lossy(rule.rule));
  members.string("description", rule_description(rule.rule));
  members.close();
}

template <class Sink>
void visit(const FoldWarning& warning, Sink& sink) {
  Members members(sink);
  members.string("code", warning_code_name(warning.code));
  members.string("message", warning.message);
  members.close();
}

template <class Sink>
void visit(const BudgetReport& budget, Sink& sink) {
  Members members(sink);
  members.string("metric", budget_metric_name(budget.metric));
  if (budget.tokenizer) members.string("tokenizer", *budget.tokenizer);
  members.boolean("exact_tokens", budget.exact_tokens);
  members.integer("limit", budget.limit);
  members.integer("input", budget.input);
  members.integer("output", budget.output);
  members.boolean("met", budget.met);
  members.close();
}

template <class Item, class Sink>
void visit(const std::vector<Item>& items, Sink& sink) {
  sink.begin_array();
  for (const Item& item : items) visit(item, sink);
  sink.end_array();
}

}  // namespace report_walk

template <class Sink>
void visit_report(const Report& report, Sink& sink) {
  using report_walk::visit;
  report_walk::Members members(sink);
  members.string("engine_version", report.engine_version);
  members.string("profile", report.profile);
  members.integer("profile_version", std::uint64_t{report.profile_version});
  members.integer("profile_schema_version", std::uint64_t{report.profile_schema_version});
  members.string("detected_language", analyzer::language_id(report.detected_language));
  members.string("parse_status", parse_status_name(report.parse_status));
  members.boolean("behavior_preserving", report.behavior_preserving);
  members.string("semantic_equivalence", report.semantic_equivalence);
  if (report.syntax_valid) members.boolean("syntax_valid", *report.syntax_valid);
  visit(report.input, members.key("input"));
  visit(report.output, members.key("output"));
  members.number("reduction_ratio", report.reduction_ratio);
  visit(report.rules, members.key("rules"));
  visit(report.warnings, members.key("warnings"));
  if (report.budget) visit(*report.budget, members.key("budget"));
  members.integer("protected_bytes", report.protected_bytes);
  members.close();
}

}  // namespace tersewright::transform

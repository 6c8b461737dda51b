#include "transform/budget.hpp"

#include "edit/text.hpp"

namespace tersewright::transform {

std::string_view budget_metric_name(BudgetMetric metric) noexcept {
  switch (metric) {
    case BudgetMetric::tokens: return "tokens";
    case BudgetMetric::bytes: return "bytes";
    case BudgetMetric::characters: return "characters";
  }
  return "bytes";
}

Result<std::optional<BudgetOutcome>, InvalidConfig> check_budget(const std::optional<Budget>& budget,
                                                                 Tokenizer* tokenizer, std::string_view input,
                                                                 std::string_view output) {
  if (!budget) return std::optional<BudgetOutcome>{};
  BudgetOutcome outcome;
  BudgetReport& report = outcome.report;
  report.metric = budget->metric;
  report.exact_tokens = budget->metric == BudgetMetric::tokens;
  report.limit = budget->limit;
  switch (budget->metric) {
    case BudgetMetric::bytes:
      report.input = input.size();
      report.output = output.size();
      break;
    case BudgetMetric::characters:
      report.input = edit::count_chars(input);
      report.output = edit::count_chars(output);
      break;
    case BudgetMetric::tokens:
      if (!tokenizer) return InvalidConfig{ConfigProblem::token_budget_without_tokenizer};
      report.input = tokenizer->count(input);
      report.output = tokenizer->count(output);
      break;
  }
  if (tokenizer) report.tokenizer = tokenizer->name();
  report.met = report.output <= report.limit;
  if (!report.met) outcome.warning = budget_not_met_warning(report.output, report.limit, report.metric);
  return std::optional<BudgetOutcome>{std::move(outcome)};
}

}  // namespace tersewright::transform

// The budget step that ends every fold: measure, compare, report.
#pragma once

#include <optional>
#include <string_view>

#include "result.hpp"
#include "transform/errors.hpp"
#include "transform/report.hpp"
#include "transform/request.hpp"

namespace tersewright::transform {

struct BudgetOutcome {
  BudgetReport report;
  std::optional<FoldWarning> warning;  // budget_not_met
};

// Nothing when the request has no budget. The tokenizer, when present, is asked for its name once
// and, for a token budget, counts the input before the output.
Result<std::optional<BudgetOutcome>, InvalidConfig> check_budget(const std::optional<Budget>& budget,
                                                                 Tokenizer* tokenizer, std::string_view input,
                                                                 std::string_view output);

}  // namespace tersewright::transform

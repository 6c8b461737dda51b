// Every warning a fold can report: its code, the code's name and its message.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "analyzer/language.hpp"
#include "transform/request.hpp"

namespace tersewright::transform {

enum class WarningCode : std::uint8_t {
  parse_failed = 0,
  unsupported_language = 1,
  unsupported_format = 2,
  lossy_rule_blocked = 3,
  json_invalid = 4,
  budget_not_met = 5,
};

inline constexpr int warning_code_count = 6;

// "parse_failed", "unsupported_language", ...
std::string_view warning_code_name(WarningCode code) noexcept;

struct FoldWarning {
  WarningCode code = WarningCode::parse_failed;
  std::string message;
};

// The warnings whose message is fixed: parse_failed, unsupported_format, lossy_rule_blocked,
// json_invalid. The other two carry values and have their own makers below.
FoldWarning fixed_warning(WarningCode code);
FoldWarning unsupported_language_warning(analyzer::Language language);
FoldWarning budget_not_met_warning(std::uint64_t output, std::uint64_t limit, BudgetMetric metric);

}  // namespace tersewright::transform

#include "transform/warnings.hpp"

#include <array>
#include <initializer_list>

#include "result.hpp"

namespace tersewright::transform {

namespace {

struct WarningText {
  std::string_view name;
  std::string_view message;  // each "{}" takes the next value, in order
};

constexpr std::array<WarningText, warning_code_count> warning_table{{
    {"parse_failed", "input did not parse cleanly; no transformations were applied (conservative fallback)"},
    {"unsupported_language", "no analyzer registered for {}; content left unchanged"},
    {"unsupported_format", "format could not be detected; content left unchanged"},
    {"lossy_rule_blocked", "interface_only requested but loss policy does not allow lossy transformations"},
    {"json_invalid", "input is not valid JSON; whitespace-only fallback applied"},
    {"budget_not_met", "output size {} exceeds budget limit {} under metric '{}'"},
}};

const WarningText& text_of(WarningCode code) noexcept { return warning_table[static_cast<std::size_t>(code)]; }

FoldWarning filled(WarningCode code, std::initializer_list<std::string_view> values) {
  const std::string_view pattern = text_of(code).message;
  FoldWarning warning{code, {}};
  std::size_t from = 0;
  for (std::string_view value : values) {
    const std::size_t hole = pattern.find("{}", from);
    if (hole == std::string_view::npos) throw InternalError{"warning message has fewer holes than values"};
    warning.message.append(pattern.substr(from, hole - from)).append(value);
    from = hole + 2;
  }
  if (pattern.find("{}", from) != std::string_view::npos) throw InternalError{"warning message left with a hole"};
  warning.message.append(pattern.substr(from));
  return warning;
}

}  // namespace

std::string_view warning_code_name(WarningCode code) noexcept { return text_of(code).name; }

FoldWarning fixed_warning(WarningCode code) { return filled(code, {}); }

FoldWarning unsupported_language_warning(analyzer::Language language) {
  return filled(WarningCode::unsupported_language, {analyzer::language_id(language)});
}

FoldWarning budget_not_met_warning(std::uint64_t output, std::uint64_t limit, BudgetMetric metric) {
  return filled(WarningCode::budget_not_met,
                {std::to_string(output), std::to_string(limit), budget_metric_name(metric)});
}

}  // namespace tersewright::transform

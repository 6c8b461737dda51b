#include "transform/report.hpp"

#include "edit/text.hpp"

namespace tersewright::transform {

std::string_view parse_status_name(ParseStatus status) noexcept {
  switch (status) {
    case ParseStatus::parsed: return "parsed";
    case ParseStatus::parse_failed: return "parse_failed";
    case ParseStatus::unsupported: return "unsupported";
    case ParseStatus::fallback: return "fallback";
  }
  return "fallback";
}

TextStats measure(std::string_view text) noexcept {
  const edit::CharsAndLines counts = edit::count_chars_and_lines(text);
  return TextStats{text.size(), counts.chars, counts.lines};
}

double reduction_ratio(std::uint64_t input_bytes, std::uint64_t output_bytes) noexcept {
  if (input_bytes == 0) return 0.0;
  double ratio = 1.0 - static_cast<double>(output_bytes) / static_cast<double>(input_bytes);
  if (ratio < 0.0) return 0.0;
  if (ratio > 1.0) return 1.0;
  return ratio;
}

bool behavior_preserving(const std::vector<RuleReport>& rules) noexcept {
  for (const RuleReport& r : rules)
    if (rule_is_lossy(r.rule) && r.changes > 0) return false;
  return true;
}

}  // namespace tersewright::transform

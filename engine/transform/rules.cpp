#include "transform/rules.hpp"

#include <array>

namespace tersewright::transform {

using edit::Rule;

namespace {

struct RuleInfo {
  std::string_view name;
  std::string_view description;
  bool lossy;
};

constexpr std::array<RuleInfo, edit::rule_count> rule_table{{
    {"strip_comments", "Removed comment nodes.", false},
    {"strip_docstrings", "Removed Python docstrings.", true},
    {"collapse_blank_lines", "Collapsed runs of blank lines.", false},
    {"trim_trailing_whitespace", "Trimmed trailing whitespace on trivia lines.", false},
    {"interface_only", "Replaced declaration bodies with placeholders (lossy).", true},
    {"collapse_log_repeats", "Collapsed consecutive duplicate log events (lossy).", true},
    {"markdown_dedupe", "Removed adjacent duplicate prose lines (lossy).", true},
}};

const RuleInfo& info(Rule rule) noexcept { return rule_table[static_cast<std::size_t>(rule)]; }

}  // namespace

std::string_view rule_name(Rule rule) noexcept { return info(rule).name; }
std::string_view rule_description(Rule rule) noexcept { return info(rule).description; }
bool rule_is_lossy(Rule rule) noexcept { return info(rule).lossy; }

std::vector<RuleReport> tally_rules(const edit::EditList& first, const edit::EditList& second) {
  std::vector<RuleReport> reports;
  std::array<int, edit::rule_count> slot;
  slot.fill(-1);
  for (const edit::EditList* list : {&first, &second}) {
    for (const edit::Edit& e : *list) {
      std::size_t tag = static_cast<std::size_t>(e.rule);
      if (slot[tag] < 0) {
        slot[tag] = static_cast<int>(reports.size());
        reports.push_back(RuleReport{e.rule, 0, 0});
      }
      RuleReport& r = reports[static_cast<std::size_t>(slot[tag])];
      r.changes += 1;
      std::int64_t span = e.end > e.start ? static_cast<std::int64_t>(e.end - e.start) : 0;
      r.bytes_removed += span - static_cast<std::int64_t>(e.replacement.size());
    }
  }
  return reports;
}

}  // namespace tersewright::transform

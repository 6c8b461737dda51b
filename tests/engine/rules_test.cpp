// The rule and warning tables, and the per-rule tally of a fold's edits.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "result.hpp"
#include "transform/rules.hpp"
#include "transform/warnings.hpp"

namespace {

using namespace tersewright;
using edit::Edit;
using edit::EditList;
using edit::Rule;
using transform::WarningCode;

Edit del(std::uint64_t s, std::uint64_t e, Rule rule) { return Edit{"", s, e, rule}; }

struct RuleRow {
  Rule rule;
  const char* name;
  const char* description;
  bool lossy;
};

class RuleTable : public ::testing::TestWithParam<RuleRow> {};

TEST_P(RuleTable, NameDescriptionLossiness) {
  const RuleRow& row = GetParam();
  EXPECT_EQ(transform::rule_name(row.rule), row.name);
  EXPECT_EQ(transform::rule_description(row.rule), row.description);
  EXPECT_EQ(transform::rule_is_lossy(row.rule), row.lossy);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RuleTable,
    ::testing::Values(
        RuleRow{Rule::strip_comments, "strip_comments", "Removed comment nodes.", false},
        RuleRow{Rule::strip_docstrings, "strip_docstrings", "Removed Python docstrings.", true},
        RuleRow{Rule::collapse_blank_lines, "collapse_blank_lines", "Collapsed runs of blank lines.", false},
        RuleRow{Rule::trim_trailing_whitespace, "trim_trailing_whitespace",
                "Trimmed trailing whitespace on trivia lines.", false},
        RuleRow{Rule::interface_only, "interface_only", "Replaced declaration bodies with placeholders (lossy).",
                true},
        RuleRow{Rule::collapse_log_repeats, "collapse_log_repeats",
                "Collapsed consecutive duplicate log events (lossy).", true},
        RuleRow{Rule::markdown_dedupe, "markdown_dedupe", "Removed adjacent duplicate prose lines (lossy).", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Tally, FirstOccurrenceOrderAndNetBytes) {
  EditList first{del(0, 4, Rule::strip_comments), Edit{std::string(47, 'x'), 10, 23, Rule::interface_only},
                 del(30, 31, Rule::strip_comments)};
  EditList second{del(0, 2, Rule::trim_trailing_whitespace), Edit{"abc", 5, 5, Rule::collapse_blank_lines},
                  del(9, 3, Rule::strip_comments)};
  auto reports = transform::tally_rules(first, second);
  ASSERT_EQ(reports.size(), 4u);
  EXPECT_EQ(reports[0].rule, Rule::strip_comments);
  EXPECT_EQ(reports[0].changes, 3u);
  EXPECT_EQ(reports[0].bytes_removed, 5);
  EXPECT_EQ(reports[1].rule, Rule::interface_only);
  EXPECT_EQ(reports[1].bytes_removed, -34);
  EXPECT_EQ(reports[2].rule, Rule::trim_trailing_whitespace);
  EXPECT_EQ(reports[3].rule, Rule::collapse_blank_lines);
  EXPECT_EQ(reports[3].bytes_removed, -3);
  EXPECT_TRUE(transform::tally_rules({}, {}).empty());
}

struct WarningRow {
  WarningCode code;
  const char* name;
  transform::FoldWarning warning;  // as made for the code
  const char* message;
};

class Warnings : public ::testing::TestWithParam<WarningRow> {};

TEST_P(Warnings, NameAndMessage) {
  const WarningRow& row = GetParam();
  EXPECT_EQ(transform::warning_code_name(row.code), row.name);
  EXPECT_EQ(row.warning.code, row.code);
  EXPECT_EQ(row.warning.message, row.message);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Warnings,
    ::testing::Values(
        WarningRow{WarningCode::parse_failed, "parse_failed", transform::fixed_warning(WarningCode::parse_failed),
                   "input did not parse cleanly; no transformations were applied (conservative fallback)"},
        WarningRow{WarningCode::unsupported_language, "unsupported_language",
                   transform::unsupported_language_warning(analyzer::Language::tsx),
                   "no analyzer registered for tsx; content left unchanged"},
        WarningRow{WarningCode::unsupported_format, "unsupported_format",
                   transform::fixed_warning(WarningCode::unsupported_format),
                   "format could not be detected; content left unchanged"},
        WarningRow{WarningCode::lossy_rule_blocked, "lossy_rule_blocked",
                   transform::fixed_warning(WarningCode::lossy_rule_blocked),
                   "interface_only requested but loss policy does not allow lossy transformations"},
        WarningRow{WarningCode::json_invalid, "json_invalid", transform::fixed_warning(WarningCode::json_invalid),
                   "input is not valid JSON; whitespace-only fallback applied"},
        WarningRow{WarningCode::budget_not_met, "budget_not_met",
                   transform::budget_not_met_warning(UINT64_MAX, 0, transform::BudgetMetric::characters),
                   "output size 18446744073709551615 exceeds budget limit 0 under metric 'characters'"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Warnings, MessagesWithValuesHaveNoFixedForm) {
  EXPECT_THROW(transform::fixed_warning(WarningCode::budget_not_met), InternalError);
  EXPECT_THROW(transform::fixed_warning(WarningCode::unsupported_language), InternalError);
}

}  // namespace

// The fold frame: measuring, dispatch, the text branch, the unsupported path, budgets and the report.
#include <gtest/gtest.h>

#include "transform/fold.hpp"

namespace {

using namespace tersewright;
using analyzer::AnalyzerRegistry;
using analyzer::Language;
using transform::BudgetMetric;
using transform::FoldRequest;
using transform::ParseStatus;
using transform::WarningCode;

FoldRequest request(std::string content, std::string profile = "safe", std::optional<Language> language = {}) {
  FoldRequest r;
  r.content = std::move(content);
  r.profile = std::move(profile);
  r.language = language;
  return r;
}

transform::FoldResult fold_ok(FoldRequest r, const AnalyzerRegistry& registry = AnalyzerRegistry()) {
  auto result = transform::fold(registry, std::move(r));
  if (!result) throw std::runtime_error("fold failed");
  return std::move(result).value();
}

class CountingTokenizer : public transform::Tokenizer {
 public:
  explicit CountingTokenizer(std::vector<std::string>* seen) : seen_(seen) {}
  std::string name() const override { return "words"; }
  std::uint64_t count(std::string_view text) override {
    seen_->emplace_back(text);
    std::uint64_t n = 0;
    bool in_word = false;
    for (char c : text) {
      bool space = c == ' ' || c == '\n';
      n += !space && !in_word;
      in_word = !space;
    }
    return n;
  }

 private:
  std::vector<std::string>* seen_;
};

TEST(Fold, UnknownProfileFailsBeforeWork) {
  auto result = transform::fold(AnalyzerRegistry(), request("x", "Safe"));
  ASSERT_FALSE(result);
  ASSERT_TRUE(std::holds_alternative<transform::UnknownProfile>(result.error()));
  EXPECT_EQ(std::get<transform::UnknownProfile>(result.error()).name, "Safe");
  EXPECT_EQ(transform::error_message(result.error()), "Safe");
}

TEST(Fold, PlainTextReport) {
  auto r = fold_ok(request("caf\xc3\xa9  \n\n\n\nend\t\n", "safe", Language::text));
  EXPECT_EQ(r.output, "caf\xc3\xa9\n\nend\n");
  const auto& rep = r.report;
  EXPECT_EQ(rep.engine_version, "0.1.0");
  EXPECT_EQ(rep.profile, "safe");
  EXPECT_EQ(rep.profile_version, 1u);
  EXPECT_EQ(rep.profile_schema_version, 1u);
  EXPECT_EQ(rep.detected_language, Language::text);
  EXPECT_EQ(rep.parse_status, ParseStatus::fallback);
  EXPECT_FALSE(rep.syntax_valid.has_value());
  EXPECT_EQ(rep.semantic_equivalence, "not_guaranteed");
  EXPECT_TRUE(rep.behavior_preserving);
  EXPECT_EQ(rep.input, (transform::TextStats{16, 15, 5}));
  EXPECT_EQ(rep.output, (transform::TextStats{11, 10, 3}));
  EXPECT_DOUBLE_EQ(rep.reduction_ratio, 1.0 - 11.0 / 16.0);
  ASSERT_EQ(rep.rules.size(), 2u);
  EXPECT_EQ(rep.rules[0].rule, edit::Rule::trim_trailing_whitespace);
  EXPECT_EQ(rep.rules[0].changes, 2u);
  EXPECT_EQ(rep.rules[0].bytes_removed, 3);
  EXPECT_EQ(rep.rules[1].rule, edit::Rule::collapse_blank_lines);
  EXPECT_EQ(rep.rules[1].bytes_removed, 2);
  EXPECT_TRUE(rep.warnings.empty());
  EXPECT_FALSE(rep.budget.has_value());
  EXPECT_EQ(rep.protected_bytes, 0u);
}

TEST(Fold, UntouchedTextHasNoRules) {
  auto r = fold_ok(request("clean\ntext\n", "code-review", Language::text));
  EXPECT_EQ(r.output, "clean\ntext\n");
  EXPECT_TRUE(r.report.rules.empty());
  EXPECT_EQ(r.report.reduction_ratio, 0.0);
}

struct UnsupportedCase {
  const char* name;
  std::string content;
  std::optional<Language> language;
  transform::WarningCode code;
  std::string message;
  Language detected;
};

class Unsupported : public ::testing::TestWithParam<UnsupportedCase> {};

TEST_P(Unsupported, LeavesContentUnchanged) {
  const UnsupportedCase& c = GetParam();
  FoldRequest r = request(c.content, "safe", c.language);
  r.protected_ranges = std::vector<edit::ByteRange>{{0, 3}};
  auto result = fold_ok(std::move(r));  // empty registry: no analyzers at all
  EXPECT_EQ(result.output, c.content);
  EXPECT_EQ(result.report.parse_status, ParseStatus::unsupported);
  EXPECT_FALSE(result.report.syntax_valid.has_value());
  EXPECT_EQ(result.report.protected_bytes, 0u);
  EXPECT_TRUE(result.report.rules.empty());
  EXPECT_EQ(result.report.detected_language, c.detected);
  ASSERT_EQ(result.report.warnings.size(), 1u);
  EXPECT_EQ(result.report.warnings[0].code, c.code);
  EXPECT_EQ(result.report.warnings[0].message, c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Unsupported,
    ::testing::Values(
        UnsupportedCase{"go_without_analyzer", "package main  \n\n\n", Language::go, WarningCode::unsupported_language,
                        "no analyzer registered for go; content left unchanged", Language::go},
        UnsupportedCase{"python_without_analyzer", "x = 1  \n", Language::python, WarningCode::unsupported_language,
                        "no analyzer registered for python; content left unchanged", Language::python},
        UnsupportedCase{"empty_detected_unknown", "", std::nullopt, WarningCode::unsupported_format,
                        "format could not be detected; content left unchanged", Language::unknown},
        UnsupportedCase{"prose_detected_unknown", "just some words  \n\n\n", std::nullopt,
                        WarningCode::unsupported_format, "format could not be detected; content left unchanged",
                        Language::unknown}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Fold, ProtectedBytesCountMergedRangesUnclipped) {
  FoldRequest r = request("abc  \n", "safe", Language::text);
  r.protected_ranges = std::vector<edit::ByteRange>{{0, 5}, {3, 10}, {50, 40}};
  auto result = fold_ok(std::move(r));
  EXPECT_EQ(result.report.protected_bytes, 10u);
  EXPECT_EQ(result.output, "abc  \n");  // the only line is protected
}

TEST(Fold, MarkersReplaceDefaultsWhenGiven) {
  const std::string text = "a  tersewright:keep  \nb  KEEP  \n";
  EXPECT_EQ(fold_ok(request(text, "safe", Language::text)).output, "a  tersewright:keep  \nb  KEEP\n");
  FoldRequest r = request(text, "safe", Language::text);
  r.protected_line_markers = std::vector<std::string>{"KEEP"};
  EXPECT_EQ(fold_ok(std::move(r)).output, "a  tersewright:keep\nb  KEEP  \n");
  FoldRequest none = request(text, "safe", Language::text);
  none.protected_line_markers = std::vector<std::string>{};
  EXPECT_EQ(fold_ok(std::move(none)).output, "a  tersewright:keep\nb  KEEP\n");
}

struct BudgetCase {
  const char* name;
  BudgetMetric metric;
  std::uint64_t limit;
  bool met;
  std::uint64_t input;
  std::uint64_t output;
  const char* metric_name;
};

class Budgets : public ::testing::TestWithParam<BudgetCase> {};

TEST_P(Budgets, MeasuredAfterFolding) {
  const BudgetCase& c = GetParam();
  // Input 15 bytes / 13 characters; output 13 bytes / 11 characters.
  FoldRequest r = request("h\xc3\xa9llo w\xc3\xb6rld  ", "safe", Language::text);
  r.budget = transform::Budget{c.metric, c.limit};
  auto result = fold_ok(std::move(r));
  EXPECT_EQ(result.output, "h\xc3\xa9llo w\xc3\xb6rld");
  ASSERT_TRUE(result.report.budget.has_value());
  const auto& b = *result.report.budget;
  EXPECT_EQ(b.met, c.met);
  EXPECT_EQ(b.input, c.input);
  EXPECT_EQ(b.output, c.output);
  EXPECT_EQ(b.limit, c.limit);
  EXPECT_FALSE(b.exact_tokens);
  EXPECT_FALSE(b.tokenizer.has_value());
  if (c.met) {
    EXPECT_TRUE(result.report.warnings.empty());
  } else {
    ASSERT_EQ(result.report.warnings.size(), 1u);
    EXPECT_EQ(result.report.warnings[0].code, WarningCode::budget_not_met);
    EXPECT_EQ(result.report.warnings[0].message, "output size " + std::to_string(c.output) + " exceeds budget limit " +
                                                     std::to_string(c.limit) + " under metric '" + c.metric_name + "'");
  }
}

INSTANTIATE_TEST_SUITE_P(Table, Budgets,
                         ::testing::Values(
                             BudgetCase{"bytes_equal", BudgetMetric::bytes, 13, true, 15, 13, "bytes"},
                             BudgetCase{"bytes_one_below", BudgetMetric::bytes, 12, false, 15, 13, "bytes"},
                             BudgetCase{"chars_met", BudgetMetric::characters, 11, true, 13, 11, "characters"},
                             BudgetCase{"chars_not_met", BudgetMetric::characters, 10, false, 13, 11, "characters"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Budgets, MessageForTenByteOutput) {
  FoldRequest r = request("0123456789", "safe", Language::text);
  r.budget = transform::Budget{BudgetMetric::bytes, 9};
  auto result = fold_ok(std::move(r));
  ASSERT_EQ(result.report.warnings.size(), 1u);
  EXPECT_EQ(result.report.warnings.back().message, "output size 10 exceeds budget limit 9 under metric 'bytes'");
}

TEST(Budgets, ZeroLimitEmptyOutputIsMet) {
  FoldRequest r = request("", "safe", Language::text);
  r.budget = transform::Budget{BudgetMetric::bytes, 0};
  EXPECT_TRUE(fold_ok(std::move(r)).report.budget->met);
}

TEST(Budgets, TokensCountInputThenOutput) {
  std::vector<std::string> seen;
  FoldRequest r = request("one two  \n\n\nthree\n", "safe", Language::text);
  r.budget = transform::Budget{BudgetMetric::tokens, 2};
  r.tokenizer = std::make_unique<CountingTokenizer>(&seen);
  auto result = fold_ok(std::move(r));
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], "one two  \n\n\nthree\n");
  EXPECT_EQ(seen[1], "one two\n\nthree\n");
  const auto& b = *result.report.budget;
  EXPECT_EQ(b.metric, BudgetMetric::tokens);
  EXPECT_TRUE(b.exact_tokens);
  EXPECT_EQ(b.tokenizer, "words");
  EXPECT_EQ(b.input, 3u);
  EXPECT_FALSE(b.met);
  EXPECT_EQ(result.report.warnings.back().code, WarningCode::budget_not_met);
}

TEST(Budgets, BytesBudgetWithTokenizerNamesItWithoutCounting) {
  std::vector<std::string> seen;
  FoldRequest r = request("abc\n", "safe", Language::text);
  r.budget = transform::Budget{BudgetMetric::bytes, 100};
  r.tokenizer = std::make_unique<CountingTokenizer>(&seen);
  auto result = fold_ok(std::move(r));
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(result.report.budget->tokenizer, "words");
  EXPECT_FALSE(result.report.budget->exact_tokens);
}

TEST(Budgets, TokenBudgetWithoutTokenizerIsInvalidConfig) {
  FoldRequest r = request("abc\n", "safe", Language::text);
  r.budget = transform::Budget{BudgetMetric::tokens, 5};
  auto result = transform::fold(AnalyzerRegistry(), std::move(r));
  ASSERT_FALSE(result);
  ASSERT_TRUE(std::holds_alternative<transform::InvalidConfig>(result.error()));
  EXPECT_EQ(transform::error_message(result.error()), "token budget requires a tokenizer");
}

TEST(Budgets, BudgetNeverChangesOutput) {
  const std::string text = "a  \n\n\n\nb\n";
  FoldRequest with = request(text, "budgeted", Language::text);
  with.budget = transform::Budget{BudgetMetric::bytes, 1};
  EXPECT_EQ(fold_ok(std::move(with)).output, fold_ok(request(text, "budgeted", Language::text)).output);
}

TEST(Report, RatioAndPreservation) {
  EXPECT_EQ(transform::reduction_ratio(0, 0), 0.0);
  EXPECT_EQ(transform::reduction_ratio(10, 20), 0.0);
  EXPECT_EQ(transform::reduction_ratio(8, 6), 0.25);
  EXPECT_EQ(transform::reduction_ratio(8, 0), 1.0);
  transform::RuleReport lossy{edit::Rule::strip_docstrings, 1, 5};
  transform::RuleReport lossless{edit::Rule::strip_comments, 3, 5};
  EXPECT_FALSE(transform::behavior_preserving({lossless, lossy}));
  lossy.changes = 0;
  EXPECT_TRUE(transform::behavior_preserving({lossless, lossy}));
  EXPECT_TRUE(transform::behavior_preserving({}));
}

}  // namespace

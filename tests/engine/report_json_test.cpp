// The report's JSON text: member order, optional members, nesting and the scalar notations.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "analyzer/json.hpp"
#include "transform/report_json.hpp"

namespace {

using namespace tersewright;

struct JsonCase {
  const char* name;
  transform::Report report;
  std::string json;
};

transform::Report full_report() {
  transform::Report r;
  r.engine_version = "0.1.0";
  r.profile = "interface-only";
  r.profile_version = 1;
  r.profile_schema_version = 1;
  r.detected_language = analyzer::Language::go;
  r.parse_status = transform::ParseStatus::parsed;
  r.behavior_preserving = false;
  r.semantic_equivalence = "not_guaranteed";
  r.syntax_valid = false;
  r.input = {40, 38, 3};
  r.output = {52, 50, 3};
  r.reduction_ratio = 0.0;
  r.rules = {transform::RuleReport{edit::Rule::interface_only, 2, -12},
             transform::RuleReport{edit::Rule::strip_comments, 1, 4}};
  r.warnings = {transform::FoldWarning{transform::WarningCode::budget_not_met, "a \"quoted\"\tline\n"}};
  r.budget = transform::BudgetReport{transform::BudgetMetric::tokens, "t\\k", true, UINT64_MAX, 40, 52, false};
  r.protected_bytes = 7;
  return r;
}

transform::Report budget_without_tokenizer() {
  transform::Report r;
  r.syntax_valid = true;
  r.reduction_ratio = 0.25;
  r.budget = transform::BudgetReport{transform::BudgetMetric::bytes, std::nullopt, false, 3, 4, 3, true};
  return r;
}

class ReportJson : public ::testing::TestWithParam<JsonCase> {};

TEST_P(ReportJson, Text) { EXPECT_EQ(transform::report_to_json(GetParam().report), GetParam().json); }

INSTANTIATE_TEST_SUITE_P(
    Table, ReportJson,
    ::testing::Values(
        JsonCase{"defaults_without_optional_members", transform::Report{},
                 R"({"engine_version":"","profile":"","profile_version":1,"profile_schema_version":1,)"
                 R"("detected_language":"unknown","parse_status":"fallback","behavior_preserving":true,)"
                 R"("semantic_equivalence":"","input":{"bytes":0,"chars":0,"lines":0},)"
                 R"("output":{"bytes":0,"chars":0,"lines":0},"reduction_ratio":0.0,"rules":[],"warnings":[],)"
                 R"("protected_bytes":0})"},
        JsonCase{"every_member", full_report(),
                 R"({"engine_version":"0.1.0","profile":"interface-only","profile_version":1,)"
                 R"("profile_schema_version":1,"detected_language":"go","parse_status":"parsed",)"
                 R"("behavior_preserving":false,"semantic_equivalence":"not_guaranteed","syntax_valid":false,)"
                 R"("input":{"bytes":40,"chars":38,"lines":3},"output":{"bytes":52,"chars":50,"lines":3},)"
                 R"("reduction_ratio":0.0,"rules":[{"rule":"interface_only","rule_name":"interface_only",)"
                 R"("changes":2,"bytes_removed":-12,"lossy":true,)"
                 R"("description":"Replaced declaration bodies with placeholders (lossy)."},)"
                 R"({"rule":"strip_comments","rule_name":"strip_comments","changes":1,"bytes_removed":4,)"
                 R"("lossy":false,"description":"Removed comment nodes."}],)"
                 R"("warnings":[{"code":"budget_not_met","message":"a \"quoted\"\tline\n"}],)"
                 R"("budget":{"metric":"tokens","tokenizer":"t\\k","exact_tokens":true,)"
                 R"("limit":18446744073709551615,"input":40,"output":52,"met":false},"protected_bytes":7})"},
        JsonCase{"budget_without_tokenizer", budget_without_tokenizer(),
                 R"({"engine_version":"","profile":"","profile_version":1,"profile_schema_version":1,)"
                 R"("detected_language":"unknown","parse_status":"fallback","behavior_preserving":true,)"
                 R"("semantic_equivalence":"","syntax_valid":true,"input":{"bytes":0,"chars":0,"lines":0},)"
                 R"("output":{"bytes":0,"chars":0,"lines":0},"reduction_ratio":0.25,"rules":[],"warnings":[],)"
                 R"("budget":{"metric":"bytes","exact_tokens":false,"limit":3,"input":4,"output":3,"met":true},)"
                 R"("protected_bytes":0})"}),
    [](const auto& info) { return std::string(info.param.name); });

// Every byte value at every position of strings up to three words long is written as the JSON
// writer's own string notation would write it.
TEST(ReportJson, StringsAsTheJsonWriterQuotesThem) {
  for (std::size_t size = 1; size <= 24; ++size) {
    for (std::size_t at = 0; at < size; ++at) {
      for (int byte = 0; byte < 256; ++byte) {
        transform::Report r;
        r.profile = std::string(size, 'a');
        r.profile[at] = static_cast<char>(byte);
        std::string expected = R"({"engine_version":"","profile":)";
        analyzer::json::append_string(expected, r.profile);
        const std::string json = transform::report_to_json(r);
        ASSERT_EQ(json.substr(0, expected.size()), expected) << size << " " << at << " " << byte;
        ASSERT_EQ(json[expected.size()], ',');
      }
    }
  }
}

}  // namespace

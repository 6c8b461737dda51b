#include "transform/fold.hpp"

#include "transform/branches.hpp"
#include "transform/budget.hpp"

namespace tersewright::transform {

using analyzer::Language;

namespace {

// No branch serves the content: it comes back unchanged, with the warning that says why.
BranchOutcome fold_unsupported(std::string_view content, FoldWarning warning) {
  BranchOutcome outcome;
  outcome.output = Text::borrowed(content);
  outcome.warnings.push_back(std::move(warning));
  outcome.parse_status = ParseStatus::unsupported;
  return outcome;
}

BranchOutcome run_branch(const analyzer::Analyzer* analyzer, Language language, std::string_view content,
                         const FoldSettings& settings, const edit::RangeSet& protected_set) {
  switch (language) {
    case Language::python:
    case Language::rust:
    case Language::javascript:
    case Language::typescript:
    case Language::tsx:
    case Language::go: return fold_source(content, settings, protected_set, *analyzer);
    case Language::markdown: return fold_markdown(content, settings, protected_set);
    case Language::log: return fold_log(content, settings, protected_set);
    case Language::json: return fold_json(content, settings, protected_set);
    case Language::text: return fold_text(content, settings, protected_set);
    case Language::unknown: break;
  }
  throw InternalError{"no branch serves the unknown language"};
}

BranchOutcome dispatch(const analyzer::AnalyzerRegistry& registry, Language language, std::string_view content,
                       const FoldSettings& settings) {
  if (language == Language::unknown) return fold_unsupported(content, fixed_warning(WarningCode::unsupported_format));
  const analyzer::Analyzer* analyzer = nullptr;
  if (analyzer::is_source_language(language)) {
    analyzer = registry.find(language);
    if (!analyzer) return fold_unsupported(content, unsupported_language_warning(language));
  }
  // Every branch honours the same protected set, and the report counts it whatever the branch did.
  const edit::RangeSet protected_set = protected_set_for(content, settings);
  BranchOutcome outcome = run_branch(analyzer, language, content, settings, protected_set);
  outcome.protected_bytes = edit::total_length(protected_set);
  return outcome;
}

}  // namespace

Result<FoldResult, EngineError> fold(const analyzer::AnalyzerRegistry& registry, FoldRequest request) {
  auto profile = lookup_profile(request.profile);
  if (!profile) return EngineError{std::move(profile.error())};
  const FoldSettings settings = resolve_settings(request, profile.value());

  const std::string_view content = request.content;
  const TextStats input = measure(content);
  const Language language = request.language
                                ? *request.language
                                : analyzer::detect_language(request.path ? std::optional<std::string_view>(*request.path)
                                                                         : std::nullopt,
                                                            content);

  BranchOutcome branch = dispatch(registry, language, content, settings);

  FoldResult result;
  Report& report = result.report;
  report.output = measure(branch.output);

  auto budget = check_budget(request.budget, request.tokenizer.get(), content, branch.output);
  if (!budget) return EngineError{budget.error()};

  report.engine_version = std::string(engine_version);
  report.profile = settings.profile_name;
  report.profile_version = settings.profile_version;
  report.profile_schema_version = profile_schema_version;
  report.detected_language = language;
  report.parse_status = branch.parse_status;
  report.behavior_preserving = behavior_preserving(branch.rules);
  report.semantic_equivalence = "not_guaranteed";
  report.syntax_valid = branch.syntax_valid;
  report.input = input;
  report.reduction_ratio = reduction_ratio(input.bytes, report.output.bytes);
  report.rules = std::move(branch.rules);
  report.warnings = std::move(branch.warnings);
  if (budget.value()) {
    if (budget.value()->warning) report.warnings.push_back(std::move(*budget.value()->warning));
    report.budget = std::move(budget.value()->report);
  }
  report.protected_bytes = branch.protected_bytes;
  result.output = branch.output.is_borrowed() ? std::move(request.content) : std::move(branch.output);
  return result;
}

}  // namespace tersewright::transform

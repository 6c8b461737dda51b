// The whole fold over arbitrary text, with the profile, language, loss policy, protection and budget
// drawn from the input. Beyond surviving, every fold must keep the promises a caller relies on: the
// report describes the texts it returned, content that cannot be handled comes back unchanged, lines
// that carry a protection marker survive byte for byte, and only the rules a profile enables for the
// content appear in the report.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analyzer/json.hpp"
#include "analyzer/language.hpp"
#include "analyzer/syntax.hpp"
#include "fuzz_support.hpp"
#include "transform/fold.hpp"

namespace {

using namespace tersewright;
using analyzer::Language;
using edit::Rule;
using transform::ParseStatus;

// What each built-in profile enables, restated from its documented settings.
struct ProfileFacts {
  std::string_view name;
  bool strip_comments;
  bool strip_docstrings;
  bool interface_only;
  bool collapse_log_repeats;
  bool markdown_dedupe;
  bool allow_lossy;
};

constexpr std::array<ProfileFacts, 6> profile_facts{{
    {"safe", true, false, false, false, false, false},
    {"code-review", false, false, false, false, false, false},
    {"interface-only", false, false, true, false, false, true},
    {"documentation", false, false, false, false, true, true},
    {"logs", false, false, false, true, false, true},
    {"budgeted", true, true, false, true, true, true},
}};

// Names that must not resolve: the lookup is exact.
constexpr std::array<std::string_view, 4> unknown_profiles{{"", "Safe", " safe", "code_review"}};

constexpr std::array<std::string_view, 14> paths{{"x.py", "a/b.RS", "c.mjs", "d.ts", "e.tsx", "f.go", "g.md",
                                                   "h.log", "i.json", "j.txt", "Makefile", "k.bin", "go", ""}};

constexpr std::array<std::string_view, 10> marker_table{
    {"tersewright:keep", "@tersewright-keep", "", "#", " ", "keep", "\t", "[", "tersewright", "\r"}};

const analyzer::AnalyzerRegistry& registry() {
  static const analyzer::AnalyzerRegistry built_in = analyzer::AnalyzerRegistry::built_in();
  return built_in;
}

// Counts a quarter of the bytes, and records the order of the calls.
class RecordingTokenizer final : public transform::Tokenizer {
 public:
  RecordingTokenizer(std::vector<std::string>* counted, int* names) : counted_(counted), names_(names) {}
  std::string name() const override {
    ++*names_;
    return "quarter";
  }
  std::uint64_t count(std::string_view text) override {
    counted_->emplace_back(text);
    return text.size() / 4;
  }

 private:
  std::vector<std::string>* counted_;
  int* names_;
};

enum class BudgetKind { none, bytes, characters, tokens, tokens_without_tokenizer };

struct Params {
  std::string profile;
  const ProfileFacts* facts = nullptr;
  std::optional<Language> language;
  std::optional<std::string> path;
  std::optional<bool> allow_lossy;
  std::optional<std::vector<edit::ByteRange>> ranges;
  std::optional<std::vector<std::string>> markers;
  BudgetKind budget = BudgetKind::none;
  std::uint64_t limit = 0;
  std::string content;
};

Params draw(FuzzedDataProvider& in) {
  Params p;
  const auto profile_pick = in.ConsumeIntegralInRange<std::size_t>(0, 6 * 4 + unknown_profiles.size() - 1);
  if (profile_pick < 6 * 4) {
    p.facts = &profile_facts[profile_pick % 6];
    p.profile = std::string(p.facts->name);
  } else {
    p.profile = std::string(unknown_profiles[profile_pick - 6 * 4]);
  }

  const auto language_pick = in.ConsumeIntegralInRange<int>(0, 2 * analyzer::language_count - 1);
  if (language_pick < analyzer::language_count) {
    p.language = static_cast<Language>(language_pick);
  } else {
    const auto path_pick = in.ConsumeIntegralInRange<std::size_t>(0, paths.size());
    if (path_pick < paths.size()) p.path = std::string(paths[path_pick]);
  }

  switch (in.ConsumeIntegralInRange<int>(0, 2)) {
    case 1: p.allow_lossy = false; break;
    case 2: p.allow_lossy = true; break;
    default: break;
  }

  if (in.ConsumeBool()) {
    p.ranges.emplace();
    const int count = in.ConsumeIntegralInRange<int>(0, 4);
    for (int i = 0; i < count; ++i) {
      const auto start = in.ConsumeIntegralInRange<std::uint64_t>(0, 5000);
      const auto end = in.ConsumeBool() ? in.ConsumeIntegralInRange<std::uint64_t>(0, 5000) : UINT64_MAX;
      p.ranges->push_back(edit::ByteRange{start, end});
    }
  }

  std::vector<int> marker_picks;
  const int marker_mode = in.ConsumeIntegralInRange<int>(0, 3);  // 0, 1: defaults; 2: none; 3: own
  if (marker_mode == 2) p.markers.emplace();
  if (marker_mode == 3) {
    const int count = in.ConsumeIntegralInRange<int>(1, 3);
    for (int i = 0; i < count; ++i)
      marker_picks.push_back(in.ConsumeIntegralInRange<int>(0, static_cast<int>(marker_table.size())));
  }

  p.budget = static_cast<BudgetKind>(in.ConsumeIntegralInRange<int>(0, 4));
  p.limit = in.ConsumeIntegralInRange<std::uint64_t>(0, 6000);

  if (marker_mode == 3) {
    p.markers.emplace();
    for (int pick : marker_picks) {
      if (pick < static_cast<int>(marker_table.size()))
        p.markers->emplace_back(marker_table[pick]);
      else
        p.markers->push_back(fuzz::to_valid_utf8(in.ConsumeRandomLengthString(6)));
    }
  }
  p.content = fuzz::to_valid_utf8(in.ConsumeRemainingBytesAsString());
  return p;
}

// A borrowed request views p's content, as the binding lends a str; otherwise it owns a copy.
transform::FoldRequest make_request(const Params& p, std::vector<std::string>* counted, int* names,
                                    bool borrowed = false) {
  transform::FoldRequest r;
  r.content = borrowed ? transform::Text::borrowed(p.content) : transform::Text(p.content);
  r.profile = p.profile;
  r.path = p.path;
  r.language = p.language;
  r.allow_lossy = p.allow_lossy;
  r.protected_ranges = p.ranges;
  r.protected_line_markers = p.markers;
  switch (p.budget) {
    case BudgetKind::none: break;
    case BudgetKind::bytes: r.budget = transform::Budget{transform::BudgetMetric::bytes, p.limit}; break;
    case BudgetKind::characters: r.budget = transform::Budget{transform::BudgetMetric::characters, p.limit}; break;
    case BudgetKind::tokens:
      r.budget = transform::Budget{transform::BudgetMetric::tokens, p.limit};
      r.tokenizer = std::make_unique<RecordingTokenizer>(counted, names);
      break;
    case BudgetKind::tokens_without_tokenizer:
      r.budget = transform::Budget{transform::BudgetMetric::tokens, p.limit};
      break;
  }
  return r;
}

// Everything a report says, in one comparable text.
std::string fingerprint(const transform::FoldResult& result) {
  const transform::Report& r = result.report;
  std::string s(result.output.view());
  const auto add = [&](std::string_view part) {
    s.push_back('\x1f');
    s.append(part);
  };
  add(r.engine_version);
  add(r.profile);
  add(std::to_string(r.profile_version));
  add(std::to_string(r.profile_schema_version));
  add(analyzer::language_id(r.detected_language));
  add(std::to_string(static_cast<int>(r.parse_status)));
  add(r.behavior_preserving ? "bp" : "lossy");
  add(r.semantic_equivalence);
  add(r.syntax_valid ? (*r.syntax_valid ? "valid" : "invalid") : "none");
  for (auto v : {r.input.bytes, r.input.chars, r.input.lines, r.output.bytes, r.output.chars, r.output.lines,
                 r.protected_bytes})
    add(std::to_string(v));
  std::string ratio;
  analyzer::json::append_double(ratio, r.reduction_ratio);
  add(ratio);
  for (const auto& rule : r.rules) {
    add(transform::rule_name(rule.rule));
    add(std::to_string(rule.changes));
    add(std::to_string(rule.bytes_removed));
  }
  for (const auto& w : r.warnings) {
    add(transform::warning_code_name(w.code));
    add(w.message);
  }
  if (r.budget) {
    add(transform::budget_metric_name(r.budget->metric));
    add(r.budget->tokenizer.value_or("-"));
    add(r.budget->exact_tokens ? "exact" : "inexact");
    for (auto v : {r.budget->limit, r.budget->input, r.budget->output}) add(std::to_string(v));
    add(r.budget->met ? "met" : "unmet");
  }
  return s;
}

std::vector<std::string> effective_markers(const Params& p) {
  if (p.markers) return *p.markers;
  return {"tersewright:keep", "@tersewright-keep"};
}

std::uint64_t expected_protected_bytes(const Params& p) {
  std::vector<fuzz::Span> spans;
  if (p.ranges)
    for (const auto& r : *p.ranges) spans.push_back(fuzz::Span{r.start, r.end});
  const std::vector<std::string> markers = effective_markers(p);
  for (const fuzz::Line& line : fuzz::split_lines(p.content))
    if (fuzz::marker_in(line.content, markers)) spans.push_back(fuzz::Span{line.start, line.start + line.whole.size()});
  std::uint64_t total = 0;
  for (const fuzz::Span& s : fuzz::normalize(std::move(spans))) total += s.end - s.start;
  return total;
}

std::vector<std::string_view> marker_lines(std::string_view text, const std::vector<std::string>& markers) {
  std::vector<std::string_view> found;
  for (const fuzz::Line& line : fuzz::split_lines(text))
    if (fuzz::marker_in(line.content, markers)) found.push_back(line.whole);
  return found;
}

bool rule_present(const transform::Report& report, Rule rule) {
  for (const auto& entry : report.rules)
    if (entry.rule == rule) return true;
  return false;
}

void check_report_values(const Params& p, const transform::FoldResult& result, Language language) {
  const transform::Report& report = result.report;
  const ProfileFacts& facts = *p.facts;
  const bool allow_lossy = p.allow_lossy.value_or(facts.allow_lossy);

  FUZZ_CHECK(fuzz::is_valid_utf8(result.output));
  FUZZ_CHECK(report.engine_version == "0.1.0");
  FUZZ_CHECK(report.profile == p.profile);
  FUZZ_CHECK(report.profile_version == 1 && report.profile_schema_version == 1);
  FUZZ_CHECK(report.semantic_equivalence == "not_guaranteed");
  FUZZ_CHECK(report.detected_language == language);

  const fuzz::Measures in = fuzz::measure(p.content), out = fuzz::measure(result.output);
  FUZZ_CHECK(report.input.bytes == in.bytes && report.input.chars == in.chars && report.input.lines == in.lines);
  FUZZ_CHECK(report.output.bytes == out.bytes && report.output.chars == out.chars && report.output.lines == out.lines);
  double ratio = in.bytes == 0 ? 0.0 : 1.0 - static_cast<double>(out.bytes) / static_cast<double>(in.bytes);
  ratio = ratio < 0.0 ? 0.0 : (ratio > 1.0 ? 1.0 : ratio);
  FUZZ_CHECK(report.reduction_ratio == ratio);

  // Rule entries: one per rule, each with changes, lossy as the rule table says.
  bool any_lossy_change = false;
  std::array<bool, edit::rule_count> seen{};
  for (const auto& entry : report.rules) {
    const auto tag = static_cast<std::size_t>(entry.rule);
    FUZZ_CHECK(tag < edit::rule_count && !seen[tag]);
    seen[tag] = true;
    FUZZ_CHECK(entry.changes > 0);
    const bool lossy = entry.rule == Rule::strip_docstrings || entry.rule == Rule::interface_only ||
                       entry.rule == Rule::collapse_log_repeats || entry.rule == Rule::markdown_dedupe;
    FUZZ_CHECK(transform::rule_is_lossy(entry.rule) == lossy);
    any_lossy_change = any_lossy_change || (lossy && entry.changes > 0);
  }
  FUZZ_CHECK(report.behavior_preserving == !any_lossy_change);

  // Which branch ran, told by the language alone, and what it may report.
  const bool source = analyzer::is_source_language(language);
  std::size_t branch_warnings = report.warnings.size();
  const bool budget_warning =
      !report.warnings.empty() && report.warnings.back().code == transform::WarningCode::budget_not_met;
  if (budget_warning) --branch_warnings;
  FUZZ_CHECK(branch_warnings <= 1);
  const std::string_view branch_warning =
      branch_warnings ? transform::warning_code_name(report.warnings[0].code) : std::string_view();

  if (language == Language::unknown) {
    FUZZ_CHECK(report.parse_status == ParseStatus::unsupported);
    FUZZ_CHECK(branch_warning == "unsupported_format");
    FUZZ_CHECK(report.warnings[0].message == "format could not be detected; content left unchanged");
  } else {
    FUZZ_CHECK(report.protected_bytes == expected_protected_bytes(p));
  }
  if (report.parse_status == ParseStatus::unsupported || report.parse_status == ParseStatus::parse_failed) {
    FUZZ_CHECK(result.output == p.content);
    FUZZ_CHECK(report.rules.empty());
  }
  if (report.parse_status == ParseStatus::unsupported) {
    FUZZ_CHECK(!report.syntax_valid);
    FUZZ_CHECK(report.protected_bytes == 0);
  }

  std::vector<Rule> allowed{Rule::trim_trailing_whitespace, Rule::collapse_blank_lines};
  if (source) {
    const analyzer::Analyzer* analyzer = registry().find(language);
    FUZZ_CHECK(analyzer != nullptr);
    const bool parsed = analyzer->parses_cleanly(p.content);
    FUZZ_CHECK(report.parse_status == (parsed ? ParseStatus::parsed : ParseStatus::parse_failed));
    FUZZ_CHECK(report.syntax_valid.has_value());
    if (!parsed) {
      FUZZ_CHECK(branch_warning == "parse_failed");
      FUZZ_CHECK(report.warnings[0].message ==
                 "input did not parse cleanly; no transformations were applied (conservative fallback)");
      FUZZ_CHECK(*report.syntax_valid == false);
    } else {
      FUZZ_CHECK(*report.syntax_valid == (result.output == p.content || analyzer->parses_cleanly(result.output)));
      const bool blocked = facts.interface_only && !allow_lossy;
      FUZZ_CHECK(branch_warning == (blocked ? "lossy_rule_blocked" : ""));
      if (facts.strip_comments) allowed.push_back(Rule::strip_comments);
      if (facts.strip_docstrings && language == Language::python) allowed.push_back(Rule::strip_docstrings);
      if (facts.interface_only && allow_lossy) allowed.push_back(Rule::interface_only);
    }
  } else if (language == Language::markdown || language == Language::log) {
    FUZZ_CHECK(report.parse_status == ParseStatus::parsed);
    FUZZ_CHECK(!report.syntax_valid && branch_warning.empty());
    if (language == Language::markdown && facts.markdown_dedupe) allowed.push_back(Rule::markdown_dedupe);
    if (language == Language::log && facts.collapse_log_repeats && allow_lossy)
      allowed.push_back(Rule::collapse_log_repeats);
  } else if (language == Language::json) {
    const bool valid = analyzer::json::is_valid(p.content);
    FUZZ_CHECK(report.parse_status == (valid ? ParseStatus::parsed : ParseStatus::fallback));
    FUZZ_CHECK(report.syntax_valid == std::optional<bool>(valid));
    FUZZ_CHECK(branch_warning == (valid ? "" : "json_invalid"));
    if (valid) {
      // Compaction: the compact form when strictly shorter, else the content as given.
      const std::string compact = analyzer::json::write_compact(*analyzer::json::parse(p.content));
      const bool shorter = compact.size() < p.content.size();
      FUZZ_CHECK(result.output == (shorter ? compact : p.content));
      FUZZ_CHECK(report.rules.size() == (shorter ? 1u : 0u));
      if (shorter) {
        FUZZ_CHECK(report.rules[0].rule == Rule::trim_trailing_whitespace && report.rules[0].changes == 1);
        FUZZ_CHECK(report.rules[0].bytes_removed == static_cast<std::int64_t>(p.content.size() - compact.size()));
      }
    }
  } else if (language == Language::text) {
    FUZZ_CHECK(report.parse_status == ParseStatus::fallback);
    FUZZ_CHECK(!report.syntax_valid && branch_warning.empty());
  }
  for (const auto& entry : report.rules)
    FUZZ_CHECK_MSG(std::find(allowed.begin(), allowed.end(), entry.rule) != allowed.end(),
                   std::string(transform::rule_name(entry.rule)));

  // Structural rules come before the whitespace pair; a lossy line rule after it.
  bool whitespace_seen = false;
  for (const auto& entry : report.rules) {
    const bool whitespace = entry.rule == Rule::trim_trailing_whitespace || entry.rule == Rule::collapse_blank_lines;
    const bool structural =
        entry.rule == Rule::strip_comments || entry.rule == Rule::strip_docstrings || entry.rule == Rule::interface_only;
    if (structural) FUZZ_CHECK(!whitespace_seen);
    whitespace_seen = whitespace_seen || whitespace;
  }
  if (!report.rules.empty() &&
      (rule_present(report, Rule::markdown_dedupe) || rule_present(report, Rule::collapse_log_repeats))) {
    const Rule last = report.rules.back().rule;
    FUZZ_CHECK(last == Rule::markdown_dedupe || last == Rule::collapse_log_repeats);
  }

  // Nothing changed means nothing is reported as changed, except a rule that rewrote text to itself.
  if (report.rules.empty()) FUZZ_CHECK(result.output == p.content);

  // Only whitespace rules ran: every other character is still there, in order.
  const bool json_rewritten = language == Language::json && report.parse_status == ParseStatus::parsed;
  bool whitespace_only = true;
  for (const auto& entry : report.rules)
    whitespace_only =
        whitespace_only && (entry.rule == Rule::trim_trailing_whitespace || entry.rule == Rule::collapse_blank_lines);
  if (whitespace_only && !json_rewritten) {
    FUZZ_CHECK(fuzz::skeleton(result.output) == fuzz::skeleton(p.content));
    // The two whitespace rules never propose overlapping edits, so every edit they count was applied.
    std::int64_t removed = 0;
    for (const auto& entry : report.rules) removed += entry.bytes_removed;
    FUZZ_CHECK(removed == static_cast<std::int64_t>(in.bytes) - static_cast<std::int64_t>(out.bytes));
  }

  // Every input line whose content (the line without its LF and one CR before it) holds one of the
  // effective markers comes back as a whole output line, terminator included, byte for byte, and
  // these lines keep their order. Whole lines may still vanish or appear around them: blank-line
  // runs, the collapse marker line that replaces folded log copies, the placeholder of a body that
  // starts below a marked line. A marked line itself is never shortened, split or joined to
  // another. Valid JSON that the JSON branch compacts is rewritten as a whole document: the one
  // documented exception.
  if (!json_rewritten) {
    const std::vector<std::string> markers = effective_markers(p);
    FUZZ_CHECK(fuzz::lines_survive_in_order(marker_lines(p.content, markers), result.output));
  }
}

void check_budget(const Params& p, const transform::FoldResult& result, const std::vector<std::string>& counted,
                  int names) {
  const transform::Report& report = result.report;
  const bool budget_warning =
      !report.warnings.empty() && report.warnings.back().code == transform::WarningCode::budget_not_met;
  if (p.budget == BudgetKind::none) {
    FUZZ_CHECK(!report.budget && !budget_warning && counted.empty() && names == 0);
    return;
  }
  FUZZ_CHECK(report.budget.has_value());
  const transform::BudgetReport& b = *report.budget;
  std::uint64_t in = 0, out = 0;
  switch (p.budget) {
    case BudgetKind::bytes:
      in = p.content.size();
      out = result.output.size();
      FUZZ_CHECK(b.metric == transform::BudgetMetric::bytes && counted.empty() && names == 0);
      break;
    case BudgetKind::characters:
      in = fuzz::measure(p.content).chars;
      out = fuzz::measure(result.output).chars;
      FUZZ_CHECK(b.metric == transform::BudgetMetric::characters && counted.empty() && names == 0);
      break;
    default:
      in = p.content.size() / 4;
      out = result.output.size() / 4;
      FUZZ_CHECK(b.metric == transform::BudgetMetric::tokens && names == 1);
      FUZZ_CHECK(counted.size() == 2 && counted[0] == p.content && counted[1] == result.output);
      FUZZ_CHECK(b.tokenizer == std::optional<std::string>("quarter"));
      break;
  }
  FUZZ_CHECK(b.exact_tokens == (p.budget == BudgetKind::tokens));
  FUZZ_CHECK(b.limit == p.limit && b.input == in && b.output == out);
  FUZZ_CHECK(b.met == (out <= p.limit));
  FUZZ_CHECK(budget_warning == !b.met);
  if (budget_warning)
    FUZZ_CHECK(report.warnings.back().message == "output size " + std::to_string(out) + " exceeds budget limit " +
                                                     std::to_string(p.limit) + " under metric '" +
                                                     std::string(transform::budget_metric_name(b.metric)) + "'");
}

// Replaying a finding with TERSEWRIGHT_FUZZ_VERBOSE=1 prints the request it makes.
void describe(const Params& p) {
  std::fprintf(stderr, "profile \"%s\" language %d path \"%s\" allow_lossy %d budget %d/%llu\n", p.profile.c_str(),
               p.language ? static_cast<int>(*p.language) : -1, p.path ? p.path->c_str() : "(none)",
               p.allow_lossy ? static_cast<int>(*p.allow_lossy) : -1, static_cast<int>(p.budget),
               static_cast<unsigned long long>(p.limit));
  if (p.ranges)
    for (const auto& r : *p.ranges)
      std::fprintf(stderr, "range %llu..%llu\n", static_cast<unsigned long long>(r.start),
                   static_cast<unsigned long long>(r.end));
  if (p.markers)
    for (const auto& m : *p.markers) std::fprintf(stderr, "marker \"%s\"\n", m.c_str());
  std::fprintf(stderr, "content (%zu bytes): \"", p.content.size());
  for (unsigned char c : p.content) {
    if (c >= 0x20 && c < 0x7F && c != '\\' && c != '"')
      std::fputc(c, stderr);
    else
      std::fprintf(stderr, "\\x%02x", c);
  }
  std::fprintf(stderr, "\"\n");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const Params p = draw(in);
  if (std::getenv("TERSEWRIGHT_FUZZ_VERBOSE") != nullptr) describe(p);

  std::vector<std::string> counted;
  int names = 0;
  auto first = transform::fold(registry(), make_request(p, &counted, &names, true));
  if (p.facts == nullptr) {
    FUZZ_CHECK(!first.ok());
    const auto* unknown = std::get_if<transform::UnknownProfile>(&first.error());
    FUZZ_CHECK(unknown != nullptr && unknown->name == p.profile);
    FUZZ_CHECK(counted.empty() && names == 0);
    return 0;
  }
  if (p.budget == BudgetKind::tokens_without_tokenizer) {
    FUZZ_CHECK(!first.ok());
    const auto* invalid = std::get_if<transform::InvalidConfig>(&first.error());
    FUZZ_CHECK(invalid != nullptr && transform::error_message(*invalid) == "token budget requires a tokenizer");
    return 0;
  }
  FUZZ_CHECK(first.ok());
  const transform::FoldResult& result = first.value();

  const Language language =
      p.language ? *p.language
                 : analyzer::detect_language(p.path ? std::optional<std::string_view>(*p.path) : std::nullopt, p.content);
  check_report_values(p, result, language);
  check_budget(p, result, counted, names);

  // Deterministic: the same request gives the same output and report, whether it borrows its
  // content or owns it.
  std::vector<std::string> counted_again;
  int names_again = 0;
  auto second = transform::fold(registry(), make_request(p, &counted_again, &names_again));
  FUZZ_CHECK(second.ok());
  FUZZ_CHECK(fingerprint(second.value()) == fingerprint(result));

  // Whitespace normalisation reaches its fixed point in one fold.
  if (p.profile == "code-review" && (!p.ranges || p.ranges->empty()) &&
      (language == Language::text || language == Language::log || language == Language::markdown)) {
    Params again = p;
    again.content = result.output;
    again.language = language;
    again.budget = BudgetKind::none;
    auto refold = transform::fold(registry(), make_request(again, nullptr, nullptr));
    FUZZ_CHECK(refold.ok());
    FUZZ_CHECK_MSG(refold.value().output == result.output, "code-review is not idempotent");
    FUZZ_CHECK(refold.value().report.rules.empty());
  }
  return 0;
}

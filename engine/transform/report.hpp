// The report of one fold and the result that carries it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analyzer/language.hpp"
#include "transform/request.hpp"
#include "transform/rules.hpp"
#include "transform/warnings.hpp"

namespace tersewright::transform {

enum class ParseStatus : std::uint8_t { parsed = 0, parse_failed = 1, unsupported = 2, fallback = 3 };

std::string_view parse_status_name(ParseStatus status) noexcept;

struct TextStats {
  std::uint64_t bytes = 0;
  std::uint64_t chars = 0;
  std::uint64_t lines = 0;
  friend bool operator==(const TextStats&, const TextStats&) = default;
};

TextStats measure(std::string_view text) noexcept;

struct BudgetReport {
  BudgetMetric metric = BudgetMetric::bytes;
  std::optional<std::string> tokenizer;
  bool exact_tokens = false;
  std::uint64_t limit = 0;
  std::uint64_t input = 0;
  std::uint64_t output = 0;
  bool met = false;
};

struct Report {
  std::string engine_version;
  std::string profile;
  std::uint32_t profile_version = 1;
  std::uint32_t profile_schema_version = 1;
  analyzer::Language detected_language = analyzer::Language::unknown;
  ParseStatus parse_status = ParseStatus::fallback;
  bool behavior_preserving = true;
  std::string semantic_equivalence;
  std::optional<bool> syntax_valid;
  TextStats input;
  TextStats output;
  double reduction_ratio = 0.0;
  std::vector<RuleReport> rules;
  std::vector<FoldWarning> warnings;
  std::optional<BudgetReport> budget;
  std::uint64_t protected_bytes = 0;
};

struct FoldResult {
  // A text the fold left unchanged is the request's content itself, not a copy: moved when the
  // request owned it, the same view when it borrowed it (valid as long as the borrowed bytes are).
  Text output;
  Report report;
};

// 1 - out/in clamped to [0, 1]; 0 for an empty input.
double reduction_ratio(std::uint64_t input_bytes, std::uint64_t output_bytes) noexcept;

// False when some entry's rule is lossy and made at least one change.
bool behavior_preserving(const std::vector<RuleReport>& rules) noexcept;

}  // namespace tersewright::transform

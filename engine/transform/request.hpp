// What the engine is asked to do: the request record, budgets and the caller's tokenizer.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analyzer/language.hpp"
#include "edit/range.hpp"
#include "transform/text.hpp"

namespace tersewright::transform {

enum class BudgetMetric : std::uint8_t { tokens = 0, bytes = 1, characters = 2 };

std::string_view budget_metric_name(BudgetMetric metric) noexcept;

struct Budget {
  BudgetMetric metric = BudgetMetric::bytes;
  std::uint64_t limit = 0;
};

// A caller-supplied token counter; the engine treats its counts as exact and opaque.
class Tokenizer {
 public:
  virtual ~Tokenizer() = default;
  virtual std::string name() const = 0;
  virtual std::uint64_t count(std::string_view text) = 0;
};

struct FoldRequest {
  // Owned, or borrowed from a caller that keeps it alive until fold returns.
  Text content;
  std::string profile = "safe";
  std::optional<std::string> path;
  std::optional<analyzer::Language> language;
  std::optional<bool> allow_lossy;
  std::optional<Budget> budget;
  std::unique_ptr<Tokenizer> tokenizer;
  std::optional<std::vector<edit::ByteRange>> protected_ranges;
  std::optional<std::vector<std::string>> protected_line_markers;
};

}  // namespace tersewright::transform

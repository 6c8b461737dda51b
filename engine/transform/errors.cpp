#include "transform/errors.hpp"

namespace tersewright::transform {

std::string_view error_message(const UnknownProfile& error) noexcept { return error.name; }

std::string_view error_message(const InvalidConfig& error) noexcept {
  switch (error.problem) {
    case ConfigProblem::token_budget_without_tokenizer: return "token budget requires a tokenizer";
  }
  return "invalid configuration";
}

std::string_view error_message(const EngineError& error) noexcept {
  return std::visit([](const auto& failure) { return error_message(failure); }, error);
}

}  // namespace tersewright::transform

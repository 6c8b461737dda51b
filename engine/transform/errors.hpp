// The engine's errors: requests it refuses before folding anything, each with the data that says why.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace tersewright::transform {

// No built-in profile has this name (compared exactly).
struct UnknownProfile {
  std::string name;
};

enum class ConfigProblem : std::uint8_t {
  token_budget_without_tokenizer = 0,
};

// The request asks for something its own settings make impossible.
struct InvalidConfig {
  ConfigProblem problem = ConfigProblem::token_budget_without_tokenizer;
};

using EngineError = std::variant<UnknownProfile, InvalidConfig>;

// What a caller is told: an unknown profile's name as it was given, nothing added; a configuration
// problem's sentence. Views into the error or into static text.
std::string_view error_message(const UnknownProfile& error) noexcept;
std::string_view error_message(const InvalidConfig& error) noexcept;
std::string_view error_message(const EngineError& error) noexcept;

}  // namespace tersewright::transform

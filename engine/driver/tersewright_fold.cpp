// A small command-line driver over the engine: folds one file and prints the output and the report's JSON.
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <variant>

#include "transform/fold.hpp"
#include "transform/report_json.hpp"

namespace {

using namespace tersewright;

int usage() {
  std::cerr << "usage: tersewright_fold [--profile NAME] [--language NAME] [--allow-lossy|--no-allow-lossy]\n"
               "                        [--budget-bytes N | --budget-chars N] [--timing] FILE\n"
               "  --timing  print only the fold time and throughput (to standard error)\n";
  return 2;
}

// The whole argument as a count: decimal digits only, no sign, no blanks, no overflow.
std::optional<std::uint64_t> parse_count(std::string_view text) {
  std::uint64_t value = 0;
  const char* const end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
  return value;
}

}  // namespace

int main(int argc, char** argv) {
  transform::FoldRequest request;
  const char* file = nullptr;
  bool timing = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    if (arg == "--profile") {
      const char* v = next();
      if (!v) return usage();
      request.profile = v;
    } else if (arg == "--language") {
      const char* v = next();
      if (!v) return usage();
      auto parsed = analyzer::parse_language_name(v);
      if (!parsed) {
        std::cerr << parsed.error().message << "\n";
        return 2;
      }
      request.language = parsed.value();
    } else if (arg == "--allow-lossy" || arg == "--no-allow-lossy") {
      request.allow_lossy = arg == "--allow-lossy";
    } else if (arg == "--budget-bytes" || arg == "--budget-chars") {
      const char* v = next();
      if (!v) return usage();
      const std::optional<std::uint64_t> limit = parse_count(v);
      if (!limit) {
        std::cerr << "invalid number for " << arg << ": " << v << "\n";
        return 2;
      }
      request.budget = transform::Budget{
          .metric = arg == "--budget-bytes" ? transform::BudgetMetric::bytes : transform::BudgetMetric::characters,
          .limit = *limit};
    } else if (arg == "--timing") {
      timing = true;
    } else if (!file && !arg.empty() && arg[0] != '-') {
      file = argv[i];
    } else {
      return usage();
    }
  }
  if (!file) return usage();
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::cerr << "failed to read " << file << ": " << std::strerror(errno) << "\n";
    return 2;
  }
  std::ostringstream buffer;
  buffer << in.rdbuf();
  request.content = buffer.str();
  request.path = file;

  const double megabytes = static_cast<double>(request.content.size()) / 1e6;
  const auto registry = analyzer::AnalyzerRegistry::built_in();
  const auto started = std::chrono::steady_clock::now();
  auto result = transform::fold(registry, std::move(request));
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
  if (timing) {
    std::fprintf(stderr, "fold: %.1f MB in %.3f s = %.1f MB/s\n", megabytes, elapsed.count(),
                 megabytes / elapsed.count());
    return result ? 0 : 2;
  }
  if (!result) {
    if (std::holds_alternative<transform::UnknownProfile>(result.error())) std::cerr << "unknown profile: ";
    std::cerr << transform::error_message(result.error()) << "\n";
    return 2;
  }
  std::cout << result.value().output;
  if (!result.value().output.empty() && result.value().output.view().back() != '\n') std::cout << "\n";
  std::cout << "--- report\n" << transform::report_to_json(result.value().report) << "\n";
  return 0;
}

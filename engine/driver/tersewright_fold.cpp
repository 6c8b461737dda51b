// A small command-line driver over the engine: folds one file and prints the output and report.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "transform/fold.hpp"

namespace {

using namespace tersewright;

int usage() {
  std::cerr << "usage: tersewright_fold [--profile NAME] [--language NAME] [--allow-lossy|--no-allow-lossy]\n"
               "                        [--budget-bytes N | --budget-chars N] [--timing] FILE\n"
               "  --timing  print only the fold time and throughput (to standard error)\n";
  return 2;
}

void print_report(const transform::Report& r) {
  std::cout << "--- report\n"
            << "profile: " << r.profile << " (version " << r.profile_version << ")\n"
            << "language: " << r.detected_language << "\n"
            << "parse_status: " << transform::parse_status_name(r.parse_status) << "\n"
            << "behavior_preserving: " << (r.behavior_preserving ? "true" : "false") << "\n";
  if (r.syntax_valid) std::cout << "syntax_valid: " << (*r.syntax_valid ? "true" : "false") << "\n";
  std::cout << "input: " << r.input.bytes << " bytes, " << r.input.chars << " chars, " << r.input.lines << " lines\n"
            << "output: " << r.output.bytes << " bytes, " << r.output.chars << " chars, " << r.output.lines
            << " lines\n"
            << "reduction_ratio: " << r.reduction_ratio << "\n";
  for (const auto& rule : r.rules)
    std::cout << "rule " << rule.rule_name << ": " << rule.changes << " change(s), " << rule.bytes_removed
              << " byte(s) removed" << (rule.lossy ? " (lossy)" : "") << "\n";
  for (const auto& w : r.warnings) std::cout << "warning " << w.code << ": " << w.message << "\n";
  if (r.budget)
    std::cout << "budget: " << r.budget->output << " of " << r.budget->limit << " " << r.budget->metric
              << (r.budget->met ? " (met)" : " (not met)") << "\n";
  std::cout << "protected_bytes: " << r.protected_bytes << "\n";
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
      request.budget = transform::Budget{
          arg == "--budget-bytes" ? transform::BudgetMetric::bytes : transform::BudgetMetric::characters,
          std::stoull(v)};
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
    std::visit([](const auto& e) {
      if constexpr (std::is_same_v<std::decay_t<decltype(e)>, transform::UnknownProfile>)
        std::cerr << "unknown profile: " << e.name << "\n";
      else
        std::cerr << e.message << "\n";
    }, result.error());
    return 2;
  }
  std::cout << result.value().output;
  if (!result.value().output.empty() && result.value().output.back() != '\n') std::cout << "\n";
  print_report(result.value().report);
  return 0;
}

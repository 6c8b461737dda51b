// The floor under any fold of source code: one bare tree-sitter parse of the same files.
//
//   parse_bench LANGUAGE FILE... [--benchmark_* flags]
//
// An argument @LIST names a file that lists one path per line, for corpora whose paths would not
// fit on a command line.
// Each iteration parses every file once with a fresh parser, as a fold does, and keeps nothing.
// bench/run_bench.py runs it with --benchmark_format=json and divides fold time by parse time.
#include <benchmark/benchmark.h>
#include <tree_sitter/api.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "analyzer/language.hpp"
#include "analyzer/syntax.hpp"

namespace {

using tersewright::analyzer::Language;

bool read_file(const char* path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

void bare_parse(benchmark::State& state, const TSLanguage* grammar, const std::vector<std::string>* texts) {
  std::uint64_t bytes = 0;
  for (const std::string& text : *texts) bytes += text.size();
  for (auto _ : state) {
    for (const std::string& text : *texts) {
      std::unique_ptr<TSParser, decltype(&ts_parser_delete)> parser(ts_parser_new(), ts_parser_delete);
      ts_parser_set_language(parser.get(), grammar);
      std::unique_ptr<TSTree, decltype(&ts_tree_delete)> tree(
          ts_parser_parse_string(parser.get(), nullptr, text.data(), static_cast<std::uint32_t>(text.size())),
          ts_tree_delete);
      benchmark::DoNotOptimize(tree.get());
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  state.counters["files"] = static_cast<double>(texts->size());
}

std::vector<std::string> expand_lists(int argc, char** argv) {
  std::vector<std::string> paths;
  for (int i = 2; i < argc; ++i) {
    if (argv[i][0] != '@') {
      paths.emplace_back(argv[i]);
      continue;
    }
    std::ifstream list(argv[i] + 1);
    if (!list) {
      std::fprintf(stderr, "parse_bench: cannot read %s\n", argv[i] + 1);
      std::exit(2);
    }
    for (std::string line; std::getline(list, line);)
      if (!line.empty()) paths.push_back(line);
  }
  return paths;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: parse_bench LANGUAGE FILE|@LIST... [--benchmark_* flags]\n");
    return 2;
  }
  const auto language = tersewright::analyzer::parse_language_name(argv[1]);
  const TSLanguage* grammar = language ? tersewright::analyzer::grammar_for(language.value()) : nullptr;
  if (!grammar) {
    std::fprintf(stderr, "parse_bench: %s is not a language with a syntax tree\n", argv[1]);
    return 2;
  }
  const std::vector<std::string> paths = expand_lists(argc, argv);
  std::vector<std::string> texts(paths.size());
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (!read_file(paths[i].c_str(), texts[i])) {
      std::fprintf(stderr, "parse_bench: cannot read %s\n", paths[i].c_str());
      return 2;
    }
    if (texts[i].size() > std::numeric_limits<std::uint32_t>::max()) {
      std::fprintf(stderr, "parse_bench: %s is larger than tree-sitter can parse in one piece\n", paths[i].c_str());
      return 2;
    }
  }
  const std::string name = "bare_parse/" + std::string(tersewright::analyzer::language_id(language.value()));
  benchmark::RegisterBenchmark(name.c_str(), bare_parse, grammar, &texts)->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

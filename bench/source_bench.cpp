// What a "safe" fold of source code costs next to the one tree-sitter parse it cannot avoid.
//
// Two corpora of about 1 MB each, Python and TypeScript, are generated from a fixed seed so that
// every run measures the same bytes. For each, one benchmark parses the text once with a fresh
// parser, the other runs the whole fold; the figures and their ratio are printed at the end.
#include <benchmark/benchmark.h>
#include <tree_sitter/api.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "analyzer/syntax.hpp"
#include "transform/fold.hpp"

namespace {

using tersewright::analyzer::AnalyzerRegistry;
using tersewright::analyzer::Language;

constexpr std::size_t corpus_bytes = 1 << 20;

// splitmix64: tiny, and unlike the standard distributions it gives the same numbers everywhere.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }
  bool chance(unsigned percent) { return below(100) < percent; }
  template <class T, std::size_t N>
  const T& pick(const T (&items)[N]) {
    return items[below(N)];
  }

 private:
  std::uint64_t state_;
};

const char* const nouns[] = {"order", "invoice", "customer", "session", "record", "payload", "account", "ledger",
                             "report", "batch", "token", "entry", "request", "profile", "item", "window"};
const char* const verbs[] = {"load", "store", "parse", "render", "merge", "validate", "fetch", "update",
                             "resolve", "collect", "encode", "flush", "apply", "compute", "prune", "sync"};
const char* const words[] = {"the", "cached", "pending", "current", "remote", "local", "next", "previous",
                             "active", "stale", "incoming", "outgoing", "primary", "shared", "raw", "final"};

std::string sentence(Rng& rng) {
  std::string s = rng.pick(verbs);
  s[0] = static_cast<char>(s[0] - 'a' + 'A');
  s += std::string(" ") + rng.pick(words) + " " + rng.pick(nouns);
  if (rng.chance(50)) s += std::string(" for the ") + rng.pick(words) + " " + rng.pick(nouns);
  return s;
}

std::string camel(const char* a, const char* b) {
  std::string s = std::string(a) + b;
  s[0] = static_cast<char>(s[0] - 'a' + 'A');
  s[std::string_view(a).size()] = static_cast<char>(s[std::string_view(a).size()] - 'a' + 'A');
  return s;
}

// Trailing spaces now and then, as hand-edited code has.
const char* eol(Rng& rng) { return rng.chance(8) ? "  \n" : "\n"; }

void python_statements(Rng& rng, std::string& out, const std::string& indent) {
  const std::size_t count = 2 + rng.below(5);
  for (std::size_t i = 0; i < count; ++i) {
    const std::string noun = rng.pick(nouns);
    switch (rng.below(7)) {
      case 0:
        out += indent + "# " + sentence(rng) + ".\n";
        out += indent + noun + "_count = len(self." + noun + "s)" + eol(rng);
        break;
      case 1:
        out += indent + "if " + noun + " is None:  # " + sentence(rng) + "\n";
        out += indent + "    " + noun + " = self._default_" + noun + "()\n";
        out += indent + "else:\n" + indent + "    " + noun + ".refresh(" + std::to_string(rng.below(100)) + ")\n";
        break;
      case 2:
        out += indent + "for " + noun + " in self." + noun + "s:\n";
        out += indent + "    total += " + noun + ".amount * " + std::to_string(rng.below(10) + 1) + eol(rng);
        break;
      case 3:
        out += indent + "try:\n" + indent + "    result = self.client." + rng.pick(verbs) + "(" + noun + ")\n";
        out += indent + "except (KeyError, ValueError) as exc:\n";
        out += indent + "    raise RuntimeError(f\"cannot " + rng.pick(verbs) + " {" + noun + "!r}\") from exc\n";
        break;
      case 4:
        out += indent + "query = \"\"\"\n" + indent + "    SELECT id, " + noun + "_id   \n\n";
        out += indent + "    FROM " + noun + "s WHERE state = %s\n" + indent + "\"\"\"\n";
        break;
      case 5:
        out += indent + "logger.debug(\"" + sentence(rng) + ": %s\", " + noun + ")" + eol(rng);
        break;
      default:
        out += indent + "values = [x." + noun + " for x in items if x." + noun + " is not None]\n";
        break;
    }
  }
  out += indent + "return " + (rng.chance(50) ? "result" : "None") + "\n";
}

std::string python_corpus(std::uint64_t seed) {
  Rng rng(seed);
  std::string out =
      "#!/usr/bin/env python3\n# -*- coding: utf-8 -*-\n\"\"\"Services for orders and invoices.\"\"\"\n\n"
      "import logging\nimport os  # paths\nfrom typing import List, Optional\n\nlogger = logging.getLogger(__name__)\n\n\n";
  while (out.size() < corpus_bytes) {
    const std::string cls = camel(rng.pick(nouns), rng.pick(nouns));
    out += "class " + cls + "(object):\n    \"\"\"" + sentence(rng) + ".\"\"\"\n\n";
    out += "    def __init__(self, client, " + std::string(rng.pick(nouns)) + "s=None):\n";
    out += "        # " + sentence(rng) + "\n        self.client = client\n        self.cache = {}" + eol(rng) + "\n";
    const std::size_t methods = 2 + rng.below(4);
    for (std::size_t m = 0; m < methods; ++m) {
      out += std::string("    def ") + rng.pick(verbs) + "_" + rng.pick(nouns) + "(self, " + rng.pick(nouns) +
             ": Optional[str] = None) -> Optional[int]:\n";
      if (rng.chance(60)) out += "        \"\"\"" + sentence(rng) + ".\n\n        Returns the new count.\n        \"\"\"\n";
      out += "        result = None\n        total = 0\n        items: List[int] = []\n";
      python_statements(rng, out, "        ");
      out += rng.chance(30) ? "\n\n" : "\n";
    }
    out += "\n";
  }
  return out;
}

void typescript_body(Rng& rng, std::string& out, const std::string& type) {
  const std::size_t count = 2 + rng.below(4);
  for (std::size_t i = 0; i < count; ++i) {
    const std::string noun = rng.pick(nouns);
    switch (rng.below(6)) {
      case 0:
        out += "    // " + sentence(rng) + "\n    const " + noun + "s = items.filter((x) => x." + noun +
               " !== undefined);" + eol(rng);
        break;
      case 1:
        out += "    try {\n      const res = await this.http.get(`/api/" + noun + "s/${id}`);\n";
        out += "      this.cache.set(String(id), res.data as " + type + ");\n";
        out += std::string("    } catch (err) {\n      throw new Error(`cannot ") + rng.pick(verbs) + " " + noun + ": ${err}`);\n    }\n";
        break;
      case 2:
        out += "    if (!this.cache.has(key)) { /* " + sentence(rng) + " */\n      return undefined;\n    }\n";
        break;
      case 3:
        out += "    const message = `" + sentence(rng) + "   \n\n      for ${key}`;\n";
        break;
      case 4:
        out += "    for (const " + noun + " of items) {\n      total += " + noun + ".id * " +
               std::to_string(rng.below(9) + 1) + ";" + eol(rng) + "    }\n";
        break;
      default:
        out += "    this.log.debug(\"" + sentence(rng) + "\", { " + noun + ": key });\n";
        break;
    }
  }
  out += "    return this.cache.get(key);\n";
}

std::string typescript_corpus(std::uint64_t seed) {
  Rng rng(seed);
  std::string out = "// Client-side services for the order API.\nimport { HttpClient } from \"./http\";\n"
                    "import type { Logger } from \"./log\"; // structured\n\n";
  while (out.size() < corpus_bytes) {
    const std::string type = camel(rng.pick(nouns), rng.pick(nouns));
    out += "/**\n * " + sentence(rng) + ".\n */\nexport interface " + type + " {\n  id: number; // " +
           sentence(rng) + "\n  name: string;\n  tags?: string[];\n}\n\n";
    out += "export class " + type + "Service {\n  private readonly cache = new Map<string, " + type + ">();\n\n";
    out += "  constructor(private readonly http: HttpClient, private readonly log: Logger) {}\n\n";
    const std::size_t methods = 2 + rng.below(4);
    for (std::size_t m = 0; m < methods; ++m) {
      if (rng.chance(50)) out += "  /** " + sentence(rng) + ". */\n";
      out += std::string("  async ") + rng.pick(verbs) + camel("x", rng.pick(nouns)).substr(1) + "(id: number, items: " +
             type + "[]): Promise<" + type + " | undefined> {\n";
      out += "    const key = String(id);\n    let total = 0;\n";
      typescript_body(rng, out, type);
      out += rng.chance(25) ? "  }\n\n\n" : "  }\n\n";
    }
    out += "}\n\nexport function " + std::string(rng.pick(verbs)) + type + "(items: " + type +
           "[]): number {\n  /* " + sentence(rng) + " */\n  return items.reduce((acc, item) => acc + item.id, 0);" +
           eol(rng) + "}\n\n";
  }
  return out;
}

struct Corpus {
  Language language;
  std::string text;
};

const Corpus& corpus(Language language) {
  static const Corpus python{Language::python, python_corpus(20240601)};
  static const Corpus typescript{Language::typescript, typescript_corpus(20240602)};
  return language == Language::python ? python : typescript;
}

// Only a corpus that parses cleanly exercises the whole fold; anything else would time the fallback.
void require_clean(const AnalyzerRegistry& registry, const Corpus& c) {
  if (!registry.find(c.language)->parses_cleanly(c.text)) {
    std::fprintf(stderr, "generated %s corpus does not parse cleanly\n",
                 std::string(tersewright::analyzer::language_id(c.language)).c_str());
    std::exit(1);
  }
}

void bare_parse(benchmark::State& state, Language language) {
  const Corpus& c = corpus(language);
  const TSLanguage* grammar = tersewright::analyzer::grammar_for(language);
  for (auto _ : state) {
    std::unique_ptr<TSParser, decltype(&ts_parser_delete)> parser(ts_parser_new(), ts_parser_delete);
    ts_parser_set_language(parser.get(), grammar);
    std::unique_ptr<TSTree, decltype(&ts_tree_delete)> tree(
        ts_parser_parse_string(parser.get(), nullptr, c.text.data(), static_cast<std::uint32_t>(c.text.size())),
        ts_tree_delete);
    benchmark::DoNotOptimize(tree.get());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.text.size()));
}

void safe_fold(benchmark::State& state, Language language) {
  const Corpus& c = corpus(language);
  const AnalyzerRegistry registry = AnalyzerRegistry::built_in();
  require_clean(registry, c);
  double reduction = 0;
  for (auto _ : state) {
    state.PauseTiming();
    tersewright::transform::FoldRequest request;
    request.content = c.text;
    request.language = language;
    state.ResumeTiming();
    auto result = tersewright::transform::fold(registry, std::move(request));
    if (!result) {
      state.SkipWithError("fold failed");
      break;
    }
    reduction = result.value().report.reduction_ratio;
    benchmark::DoNotOptimize(result.value().output.data());
  }
  state.counters["reduction"] = reduction;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.text.size()));
}

// Medians of several repetitions, on CPU time: the machines this runs on are often shared.
#define TERSEWRIGHT_SOURCE_BENCH(fn, name, language) \
  BENCHMARK_CAPTURE(fn, name, language)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true)
TERSEWRIGHT_SOURCE_BENCH(bare_parse, python, Language::python);
TERSEWRIGHT_SOURCE_BENCH(safe_fold, python, Language::python);
TERSEWRIGHT_SOURCE_BENCH(bare_parse, typescript, Language::typescript);
TERSEWRIGHT_SOURCE_BENCH(safe_fold, typescript, Language::typescript);

// Keeps the median CPU time of each benchmark so that the ratios can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "median" || run.error_occurred) continue;
      milliseconds_[run.run_name.function_name] =
          run.GetAdjustedCPUTime() * benchmark::GetTimeUnitMultiplier(benchmark::kMillisecond) /
          benchmark::GetTimeUnitMultiplier(run.time_unit);
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    for (const char* language : {"python", "typescript"}) {
      const auto parse = milliseconds_.find(std::string("bare_parse/") + language);
      const auto fold = milliseconds_.find(std::string("safe_fold/") + language);
      if (parse == milliseconds_.end() || fold == milliseconds_.end()) continue;
      std::printf("%-10s %7.1f KiB  bare parse %8.2f ms  safe fold %8.2f ms  ratio %5.2f  (median CPU time)\n", language,
                  static_cast<double>(corpus(language[0] == 'p' ? Language::python : Language::typescript).text.size()) /
                      1024.0,
                  parse->second, fold->second, fold->second / parse->second);
    }
  }

 private:
  std::map<std::string, double> milliseconds_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

// Where a source fold's time goes, step by step, next to one bare tree-sitter parse of the same files.
//
//   fold_steps LANGUAGE PROFILE ROUNDS FILE|@LIST...
//
// Each round times, file by file: a bare parse (a fresh parser, as parse_bench does); the whole
// fold through transform::fold; and the branch's steps one by one, replayed here with the engine's
// own functions in the order source_branch.cpp runs them. A replay whose output or syntax verdict
// differs from the fold's is an error, so the split always describes the code that runs. The
// clean parses inside the analyses are also timed alone, which splits each analysis into its parse
// and its walk. Figures are medians over the rounds of CPU seconds for the whole set of files;
// bench/run_bench.py reads the JSON this prints and turns it into the source table.
#include <tree_sitter/api.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "analyzer/syntax.hpp"
#include "analyzer/tree_sitter.hpp"
#include "edit/edit.hpp"
#include "edit/line_index.hpp"
#include "transform/branches.hpp"
#include "transform/comments.hpp"
#include "transform/fold.hpp"
#include "transform/interface_only.hpp"
#include "transform/whitespace.hpp"

namespace {

namespace analyzer = tersewright::analyzer;
namespace edit = tersewright::edit;
namespace transform = tersewright::transform;

double cpu_now() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The steps in the order of the table; "rest" (the frame, the report, moving results) is what the
// whole fold takes beyond the sum of the others.
const char* const step_names[] = {"input parse", "input walk",    "structural rules", "apply 1",
                                  "text 1 parse", "text 1 walk", "whitespace rules", "apply 2",
                                  "final parse",  "protected set"};
enum Step { input_parse, input_walk, structural, apply1, text1_parse, text1_walk, whitespace, apply2, final_parse,
            protected_set, step_count };

struct Counts {
  std::uint64_t files = 0, bytes = 0, parsed = 0, text1_changed = 0, output_is_text1 = 0, output_new = 0;
  std::uint64_t fold_parses = 0;  // fresh parses the fold runs
  std::uint64_t floor_parses = 0; // the input, text 1 when it changed, the output when it is new
};

struct Round {
  double bare_parse = 0, fold = 0;
  double steps[step_count] = {};
};

class Stopwatch {
 public:
  explicit Stopwatch(double& into) : into_(into), start_(cpu_now()) {}
  ~Stopwatch() { into_ += cpu_now() - start_; }
  Stopwatch(const Stopwatch&) = delete;
  Stopwatch& operator=(const Stopwatch&) = delete;

 private:
  double& into_;
  double start_;
};

// The analysis of a text, its clean parse timed on its own as well: the walk is what the analysis
// takes beyond that parse.
analyzer::Analysis timed_analysis(const analyzer::Analyzer& analyzer, std::string_view text, double& parse,
                                  double& walk, bool strings_only = false) {
  double alone = 0, whole = 0;
  {
    Stopwatch watch(alone);
    analyzer::TreePtr tree = analyzer::parse_clean(analyzer.spec().grammar, text);
  }
  analyzer::Analysis analysis;
  {
    Stopwatch watch(whole);
    analysis = strings_only ? analyzer.multiline_strings(text) : analyzer.analyze(text);
  }
  parse += alone;
  walk += std::max(0.0, whole - alone);
  return analysis;
}

struct Replayed {
  std::string output;
  std::optional<bool> syntax_valid;
};

// source_branch.cpp's fold_source, step by step under the stopwatch. counts is filled on the first round.
Replayed replay(const analyzer::Analyzer& analyzer, std::string_view content, const transform::FoldSettings& settings,
                Round& round, Counts* counts) {
  double* t = round.steps;
  Replayed out;
  edit::RangeSet protection;
  {
    Stopwatch watch(t[protected_set]);
    protection = transform::protected_set_for(content, settings);
  }
  const analyzer::Analysis analysis = timed_analysis(analyzer, content, t[input_parse], t[input_walk],
                                                     !transform::runs_structural_rules(settings));
  if (counts) ++counts->fold_parses, ++counts->floor_parses;
  if (!analysis.parse_ok) {
    out.output.assign(content);
    out.syntax_valid = false;
    return out;
  }
  if (counts) ++counts->parsed;

  edit::EditList structural_edits;
  {
    Stopwatch watch(t[structural]);
    const bool comments = settings.rules.comments == transform::CommentsMode::remove;
    const bool docstrings = settings.rules.docstrings;
    if (comments || docstrings) {
      const edit::LineIndex lines(content);
      if (comments)
        transform::append_edits(structural_edits, transform::strip_comments(lines, protection, analysis.comments));
      if (docstrings)
        transform::append_edits(structural_edits,
                                transform::strip_docstrings(lines, protection, analysis.docstrings));
    }
    if (settings.rules.interface_only && settings.allow_lossy)
      transform::append_edits(structural_edits,
                              transform::interface_only(content, protection, analysis.error_handlers,
                                                        settings.preservation.protect_error_handling,
                                                        analysis.declarations,
                                                        transform::placeholder_style_for(analysis.language)));
  }
  // As the branch does: without structural edits, text 1 is the content itself.
  edit::EditOutcome first;
  {
    Stopwatch watch(t[apply1]);
    if (!structural_edits.empty()) first = edit::apply_edits(content, structural_edits);
  }
  const std::string_view text1 = structural_edits.empty() ? content : std::string_view(first.text);

  std::vector<edit::ByteRange> literals;
  edit::RangeSet protected1;
  const bool changed = text1 != content;
  std::optional<analyzer::Analysis> second;
  if (!changed) {
    literals = analysis.strings;
    protected1 = protection;
  } else {
    second = timed_analysis(analyzer, text1, t[text1_parse], t[text1_walk], true);
    if (counts) ++counts->fold_parses, ++counts->floor_parses, ++counts->text1_changed;
    Stopwatch watch(t[text1_walk]);
    literals = second->parse_ok ? second->strings : edit::map_ranges(first.kept, analysis.strings);
    protected1 = edit::normalize_ranges(edit::map_ranges(first.kept, protection));
  }

  edit::EditList whitespace_edits;
  {
    Stopwatch watch(t[whitespace]);
    const edit::LineIndex lines1(text1);
    const transform::BlankLineMode mode = settings.rules.blank_lines;
    whitespace_edits = transform::whitespace_edits(
        lines1, mode, protected1, literals, {.skip_whitespace_only_lines = mode != transform::BlankLineMode::keep});
  }
  {
    Stopwatch watch(t[apply2]);
    if (whitespace_edits.empty()) {
      out.output = text1;
    } else {
      out.output = edit::apply_edits(text1, whitespace_edits).text;
    }
  }

  const bool same_as_input = out.output == content;
  const bool same_as_text1 = changed && out.output == text1;
  if (counts) {
    if (same_as_text1) ++counts->output_is_text1;
    if (!same_as_input && !same_as_text1) ++counts->output_new, ++counts->floor_parses;
  }
  // As the branch does: an output with the bytes of a text already analysed takes its verdict.
  Stopwatch watch(t[final_parse]);
  if (same_as_text1) {
    out.syntax_valid = second->parse_ok;
  } else if (same_as_input) {
    out.syntax_valid = analysis.parse_ok;
  } else {
    out.syntax_valid = analyzer.parses_cleanly(out.output);
    if (counts) ++counts->fold_parses;
  }
  return out;
}

bool read_file(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

std::vector<std::string> expand_lists(int first, int argc, char** argv) {
  std::vector<std::string> paths;
  for (int i = first; i < argc; ++i) {
    if (argv[i][0] != '@') {
      paths.emplace_back(argv[i]);
      continue;
    }
    std::ifstream list(argv[i] + 1);
    if (!list) {
      std::fprintf(stderr, "fold_steps: cannot read %s\n", argv[i] + 1);
      std::exit(2);
    }
    for (std::string line; std::getline(list, line);)
      if (!line.empty()) paths.push_back(line);
  }
  return paths;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

transform::FoldRequest request_for(const std::string& text, const std::string& profile, analyzer::Language language) {
  transform::FoldRequest request;
  request.content = text;
  request.profile = profile;
  request.language = language;
  return request;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: fold_steps LANGUAGE PROFILE ROUNDS FILE|@LIST...\n");
    return 2;
  }
  const auto language = analyzer::parse_language_name(argv[1]);
  const analyzer::AnalyzerRegistry registry = analyzer::AnalyzerRegistry::built_in();
  const analyzer::Analyzer* analyzer = language ? registry.find(language.value()) : nullptr;
  if (!analyzer) {
    std::fprintf(stderr, "fold_steps: %s is not a language with a syntax tree\n", argv[1]);
    return 2;
  }
  const std::string profile_name = argv[2];
  const auto profile = transform::lookup_profile(profile_name);
  if (!profile) {
    std::fprintf(stderr, "fold_steps: unknown profile %s\n", argv[2]);
    return 2;
  }
  const int rounds = std::atoi(argv[3]);
  if (rounds < 1) {
    std::fprintf(stderr, "fold_steps: ROUNDS must be a positive number\n");
    return 2;
  }
  const std::vector<std::string> paths = expand_lists(4, argc, argv);
  std::vector<std::string> texts(paths.size());
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (!read_file(paths[i], texts[i])) {
      std::fprintf(stderr, "fold_steps: cannot read %s\n", paths[i].c_str());
      return 2;
    }
    if (texts[i].size() > std::numeric_limits<std::uint32_t>::max()) {
      std::fprintf(stderr, "fold_steps: %s is larger than tree-sitter can parse in one piece\n", paths[i].c_str());
      return 2;
    }
  }
  const transform::FoldSettings settings =
      transform::resolve_settings(request_for({}, profile_name, language.value()), profile.value());

  Counts counts;
  counts.files = texts.size();
  for (const std::string& text : texts) counts.bytes += text.size();
  std::vector<Round> measured(static_cast<std::size_t>(rounds));
  // File by file, the bare parse, the fold and the replay back to back, so that a change of load
  // on a shared machine falls on all three alike.
  for (int r = 0; r < rounds; ++r) {
    Round& round = measured[static_cast<std::size_t>(r)];
    for (std::size_t i = 0; i < texts.size(); ++i) {
      const std::string& text = texts[i];
      {
        Stopwatch watch(round.bare_parse);
        std::unique_ptr<TSParser, decltype(&ts_parser_delete)> parser(ts_parser_new(), ts_parser_delete);
        ts_parser_set_language(parser.get(), analyzer->spec().grammar);
        std::unique_ptr<TSTree, decltype(&ts_tree_delete)> tree(
            ts_parser_parse_string(parser.get(), nullptr, text.data(), static_cast<std::uint32_t>(text.size())),
            ts_tree_delete);
      }
      transform::FoldRequest request = request_for(text, profile_name, language.value());
      double fold_seconds = 0;
      auto folded = [&] {
        Stopwatch watch(fold_seconds);
        return transform::fold(registry, std::move(request));
      }();
      round.fold += fold_seconds;
      if (!folded) {
        std::fprintf(stderr, "fold_steps: the fold of %s failed\n", paths[i].c_str());
        return 1;
      }
      const Replayed replayed = replay(*analyzer, text, settings, round, r == 0 ? &counts : nullptr);
      if (replayed.output != folded.value().output || replayed.syntax_valid != folded.value().report.syntax_valid) {
        std::fprintf(stderr, "fold_steps: the replayed steps disagree with the fold on %s\n", paths[i].c_str());
        return 1;
      }
    }
  }

  auto figure = [&](auto pick) {
    std::vector<double> values;
    for (const Round& round : measured) values.push_back(pick(round));
    return median(values);
  };
  std::printf("{\"language\": \"%s\", \"profile\": \"%s\", \"rounds\": %d,\n", argv[1], argv[2], rounds);
  std::printf(" \"files\": %llu, \"bytes\": %llu, \"parsed\": %llu, \"text1_changed\": %llu,"
              " \"output_is_text1\": %llu, \"output_new\": %llu, \"fold_parses\": %llu, \"floor_parses\": %llu,\n",
              static_cast<unsigned long long>(counts.files), static_cast<unsigned long long>(counts.bytes),
              static_cast<unsigned long long>(counts.parsed), static_cast<unsigned long long>(counts.text1_changed),
              static_cast<unsigned long long>(counts.output_is_text1),
              static_cast<unsigned long long>(counts.output_new), static_cast<unsigned long long>(counts.fold_parses),
              static_cast<unsigned long long>(counts.floor_parses));
  std::printf(" \"bare_parse\": %.9f, \"fold\": %.9f, \"steps\": {", figure([](const Round& r) { return r.bare_parse; }),
              figure([](const Round& r) { return r.fold; }));
  for (int s = 0; s < step_count; ++s)
    std::printf("%s\"%s\": %.9f", s ? ", " : "", step_names[s], figure([s](const Round& r) { return r.steps[s]; }));
  std::printf("}}\n");
  return 0;
}

// Syntax analysis of the six source languages over tree-sitter concrete syntax trees.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "analyzer/language.hpp"
#include "analyzer/node_kinds.hpp"
#include "edit/range.hpp"

struct TSLanguage;

namespace tersewright::analyzer {

using edit::ByteRange;

struct Declaration {
  bool has_body = false;
  std::uint64_t body_start = 0;  // the body child's range when has_body, else the node's end
  std::uint64_t body_end = 0;
};

struct Analysis {
  std::vector<ByteRange> comments;
  std::vector<ByteRange> docstrings;
  std::vector<ByteRange> strings;
  std::vector<ByteRange> error_handlers;
  std::vector<Declaration> declarations;
  bool parse_ok = false;
  Language language = Language::unknown;
};

// What an analyzer parses with and looks for; immutable.
struct LanguageSpec {
  const TSLanguage* grammar = nullptr;
  Language language = Language::unknown;
  NodeKinds kinds;
};

class Analyzer {
 public:
  // Classifies the grammar's symbols under the language description's node-kind tables.
  explicit Analyzer(LanguageSpec spec);
  // The analyzer of a built-in language (grammar_for, node_kinds), over the classification generated
  // at build time: it allocates nothing and classifies nothing.
  static Analyzer built_in(Language language);

  Language language() const noexcept { return spec_.language; }
  const LanguageSpec& spec() const noexcept { return spec_; }
  // What each grammar symbol counts as under the language's tables (analyzer/kind_flags.hpp),
  // indexed by symbol id.
  std::span<const std::uint16_t> kind_flags() const noexcept {
    return own_flags_.empty() ? built_in_flags_ : std::span<const std::uint16_t>(own_flags_);
  }

  // Never fails: a text that does not parse cleanly gives parse_ok false and empty sequences.
  Analysis analyze(std::string_view text) const;
  bool parses_cleanly(std::string_view text) const;
  // The verdict of parses_cleanly and, on a clean parse, the strings that span lines only: the
  // outermost ones, which cover every byte that analyze's strings spanning lines cover (the ones
  // inside them add nothing to that set). The whitespace rules read no other string.
  Analysis multiline_strings(std::string_view text) const;

 private:
  Analyzer(LanguageSpec spec, std::span<const std::uint16_t> built_in_flags);

  LanguageSpec spec_;
  std::span<const std::uint16_t> built_in_flags_;  // a generated table, or empty
  std::vector<std::uint16_t> own_flags_;           // classified here for a language that is not built in
};

class AnalyzerRegistry {
 public:
  AnalyzerRegistry() = default;  // empty: every source language is unsupported
  explicit AnalyzerRegistry(std::vector<Analyzer> analyzers) : analyzers_(std::move(analyzers)) {}

  // python, rust, javascript, typescript, tsx, go, in that order.
  static AnalyzerRegistry built_in();

  // The first analyzer serving the language, or nullptr.
  const Analyzer* find(Language language) const noexcept;
  const std::vector<Analyzer>& analyzers() const noexcept { return analyzers_; }

 private:
  std::vector<Analyzer> analyzers_;
};

// The grammar objects linked into the engine.
const TSLanguage* grammar_for(Language language) noexcept;

}  // namespace tersewright::analyzer

#include "analyzer/syntax.hpp"

extern "C" {
const TSLanguage* tree_sitter_python(void);
const TSLanguage* tree_sitter_rust(void);
const TSLanguage* tree_sitter_javascript(void);
const TSLanguage* tree_sitter_typescript(void);
const TSLanguage* tree_sitter_tsx(void);
const TSLanguage* tree_sitter_go(void);
}

namespace tersewright::analyzer {

const TSLanguage* grammar_for(Language language) noexcept {
  switch (language) {
    case Language::python: return tree_sitter_python();
    case Language::rust: return tree_sitter_rust();
    case Language::javascript: return tree_sitter_javascript();
    case Language::typescript: return tree_sitter_typescript();
    case Language::tsx: return tree_sitter_tsx();
    case Language::go: return tree_sitter_go();
    default: return nullptr;
  }
}

}  // namespace tersewright::analyzer

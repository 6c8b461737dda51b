#include "analyzer/node_kinds.hpp"

namespace tersewright::analyzer {
namespace {

namespace python {
constexpr std::string_view comments[] = {"comment"};
constexpr std::string_view error_handlers[] = {"try_statement", "raise_statement", "except_clause", "finally_clause"};
constexpr std::string_view declarations[] = {"function_definition", "class_definition"};
constexpr std::string_view bodied_declarations[] = {"function_definition"};
constexpr std::string_view docstring_containers[] = {"module", "block"};
constexpr std::string_view docstring_statements[] = {"expression_statement"};
constexpr std::string_view docstring_literals[] = {"string", "concatenated_string"};

// Every kind whose node can hold a block (the grammar's node types say which; a test compares).
constexpr std::string_view block_holders[] = {
    "module",          "block",          "function_definition", "class_definition", "decorated_definition",
    "if_statement",    "elif_clause",    "else_clause",         "for_statement",    "while_statement",
    "try_statement",   "except_clause",  "finally_clause",      "with_statement",   "match_statement",
    "case_clause"};

constexpr NodeKinds kinds{
    .comments = comments,
    .error_handlers = error_handlers,
    .declarations = declarations,
    .bodied_declarations = bodied_declarations,
    .docstring_containers = docstring_containers,
    .docstring_statements = docstring_statements,
    .docstring_literals = docstring_literals,
    // The grammar accepts "def f():" with nothing indented after it, without an ERROR or MISSING
    // node; were that clean, stripping a docstring-only body would be reported as still valid.
    .statement_block = "block",
    .block_holders = block_holders,
};
}  // namespace python

namespace rust {
constexpr std::string_view comments[] = {"line_comment", "block_comment"};
constexpr std::string_view error_handlers[] = {"try_expression"};
constexpr std::string_view declarations[] = {"function_item", "struct_item", "enum_item",   "trait_item",
                                             "type_item",     "const_item",  "static_item", "mod_item",
                                             "union_item",    "macro_definition"};
constexpr std::string_view bodied_declarations[] = {"function_item"};

constexpr NodeKinds kinds{.comments = comments,
                          .error_handlers = error_handlers,
                          .declarations = declarations,
                          .bodied_declarations = bodied_declarations};
}  // namespace rust

namespace javascript {
constexpr std::string_view comments[] = {"comment"};
constexpr std::string_view error_handlers[] = {"try_statement", "throw_statement"};
constexpr std::string_view declarations[] = {"function_declaration", "generator_function_declaration",
                                             "class_declaration", "method_definition"};
constexpr std::string_view bodied_declarations[] = {"function_declaration", "generator_function_declaration",
                                                    "method_definition"};

constexpr NodeKinds kinds{.comments = comments,
                          .error_handlers = error_handlers,
                          .declarations = declarations,
                          .bodied_declarations = bodied_declarations};
}  // namespace javascript

namespace typescript {
constexpr std::string_view comments[] = {"comment"};
constexpr std::string_view error_handlers[] = {"try_statement", "throw_statement"};
constexpr std::string_view declarations[] = {"function_declaration",  "method_definition",
                                             "class_declaration",     "abstract_class_declaration",
                                             "interface_declaration", "type_alias_declaration",
                                             "enum_declaration"};
constexpr std::string_view bodied_declarations[] = {"function_declaration", "method_definition"};

constexpr NodeKinds kinds{.comments = comments,
                          .error_handlers = error_handlers,
                          .declarations = declarations,
                          .bodied_declarations = bodied_declarations};
}  // namespace typescript

// As TypeScript, except that an abstract class is no declaration here.
namespace tsx {
constexpr std::string_view declarations[] = {"function_declaration",  "method_definition",
                                             "class_declaration",     "interface_declaration",
                                             "type_alias_declaration", "enum_declaration"};

constexpr NodeKinds kinds{.comments = typescript::comments,
                          .error_handlers = typescript::error_handlers,
                          .declarations = declarations,
                          .bodied_declarations = typescript::bodied_declarations};
}  // namespace tsx

namespace go {
constexpr std::string_view comments[] = {"comment"};
constexpr std::string_view declarations[] = {"function_declaration", "method_declaration", "type_declaration",
                                             "const_declaration", "var_declaration"};
constexpr std::string_view bodied_declarations[] = {"function_declaration", "method_declaration"};

constexpr NodeKinds kinds{.comments = comments, .declarations = declarations, .bodied_declarations = bodied_declarations};
}  // namespace go

// Languages without a grammar: no kinds at all.
constexpr NodeKinds none{.body_field = {}, .string_infix = {}};

}  // namespace

const NodeKinds& node_kinds(Language language) noexcept {
  switch (language) {
    case Language::python: return python::kinds;
    case Language::rust: return rust::kinds;
    case Language::javascript: return javascript::kinds;
    case Language::typescript: return typescript::kinds;
    case Language::tsx: return tsx::kinds;
    case Language::go: return go::kinds;
    default: return none;
  }
}

}  // namespace tersewright::analyzer

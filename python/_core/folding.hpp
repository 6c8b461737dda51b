// The bodies that the module functions and the Engine methods share: argument conversion in
// parameter order, the engine request they build, and the mapping of engine errors.
#pragma once

#include <Python.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analyzer/syntax.hpp"
#include "classes.hpp"
#include "edit/range.hpp"

namespace tersewright::python {

struct ContentArguments {
  std::string content;
  std::string profile = "safe";
  std::optional<std::string> path;
  std::optional<std::string> language;
  std::optional<bool> allow_lossy;
  std::optional<std::uint64_t> budget_bytes;
  std::optional<std::uint64_t> budget_chars;
  std::optional<std::vector<edit::ByteRange>> protected_ranges;
  std::optional<std::vector<std::string>> protected_line_markers;
};

struct FileArguments {
  std::string path;
  std::string profile = "safe";
  std::optional<std::string> language;
  std::optional<bool> allow_lossy;
};

// slots as filled by match_arguments for fold() and fold_file() (and the Engine's methods of those names).
bool convert_content_arguments(PyObject* const* slots, ContentArguments& out);
bool convert_file_arguments(PyObject* const* slots, FileArguments& out);

// Each returns a new FoldResult, or null with the exception of the failure raised.
PyObject* fold_content(const analyzer::AnalyzerRegistry& registry, ContentArguments&& arguments);
PyObject* fold_file(const analyzer::AnalyzerRegistry& registry, FileArguments&& arguments);
PyObject* fold_request(const analyzer::AnalyzerRegistry& registry, RequestObject* request);

}  // namespace tersewright::python

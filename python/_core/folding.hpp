// The folds that the module functions and the Engine methods share: the engine request they build
// from request fields, and the mapping of engine errors.
#pragma once

#include <Python.h>

#include "analyzer/syntax.hpp"
#include "classes.hpp"
#include "request_fields.hpp"

namespace tersewright::python {

// Each returns a new FoldResult, or null with the exception of the failure raised.
PyObject* fold_content(const analyzer::AnalyzerRegistry& registry, RequestFields&& fields);
// The fields' path names the file whose text is folded; they hold no content.
PyObject* fold_file(const analyzer::AnalyzerRegistry& registry, RequestFields&& fields);
PyObject* fold_request(const analyzer::AnalyzerRegistry& registry, RequestObject* request);

}  // namespace tersewright::python

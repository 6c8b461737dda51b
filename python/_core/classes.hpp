// The four classes of the module: their instance layouts and type creation.
#pragma once

#include <Python.h>

#include "analyzer/syntax.hpp"
#include "interpreter.hpp"
#include "request_fields.hpp"
#include "transform/fold.hpp"

namespace tersewright::python {

struct EngineObject {
  PyObject ob_base;
  analyzer::AnalyzerRegistry registry;
};

struct RequestObject {
  PyObject ob_base;
  RequestFields fields;
  // Folds in progress over this request; its properties cannot be assigned meanwhile.
  Py_ssize_t borrows;
};

struct ResultObject {
  PyObject ob_base;
  transform::FoldResult result;
  // The str whose UTF-8 a borrowed output views (an unchanged output is the caller's text).
  Owned source;
};

struct ReportObject {
  PyObject ob_base;
  transform::Report report;
};

// Like the built-in types, the classes refuse new or replaced class attributes.
#ifdef Py_TPFLAGS_IMMUTABLETYPE
inline constexpr unsigned long immutable_type_flag = Py_TPFLAGS_IMMUTABLETYPE;
#else
inline constexpr unsigned long immutable_type_flag = 0;
#endif

// Each returns a new reference to a new heap type, or null with an exception set.
PyTypeObject* create_engine_type();
PyTypeObject* create_request_type();
PyTypeObject* create_result_type();
PyTypeObject* create_report_type();

// New instances of the module's classes (the types must exist).
// source is the str whose UTF-8 the request borrowed, if it borrowed one.
PyObject* new_result_object(transform::FoldResult&& result, PyObject* source);
PyObject* new_report_object(const transform::Report& report);

// Creates a heap type from a PyType_Spec whose doc slot's "Name(signature)\n--\n\n" header type
// creation would strip, so that the class reports its constructor's __text_signature__.
PyTypeObject* create_type(PyType_Spec& spec);

}  // namespace tersewright::python

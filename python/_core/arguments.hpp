// Matching call arguments to parameters, with the messages every callable of the module shares.
#pragma once

#include <Python.h>

#include <cstddef>
#include <span>

namespace tersewright::python {

struct Signature {
  const char* function;  // as messages name it, e.g. "Engine.fold()"
  std::span<const char* const> parameters;
  std::size_t required;  // how many leading parameters must be given
};

// Fills slots (one per parameter) with borrowed references, null where the caller gave nothing.
// On a mismatch raises TypeError and returns false.
bool match_arguments(const Signature& signature, PyObject* const* args, Py_ssize_t nargsf, PyObject* kwnames,
                     PyObject** slots);

// The same for the tuple-and-dict form that constructors receive.
bool match_arguments(const Signature& signature, PyObject* args, PyObject* kwargs, PyObject** slots);

}  // namespace tersewright::python

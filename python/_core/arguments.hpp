// Matching call arguments to a callable's parameters, with the messages every callable of the module shares.
#pragma once

#include <Python.h>

#include "surface.hpp"

namespace tersewright::python {

// Fills slots (one per parameter of the callable) with borrowed references, null where the caller
// gave nothing. On a mismatch raises TypeError and returns false.
bool match_arguments(Surface callable, PyObject* const* args, Py_ssize_t nargsf, PyObject* kwnames, PyObject** slots);

// The same for the tuple-and-dict form that constructors receive.
bool match_arguments(Surface callable, PyObject* args, PyObject* kwargs, PyObject** slots);

}  // namespace tersewright::python

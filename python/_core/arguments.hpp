// A call's arguments matched to a callable's parameters, with the messages every callable of the module
// shares, and their conversion into request fields.
#pragma once

#include <Python.h>

#include <array>
#include <cstddef>

#include "convert.hpp"
#include "request_fields.hpp"
#include "surface.hpp"

namespace tersewright::python {

class Arguments {
 public:
  explicit Arguments(Surface callable) noexcept : callable_(callable) {}

  // Each takes one argument per parameter (borrowed, null where the caller gave nothing), or raises
  // TypeError and returns false when the call does not fit the callable.
  bool match(PyObject* const* args, Py_ssize_t nargsf, PyObject* kwnames);
  // The tuple-and-dict form that constructors receive.
  bool match(PyObject* args, PyObject* kwargs);

  PyObject* operator[](std::size_t parameter) const noexcept { return given_[parameter]; }
  const char* name(std::size_t parameter) const noexcept { return parameters()[parameter].name; }

  // Converts each given argument into the field its parameter names, in parameter order, so that
  // the first bad argument is the one reported.
  bool convert_into(RequestFields& fields) const;

 private:
  std::span<const Parameter> parameters() const noexcept { return surface_entry(callable_).parameters; }
  bool place_positionals(PyObject* const* args, Py_ssize_t nargs);
  bool place_keyword(PyObject* name, PyObject* value);
  bool check_required() const;

  Surface callable_;
  std::array<PyObject*, most_parameters()> given_{};
};

}  // namespace tersewright::python

#include "arguments.hpp"

#include <cstddef>
#include <span>

namespace tersewright::python {
namespace {

// What the messages need to know of a callable.
struct Signature {
  const char* function;
  std::span<const Parameter> parameters;
  std::size_t required;
};

Signature signature_of(Surface callable) {
  return {message_name(callable), surface_entry(callable).parameters, required_count(callable)};
}

bool refuse_extra_positionals(const Signature& signature, Py_ssize_t given) {
  const char* verb = given == 1 ? "was" : "were";
  const auto most = signature.parameters.size();
  if (signature.required == most) {
    PyErr_Format(PyExc_TypeError, "%s takes %zu positional arguments but %zd %s given", signature.function, most, given,
                 verb);
  } else {
    PyErr_Format(PyExc_TypeError, "%s takes from %zu to %zu positional arguments but %zd %s given", signature.function,
                 signature.required, most, given, verb);
  }
  return false;
}

bool place_keyword(const Signature& signature, PyObject* name, PyObject* value, PyObject** slots) {
  for (std::size_t i = 0; i < signature.parameters.size(); ++i) {
    if (PyUnicode_CompareWithASCIIString(name, signature.parameters[i].name) != 0) continue;
    if (slots[i] != nullptr) {
      PyErr_Format(PyExc_TypeError, "%s got multiple values for argument '%s'", signature.function,
                   signature.parameters[i].name);
      return false;
    }
    slots[i] = value;
    return true;
  }
  PyErr_Format(PyExc_TypeError, "%s got an unexpected keyword argument '%S'", signature.function, name);
  return false;
}

bool place_positionals(const Signature& signature, PyObject* const* args, Py_ssize_t nargs, PyObject** slots) {
  for (std::size_t i = 0; i < signature.parameters.size(); ++i) slots[i] = nullptr;
  if (static_cast<std::size_t>(nargs) > signature.parameters.size()) return refuse_extra_positionals(signature, nargs);
  for (Py_ssize_t i = 0; i < nargs; ++i) slots[i] = args[i];
  return true;
}

bool check_required(const Signature& signature, PyObject** slots) {
  for (std::size_t i = 0; i < signature.required; ++i) {
    if (slots[i] == nullptr) {
      PyErr_Format(PyExc_TypeError, "%s missing 1 required positional argument: '%s'", signature.function,
                   signature.parameters[i].name);
      return false;
    }
  }
  return true;
}

}  // namespace

bool match_arguments(Surface callable, PyObject* const* args, Py_ssize_t nargsf, PyObject* kwnames, PyObject** slots) {
  const Signature signature = signature_of(callable);
  const Py_ssize_t nargs = PyVectorcall_NARGS(nargsf);
  if (!place_positionals(signature, args, nargs, slots)) return false;
  if (kwnames != nullptr) {
    const Py_ssize_t count = PyTuple_GET_SIZE(kwnames);
    for (Py_ssize_t i = 0; i < count; ++i) {
      if (!place_keyword(signature, PyTuple_GET_ITEM(kwnames, i), args[nargs + i], slots)) return false;
    }
  }
  return check_required(signature, slots);
}

bool match_arguments(Surface callable, PyObject* args, PyObject* kwargs, PyObject** slots) {
  const Signature signature = signature_of(callable);
  const Py_ssize_t nargs = args != nullptr ? PyTuple_GET_SIZE(args) : 0;
  PyObject* const* items = args != nullptr ? &PyTuple_GET_ITEM(args, 0) : nullptr;
  if (!place_positionals(signature, items, nargs, slots)) return false;
  if (kwargs != nullptr) {
    Py_ssize_t position = 0;
    PyObject* name = nullptr;
    PyObject* value = nullptr;
    while (PyDict_Next(kwargs, &position, &name, &value)) {
      if (!place_keyword(signature, name, value, slots)) return false;
    }
  }
  return check_required(signature, slots);
}

}  // namespace tersewright::python

#include "arguments.hpp"

#include "result.hpp"

namespace tersewright::python {

bool Arguments::place_positionals(PyObject* const* args, Py_ssize_t nargs) {
  const std::size_t most = parameters().size();
  if (static_cast<std::size_t>(nargs) <= most) {
    for (Py_ssize_t i = 0; i < nargs; ++i) given_[static_cast<std::size_t>(i)] = args[i];
    return true;
  }
  const std::size_t least = required_count(callable_);
  const char* verb = nargs == 1 ? "was" : "were";
  if (least == most) {
    PyErr_Format(PyExc_TypeError, "%s takes %zu positional arguments but %zd %s given", message_name(callable_), most,
                 nargs, verb);
  } else {
    PyErr_Format(PyExc_TypeError, "%s takes from %zu to %zu positional arguments but %zd %s given",
                 message_name(callable_), least, most, nargs, verb);
  }
  return false;
}

bool Arguments::place_keyword(PyObject* name, PyObject* value) {
  for (std::size_t i = 0; i < parameters().size(); ++i) {
    if (PyUnicode_CompareWithASCIIString(name, this->name(i)) != 0) continue;
    if (given_[i] != nullptr) {
      PyErr_Format(PyExc_TypeError, "%s got multiple values for argument '%s'", message_name(callable_), this->name(i));
      return false;
    }
    given_[i] = value;
    return true;
  }
  PyErr_Format(PyExc_TypeError, "%s got an unexpected keyword argument '%S'", message_name(callable_), name);
  return false;
}

bool Arguments::check_required() const {
  for (std::size_t i = 0; i < required_count(callable_); ++i) {
    if (given_[i] == nullptr) {
      PyErr_Format(PyExc_TypeError, "%s missing 1 required positional argument: '%s'", message_name(callable_),
                   name(i));
      return false;
    }
  }
  return true;
}

bool Arguments::match(PyObject* const* args, Py_ssize_t nargsf, PyObject* kwnames) {
  const Py_ssize_t nargs = PyVectorcall_NARGS(nargsf);
  if (!place_positionals(args, nargs)) return false;
  if (kwnames != nullptr) {
    const Py_ssize_t count = PyTuple_GET_SIZE(kwnames);
    for (Py_ssize_t i = 0; i < count; ++i) {
      if (!place_keyword(PyTuple_GET_ITEM(kwnames, i), args[nargs + i])) return false;
    }
  }
  return check_required();
}

bool Arguments::match(PyObject* args, PyObject* kwargs) {
  const Py_ssize_t nargs = args != nullptr ? PyTuple_GET_SIZE(args) : 0;
  PyObject* const* items = args != nullptr ? &PyTuple_GET_ITEM(args, 0) : nullptr;
  if (!place_positionals(items, nargs)) return false;
  if (kwargs != nullptr) {
    Py_ssize_t position = 0;
    PyObject* name = nullptr;
    PyObject* value = nullptr;
    while (PyDict_Next(kwargs, &position, &name, &value)) {
      if (!place_keyword(name, value)) return false;
    }
  }
  return check_required();
}

bool Arguments::convert_into(RequestFields& fields) const {
  const std::size_t required = required_count(callable_);
  for (std::size_t i = 0; i < parameters().size(); ++i) {
    const Parameter& parameter = parameters()[i];
    if (!parameter.field) throw InternalError{"a parameter that names no request field"};
    if (!convert_field(fields, *parameter.field, given_[i], i < required)) return false;
  }
  return true;
}

}  // namespace tersewright::python

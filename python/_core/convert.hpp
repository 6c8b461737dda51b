// Conversion of Python argument values into engine values.
//
// value_from converts the value alone, one overload per type an argument can become. convert_argument
// takes the (possibly null, meaning "not given") argument of a named parameter: it stores the converted
// value and returns true, or raises and returns false leaving out unchanged. A TypeError raised while
// converting is re-raised as "argument '{name}': " + its message, keeping its cause; every other
// exception passes through unchanged.
#pragma once

#include <Python.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "edit/range.hpp"
#include "interpreter.hpp"

namespace tersewright::python {

// The short name of an object's type, as messages show it.
const char* type_name(PyObject* object) noexcept;

// UTF-8 view of a str, valid while the str lives; raises UnicodeEncodeError for lone surrogates.
bool utf8_view(PyObject* text, std::string_view& out);

PyObject* new_str(std::string_view utf8);

// A str kept alive by a strong reference, with the UTF-8 it reads as: CPython's own buffer (the
// str's data for ASCII, a form it makes once and keeps with the str otherwise), never a copy.
struct StrText {
  Owned object;
  std::string_view utf8;
};

bool value_from(PyObject* value, std::string& out);
bool value_from(PyObject* value, StrText& out);
// True or False, or a numpy boolean.
bool value_from(PyObject* value, bool& out);
// An integer from 0 to 2^64 - 1, through __index__.
bool value_from(PyObject* value, std::uint64_t& out);
// A non-str sequence of (start, end) tuples, iterated once.
bool value_from(PyObject* value, std::vector<edit::ByteRange>& out);
// A non-str sequence of str, iterated once.
bool value_from(PyObject* value, std::vector<std::string>& out);

// Prefixes the TypeError being raised, if that is what is being raised, with the parameter's name.
void prefix_type_error(const char* name);

// Not given leaves out alone, so a caller's default stands.
template <class T>
bool convert_argument(PyObject* value, const char* name, T& out) {
  if (value == nullptr) return true;
  T converted{};
  if (!value_from(value, converted)) {
    prefix_type_error(name);
    return false;
  }
  out = std::move(converted);
  return true;
}

// None, or not given, stands for no value unless the parameter is required: a required argument
// must hold a value of the type.
template <class T>
bool convert_argument(PyObject* value, const char* name, std::optional<T>& out, bool required = false) {
  if (!required && (value == nullptr || value == Py_None)) {
    out.reset();
    return true;
  }
  T converted{};
  if (!convert_argument(value, name, converted)) return false;
  out = std::move(converted);
  return true;
}

template <class T>
bool convert_argument(PyObject* value, const char* name, T& out, bool /*required*/) {
  return convert_argument(value, name, out);
}

// An object kept by reference and never inspected here; None leaves none.
inline bool convert_argument(PyObject* value, const char* /*name*/, Owned& out, bool /*required*/) {
  if (value != nullptr && value != Py_None) out = Owned::borrow(value);
  return true;
}

}  // namespace tersewright::python

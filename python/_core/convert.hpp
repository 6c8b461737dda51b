// Conversion of Python argument values into engine values, one function per conversion kind.
//
// Each function takes the (possibly null, meaning "not given") argument and the parameter name
// used in messages, stores the converted value and returns true, or raises and returns false.
// A TypeError raised while converting is re-raised as "argument '{name}': " + its message,
// keeping its cause; every other exception passes through unchanged.
#pragma once

#include <Python.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "edit/range.hpp"

namespace tersewright::python {

// The short name of an object's type, as messages show it.
const char* type_name(PyObject* object) noexcept;

// UTF-8 view of a str, valid while the str lives; raises UnicodeEncodeError for lone surrogates.
bool utf8_view(PyObject* text, std::string_view& out);

PyObject* new_str(std::string_view utf8);

// Leaves out unchanged when value is null, so a caller's default stands.
bool convert_text(PyObject* value, const char* name, std::string& out);
bool convert_optional_text(PyObject* value, const char* name, std::optional<std::string>& out);
bool convert_optional_flag(PyObject* value, const char* name, std::optional<bool>& out);
bool convert_optional_count(PyObject* value, const char* name, std::optional<std::uint64_t>& out);
bool convert_optional_ranges(PyObject* value, const char* name, std::optional<std::vector<edit::ByteRange>>& out);
bool convert_optional_markers(PyObject* value, const char* name, std::optional<std::vector<std::string>>& out);

// An integer from 0 to 2^64 - 1, through __index__; no prefixing (the tokenizer adapter uses it).
bool count_from(PyObject* value, std::uint64_t& out);

}  // namespace tersewright::python

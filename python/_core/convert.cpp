#include "convert.hpp"

#include <algorithm>
#include <cstring>


namespace tersewright::python {
namespace {

// A sequence's own length is only a hint; a lying __len__ must not make us reserve gigabytes.
constexpr Py_ssize_t max_reserved_items = 4096;

bool refuse_type(PyObject* value, const char* target) {
  PyErr_Format(PyExc_TypeError, "'%s' object cannot be converted to '%s'", type_name(value), target);
  return false;
}

bool is_numpy_bool(PyObject* value) noexcept {
  // Matched by name so that the module does not depend on numpy; 1.x and 2.x spell it differently.
  const char* name = Py_TYPE(value)->tp_name;
  return std::strcmp(name, "numpy.bool_") == 0 || std::strcmp(name, "numpy.bool") == 0;
}

// Iterates a non-str sequence once, handing each item to take, which appends to items.
template <class Item, class Take>
bool each_item(PyObject* value, std::vector<Item>& items, Take&& take) {
  if (PyUnicode_Check(value)) {
    PyErr_SetString(PyExc_TypeError, "Can't extract `str` to `Vec`");
    return false;
  }
  if (!PySequence_Check(value)) return refuse_type(value, "Sequence");
  const Py_ssize_t hint = PySequence_Size(value);
  if (hint < 0) {
    PyErr_Clear();
  } else {
    items.reserve(static_cast<std::size_t>(std::min(hint, max_reserved_items)));
  }
  Owned iterator(PyObject_GetIter(value));
  if (!iterator) return false;
  while (Owned item{PyIter_Next(iterator.get())}) {
    if (!take(item.get())) return false;
  }
  return !PyErr_Occurred();
}

}  // namespace

void prefix_type_error(const char* name) {
  PyObject* type = nullptr;
  PyObject* value = nullptr;
  PyObject* traceback = nullptr;
  PyErr_Fetch(&type, &value, &traceback);
  if (type != PyExc_TypeError) {
    PyErr_Restore(type, value, traceback);
    return;
  }
  PyErr_NormalizeException(&type, &value, &traceback);
  Owned owned_type(type);
  Owned original(value);
  Owned owned_traceback(traceback);
  Owned message(PyObject_Str(original.get()));
  if (!message) return;
  Owned text(PyUnicode_FromFormat("argument '%s': %U", name, message.get()));
  if (!text) return;
  Owned replacement(PyObject_CallOneArg(PyExc_TypeError, text.get()));
  if (!replacement) return;
  if (PyObject* cause = PyException_GetCause(original.get()); cause != nullptr) {
    PyException_SetCause(replacement.get(), cause);  // steals the new reference
  }
  PyErr_SetObject(PyExc_TypeError, replacement.get());
}

const char* type_name(PyObject* object) noexcept {
  const char* full = Py_TYPE(object)->tp_name;
  const char* dot = std::strrchr(full, '.');
  return dot != nullptr ? dot + 1 : full;
}

bool utf8_view(PyObject* text, std::string_view& out) {
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(text, &size);
  if (data == nullptr) return false;
  out = std::string_view(data, static_cast<std::size_t>(size));
  return true;
}

PyObject* new_str(std::string_view utf8) {
  return PyUnicode_DecodeUTF8(utf8.data(), static_cast<Py_ssize_t>(utf8.size()), nullptr);
}

bool value_from(PyObject* value, std::string& out) {
  if (!PyUnicode_Check(value)) return refuse_type(value, "PyString");
  std::string_view view;
  if (!utf8_view(value, view)) return false;
  out.assign(view);
  return true;
}

bool value_from(PyObject* value, StrText& out) {
  if (!PyUnicode_Check(value)) return refuse_type(value, "PyString");
  if (!utf8_view(value, out.utf8)) return false;
  out.object = Owned::borrow(value);
  return true;
}

bool value_from(PyObject* value, bool& out) {
  if (PyBool_Check(value)) {
    out = value == Py_True;
    return true;
  }
  if (!is_numpy_bool(value)) return refuse_type(value, "PyBool");
  const int truth = PyObject_IsTrue(value);
  if (truth < 0) return false;
  out = truth != 0;
  return true;
}

bool value_from(PyObject* value, std::uint64_t& out) {
  Owned index(PyNumber_Index(value));
  if (!index) return false;
  const unsigned long long number = PyLong_AsUnsignedLongLong(index.get());
  if (number == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return false;
  out = number;
  return true;
}

bool value_from(PyObject* value, std::vector<edit::ByteRange>& out) {
  return each_item(value, out, [&out](PyObject* item) {
    if (!PyTuple_Check(item)) return refuse_type(item, "PyTuple");
    if (PyTuple_GET_SIZE(item) != 2) {
      PyErr_Format(PyExc_ValueError, "expected tuple of length 2, but got tuple of length %zd", PyTuple_GET_SIZE(item));
      return false;
    }
    edit::ByteRange range;
    if (!value_from(PyTuple_GET_ITEM(item, 0), range.start)) return false;
    if (!value_from(PyTuple_GET_ITEM(item, 1), range.end)) return false;
    out.push_back(range);
    return true;
  });
}

bool value_from(PyObject* value, std::vector<std::string>& out) {
  return each_item(value, out, [&out](PyObject* item) {
    std::string marker;
    if (!value_from(item, marker)) return false;
    out.push_back(std::move(marker));
    return true;
  });
}

}  // namespace tersewright::python

// FoldRequest: a mutable, typed description of one fold.
#include <memory>

#include "arguments.hpp"
#include "classes.hpp"
#include "convert.hpp"
#include "interpreter.hpp"
#include "repr_text.hpp"

namespace tersewright::python {
namespace {

RequestObject* as_request(PyObject* self) noexcept { return reinterpret_cast<RequestObject*>(self); }

// The value of a field as its property shows it, one overload per type a shown field holds.
PyObject* python_value(const std::string& text) { return new_str(text); }
PyObject* python_value(const StrText& text) { return new_str(text.utf8); }
PyObject* python_value(bool flag) { return PyBool_FromLong(flag ? 1 : 0); }
PyObject* python_value(std::uint64_t number) { return PyLong_FromUnsignedLongLong(number); }

PyObject* python_value(const edit::ByteRange& range) {
  return Py_BuildValue("(KK)", static_cast<unsigned long long>(range.start), static_cast<unsigned long long>(range.end));
}

template <class T>
PyObject* python_value(const std::vector<T>& items) {
  Owned list(PyList_New(static_cast<Py_ssize_t>(items.size())));
  if (!list) return nullptr;
  for (std::size_t i = 0; i < items.size(); ++i) {
    PyObject* item = python_value(items[i]);
    if (item == nullptr) return nullptr;
    PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), item);
  }
  return list.release();
}

template <class T>
PyObject* python_value(const std::optional<T>& value) {
  return value ? python_value(*value) : Py_NewRef(Py_None);
}

PyObject* read_field(const RequestFields& fields, Field field) {
  switch (field) {
#define TERSEWRIGHT_READ_FIELD(member, type, initial) \
  case Field::member: return python_value(fields.member);
#define TERSEWRIGHT_UNREAD_FIELD(member, type, initial) \
  case Field::member: break;
    TERSEWRIGHT_REQUEST_FIELDS(TERSEWRIGHT_READ_FIELD, TERSEWRIGHT_UNREAD_FIELD)
#undef TERSEWRIGHT_READ_FIELD
#undef TERSEWRIGHT_UNREAD_FIELD
  }
  return Py_NewRef(Py_None);
}

Field field_of(void* closure) noexcept { return static_cast<Field>(reinterpret_cast<std::intptr_t>(closure)); }

PyObject* get_field(PyObject* self, void* closure) {
  return guarded<PyObject*>(nullptr, [&] { return read_field(as_request(self)->fields, field_of(closure)); });
}

int set_field(PyObject* self, PyObject* value, void* closure) {
  return guarded(-1, [&] {
    if (value == nullptr) {
      PyErr_SetString(PyExc_AttributeError, "can't delete attribute");
      return -1;
    }
    RequestObject* request = as_request(self);
    if (request->borrows > 0) {
      PyErr_SetString(PyExc_RuntimeError, "Already borrowed");
      return -1;
    }
    return convert_field(request->fields, field_of(closure), value, false) ? 0 : -1;
  });
}

PyObject* request_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    Arguments arguments(Surface::request);
    RequestFields fields;
    if (!arguments.match(args, kwargs) || !arguments.convert_into(fields)) return nullptr;
    PyObject* self = type->tp_alloc(type, 0);
    if (self == nullptr) return nullptr;
    std::construct_at(&as_request(self)->fields, std::move(fields));
    as_request(self)->borrows = 0;
    return self;
  });
}

int request_traverse(PyObject* self, visitproc visit, void* arg) {
  Py_VISIT(Py_TYPE(self));
  Py_VISIT(as_request(self)->fields.tokenizer.get());
  return 0;
}

int request_clear(PyObject* self) {
  as_request(self)->fields.tokenizer.reset();
  return 0;
}

void request_dealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  PyObject_GC_UnTrack(self);
  std::destroy_at(&as_request(self)->fields);
  type->tp_free(self);
  Py_DECREF(type);
}

void append_optional(std::string& out, const std::optional<std::string>& text) {
  if (!text) {
    out += "None";
    return;
  }
  out += "Some(";
  append_quoted(out, *text);
  out += ')';
}

PyObject* request_repr(PyObject* self) {
  return guarded<PyObject*>(nullptr, [&] {
    const RequestFields& fields = as_request(self)->fields;
    std::string text = "FoldRequest(profile=";
    append_quoted(text, fields.profile);
    text += ", language=";
    append_optional(text, fields.language);
    text += ", path=";
    append_optional(text, fields.path);
    text += ')';
    return new_str(text);
  });
}

void* closure_of(Field field) noexcept { return reinterpret_cast<void*>(static_cast<std::intptr_t>(field)); }

#define TERSEWRIGHT_PROPERTY_ROW(member, type, initial) \
  {field_name(Field::member), get_field, set_field, nullptr, closure_of(Field::member)},
#define TERSEWRIGHT_NO_PROPERTY_ROW(member, type, initial)
PyGetSetDef request_properties[] = {
    TERSEWRIGHT_REQUEST_FIELDS(TERSEWRIGHT_PROPERTY_ROW, TERSEWRIGHT_NO_PROPERTY_ROW)
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};
#undef TERSEWRIGHT_PROPERTY_ROW
#undef TERSEWRIGHT_NO_PROPERTY_ROW

PyType_Slot request_slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(request_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(request_dealloc)},
    {Py_tp_traverse, reinterpret_cast<void*>(request_traverse)},
    {Py_tp_clear, reinterpret_cast<void*>(request_clear)},
    {Py_tp_repr, reinterpret_cast<void*>(request_repr)},
    {Py_tp_getset, request_properties},
    {Py_tp_doc, const_cast<char*>(docstring(Surface::request))},
    {0, nullptr},
};

PyType_Spec request_spec = {
    "builtins.FoldRequest",
    static_cast<int>(sizeof(RequestObject)),
    0,
    Py_TPFLAGS_DEFAULT | immutable_type_flag | Py_TPFLAGS_BASETYPE | Py_TPFLAGS_HAVE_GC,
    request_slots,
};

}  // namespace

PyTypeObject* create_request_type() { return create_type(request_spec); }

}  // namespace tersewright::python

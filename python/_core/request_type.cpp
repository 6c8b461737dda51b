// FoldRequest: a mutable, typed description of one fold.
#include <memory>

#include "arguments.hpp"
#include "classes.hpp"
#include "convert.hpp"
#include "guard.hpp"
#include "text_format.hpp"

namespace tersewright::python {
namespace {

enum class Field : int {
  content,
  profile,
  path,
  language,
  allow_lossy,
  budget_bytes,
  budget_chars,
  budget_tokens,
  protected_ranges,
  protected_line_markers,
};

RequestObject* as_request(PyObject* self) noexcept { return reinterpret_cast<RequestObject*>(self); }

PyObject* optional_str(const std::optional<std::string>& text) { return text ? new_str(*text) : Py_NewRef(Py_None); }

PyObject* optional_int(const std::optional<std::uint64_t>& number) {
  return number ? PyLong_FromUnsignedLongLong(*number) : Py_NewRef(Py_None);
}

PyObject* ranges_list(const std::vector<edit::ByteRange>& ranges) {
  Owned list(PyList_New(static_cast<Py_ssize_t>(ranges.size())));
  if (!list) return nullptr;
  for (std::size_t i = 0; i < ranges.size(); ++i) {
    PyObject* pair = Py_BuildValue("(KK)", static_cast<unsigned long long>(ranges[i].start),
                                   static_cast<unsigned long long>(ranges[i].end));
    if (pair == nullptr) return nullptr;
    PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), pair);
  }
  return list.release();
}

PyObject* markers_list(const std::vector<std::string>& markers) {
  Owned list(PyList_New(static_cast<Py_ssize_t>(markers.size())));
  if (!list) return nullptr;
  for (std::size_t i = 0; i < markers.size(); ++i) {
    PyObject* marker = new_str(markers[i]);
    if (marker == nullptr) return nullptr;
    PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), marker);
  }
  return list.release();
}

PyObject* read_field(const RequestFields& fields, Field field) {
  switch (field) {
    case Field::content: return new_str(fields.content);
    case Field::profile: return new_str(fields.profile);
    case Field::path: return optional_str(fields.path);
    case Field::language: return optional_str(fields.language);
    case Field::allow_lossy:
      return fields.allow_lossy ? PyBool_FromLong(*fields.allow_lossy ? 1 : 0) : Py_NewRef(Py_None);
    case Field::budget_bytes: return optional_int(fields.budget_bytes);
    case Field::budget_chars: return optional_int(fields.budget_chars);
    case Field::budget_tokens: return optional_int(fields.budget_tokens);
    case Field::protected_ranges:
      return fields.protected_ranges ? ranges_list(*fields.protected_ranges) : Py_NewRef(Py_None);
    case Field::protected_line_markers:
      return fields.protected_line_markers ? markers_list(*fields.protected_line_markers) : Py_NewRef(Py_None);
  }
  return Py_NewRef(Py_None);
}

// Converts into the field only when the conversion succeeds, so a failure keeps the old value.
template <class T, class Convert>
bool replace(PyObject* value, const char* name, T& field, Convert convert) {
  T converted{};
  if (!convert(value, name, converted)) return false;
  field = std::move(converted);
  return true;
}

bool write_field(RequestFields& fields, Field field, PyObject* value) {
  switch (field) {
    case Field::content: return replace(value, "content", fields.content, convert_text);
    case Field::profile: return replace(value, "profile", fields.profile, convert_text);
    case Field::path: return replace(value, "path", fields.path, convert_optional_text);
    case Field::language: return replace(value, "language", fields.language, convert_optional_text);
    case Field::allow_lossy: return replace(value, "allow_lossy", fields.allow_lossy, convert_optional_flag);
    case Field::budget_bytes: return replace(value, "budget_bytes", fields.budget_bytes, convert_optional_count);
    case Field::budget_chars: return replace(value, "budget_chars", fields.budget_chars, convert_optional_count);
    case Field::budget_tokens: return replace(value, "budget_tokens", fields.budget_tokens, convert_optional_count);
    case Field::protected_ranges:
      return replace(value, "protected_ranges", fields.protected_ranges, convert_optional_ranges);
    case Field::protected_line_markers:
      return replace(value, "protected_line_markers", fields.protected_line_markers, convert_optional_markers);
  }
  return true;
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
    return write_field(request->fields, field_of(closure), value) ? 0 : -1;
  });
}

bool convert_constructor_arguments(PyObject* const* slots, RequestFields& fields) {
  if (!(convert_text(slots[0], "content", fields.content) && convert_text(slots[1], "profile", fields.profile) &&
        convert_optional_text(slots[2], "path", fields.path) &&
        convert_optional_text(slots[3], "language", fields.language) &&
        convert_optional_flag(slots[4], "allow_lossy", fields.allow_lossy) &&
        convert_optional_count(slots[5], "budget_bytes", fields.budget_bytes) &&
        convert_optional_count(slots[6], "budget_chars", fields.budget_chars) &&
        convert_optional_count(slots[7], "budget_tokens", fields.budget_tokens))) {
    return false;
  }
  // Kept by reference and never inspected until a token budget needs it.
  if (slots[8] != nullptr && slots[8] != Py_None) fields.tokenizer = Owned::borrow(slots[8]);
  return convert_optional_ranges(slots[9], "protected_ranges", fields.protected_ranges) &&
         convert_optional_markers(slots[10], "protected_line_markers", fields.protected_line_markers);
}

PyObject* request_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject* slots[parameter_count(Surface::request)];
    if (!match_arguments(Surface::request, args, kwargs, slots)) return nullptr;
    RequestFields fields;
    if (!convert_constructor_arguments(slots, fields)) return nullptr;
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

PyGetSetDef request_properties[] = {
    {"content", get_field, set_field, nullptr, closure_of(Field::content)},
    {"profile", get_field, set_field, nullptr, closure_of(Field::profile)},
    {"path", get_field, set_field, nullptr, closure_of(Field::path)},
    {"language", get_field, set_field, nullptr, closure_of(Field::language)},
    {"allow_lossy", get_field, set_field, nullptr, closure_of(Field::allow_lossy)},
    {"budget_bytes", get_field, set_field, nullptr, closure_of(Field::budget_bytes)},
    {"budget_chars", get_field, set_field, nullptr, closure_of(Field::budget_chars)},
    {"budget_tokens", get_field, set_field, nullptr, closure_of(Field::budget_tokens)},
    {"protected_ranges", get_field, set_field, nullptr, closure_of(Field::protected_ranges)},
    {"protected_line_markers", get_field, set_field, nullptr, closure_of(Field::protected_line_markers)},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

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

PyTypeObject* create_request_type() { return create_type(request_spec, docstring(Surface::request)); }

}  // namespace tersewright::python

#include "state.hpp"

#include <cstring>

#include "classes.hpp"
#include "guard.hpp"

namespace tersewright::python {

ModuleState& module_state() noexcept {
  static ModuleState state;
  return state;
}

void raise_internal_error(const char* what) noexcept {
  PyObject* type = module_state().internal_error;
  PyErr_SetString(type != nullptr ? type : PyExc_SystemError, what);
}

PyTypeObject* create_type(PyType_Spec& spec, const char* full_doc) {
  auto* type = reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&spec));
  if (type == nullptr) return nullptr;
  // Type creation keeps only the documentation sentence in tp_doc (and in __doc__), but the
  // interpreter derives __text_signature__ from tp_doc, so the full text goes back there.
  const std::size_t size = std::strlen(full_doc) + 1;
  auto* doc = static_cast<char*>(PyObject_Malloc(size));
  if (doc == nullptr) {
    Py_DECREF(type);
    PyErr_NoMemory();
    return nullptr;
  }
  std::memcpy(doc, full_doc, size);
  PyObject_Free(const_cast<char*>(type->tp_doc));
  type->tp_doc = doc;
  return type;
}

}  // namespace tersewright::python

#include "classes.hpp"

#include <cstring>

namespace tersewright::python {

PyTypeObject* create_type(PyType_Spec& spec) {
  const char* full_doc = nullptr;
  for (const PyType_Slot* slot = spec.slots; slot->slot != 0; ++slot) {
    if (slot->slot == Py_tp_doc) full_doc = static_cast<const char*>(slot->pfunc);
  }
  auto* type = reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&spec));
  if (type == nullptr || full_doc == nullptr) return type;
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

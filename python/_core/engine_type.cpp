// Engine: a reusable engine that keeps one analyzer registry for its lifetime.
#include <memory>

#include "arguments.hpp"
#include "classes.hpp"
#include "convert.hpp"
#include "folding.hpp"
#include "guard.hpp"
#include "state.hpp"

namespace tersewright::python {
namespace {

constexpr Signature constructor_signature{"Engine.__new__()", {}, 0};
constexpr Signature fold_signature{"Engine.fold()", content_fold_parameters, 1};
constexpr Signature fold_file_signature{"Engine.fold_file()", file_fold_parameters, 1};
constexpr const char* fold_request_parameters[] = {"request"};
constexpr Signature fold_request_signature{"Engine.fold_request()", fold_request_parameters, 1};

const analyzer::AnalyzerRegistry& registry_of(PyObject* self) noexcept {
  return reinterpret_cast<EngineObject*>(self)->registry;
}

PyObject* engine_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    if (!match_arguments(constructor_signature, args, kwargs, nullptr)) return nullptr;
    auto registry = analyzer::AnalyzerRegistry::built_in();
    PyObject* self = type->tp_alloc(type, 0);
    if (self == nullptr) return nullptr;
    std::construct_at(&reinterpret_cast<EngineObject*>(self)->registry, std::move(registry));
    return self;
  });
}

void engine_dealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  std::destroy_at(&reinterpret_cast<EngineObject*>(self)->registry);
  type->tp_free(self);
  Py_DECREF(type);
}

PyObject* engine_fold(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject* slots[std::size(content_fold_parameters)];
    if (!match_arguments(fold_signature, args, nargs, kwnames, slots)) return nullptr;
    ContentArguments arguments;
    if (!convert_content_arguments(slots, arguments)) return nullptr;
    return fold_content(registry_of(self), std::move(arguments));
  });
}

PyObject* engine_fold_request(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject* slots[1];
    if (!match_arguments(fold_request_signature, args, nargs, kwnames, slots)) return nullptr;
    if (!PyObject_TypeCheck(slots[0], module_state().request_type)) {
      PyErr_Format(PyExc_TypeError, "argument 'request': '%s' object cannot be converted to 'FoldRequest'",
                   type_name(slots[0]));
      return nullptr;
    }
    return fold_request(registry_of(self), reinterpret_cast<RequestObject*>(slots[0]));
  });
}

PyObject* engine_fold_file(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject* slots[std::size(file_fold_parameters)];
    if (!match_arguments(fold_file_signature, args, nargs, kwnames, slots)) return nullptr;
    FileArguments arguments;
    if (!convert_file_arguments(slots, arguments)) return nullptr;
    return fold_file(registry_of(self), std::move(arguments));
  });
}

PyMethodDef engine_methods[] = {
    {"fold", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(engine_fold)), METH_FASTCALL | METH_KEYWORDS,
     "fold($self, content, profile=\"safe\", path=None, language=None, allow_lossy=None, budget_bytes=None, "
     "budget_chars=None, protected_ranges=None, protected_line_markers=None)\n--\n\n"
     "Fold raw content using keyword configuration."},
    {"fold_request", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(engine_fold_request)),
     METH_FASTCALL | METH_KEYWORDS, "fold_request($self, request)\n--\n\nFold a `FoldRequest` object."},
    {"fold_file", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(engine_fold_file)),
     METH_FASTCALL | METH_KEYWORDS,
     "fold_file($self, path, profile=\"safe\", language=None, allow_lossy=None)\n--\n\n"
     "Fold the contents of a file. Never writes to disk."},
    {nullptr, nullptr, 0, nullptr},
};

constexpr const char engine_doc[] = "Engine()\n--\n\nThe transformation engine.";

PyType_Slot engine_slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(engine_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(engine_dealloc)},
    {Py_tp_methods, engine_methods},
    {Py_tp_doc, const_cast<char*>(engine_doc)},
    {0, nullptr},
};

PyType_Spec engine_spec = {
    "builtins.Engine", static_cast<int>(sizeof(EngineObject)), 0, Py_TPFLAGS_DEFAULT | immutable_type_flag,
    engine_slots,
};

}  // namespace

PyTypeObject* create_engine_type() { return create_type(engine_spec, engine_doc); }

}  // namespace tersewright::python

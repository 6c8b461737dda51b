// Engine: a reusable engine that keeps one analyzer registry for its lifetime.
#include <memory>

#include "arguments.hpp"
#include "classes.hpp"
#include "convert.hpp"
#include "folding.hpp"
#include "interpreter.hpp"

namespace tersewright::python {
namespace {

const analyzer::AnalyzerRegistry& registry_of(PyObject* self) noexcept {
  return reinterpret_cast<EngineObject*>(self)->registry;
}

PyObject* engine_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    if (!Arguments(Surface::engine).match(args, kwargs)) return nullptr;
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
    Arguments arguments(Surface::engine_fold);
    RequestFields fields;
    if (!arguments.match(args, nargs, kwnames) || !arguments.convert_into(fields)) return nullptr;
    return fold_content(registry_of(self), std::move(fields));
  });
}

PyObject* engine_fold_request(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    Arguments arguments(Surface::engine_fold_request);
    if (!arguments.match(args, nargs, kwnames)) return nullptr;
    PyObject* request = arguments[0];
    if (!PyObject_TypeCheck(request, module_state().request_type)) {
      PyErr_Format(PyExc_TypeError, "argument '%s': '%s' object cannot be converted to 'FoldRequest'",
                   arguments.name(0), type_name(request));
      return nullptr;
    }
    return fold_request(registry_of(self), reinterpret_cast<RequestObject*>(request));
  });
}

PyObject* engine_fold_file(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    Arguments arguments(Surface::engine_fold_file);
    RequestFields fields;
    if (!arguments.match(args, nargs, kwnames) || !arguments.convert_into(fields)) return nullptr;
    return fold_file(registry_of(self), std::move(fields));
  });
}

PyMethodDef engine_methods[] = {
    method_row<Surface::engine_fold>(engine_fold),
    method_row<Surface::engine_fold_request>(engine_fold_request),
    method_row<Surface::engine_fold_file>(engine_fold_file),
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot engine_slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(engine_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(engine_dealloc)},
    {Py_tp_methods, engine_methods},
    {Py_tp_doc, const_cast<char*>(docstring(Surface::engine))},
    {0, nullptr},
};

PyType_Spec engine_spec = {
    "builtins.Engine", static_cast<int>(sizeof(EngineObject)), 0, Py_TPFLAGS_DEFAULT | immutable_type_flag,
    engine_slots,
};

}  // namespace

PyTypeObject* create_engine_type() { return create_type(engine_spec); }

}  // namespace tersewright::python

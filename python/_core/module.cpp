// The _core module: initialisation, the module functions and the exception types.
#include <Python.h>

#include <string_view>

#include "analyzer/language.hpp"
#include "analyzer/syntax.hpp"
#include "arguments.hpp"
#include "classes.hpp"
#include "convert.hpp"
#include "dict_forms.hpp"
#include "folding.hpp"
#include "interpreter.hpp"
#include "transform/profiles.hpp"

namespace tersewright::python {
namespace {

// The languages served line by line, ahead of the registry's.
constexpr std::string_view line_languages[] = {"markdown", "log", "json", "text"};

PyObject* module_fold(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    Arguments arguments(Surface::fold);
    RequestFields fields;
    if (!arguments.match(args, nargs, kwnames) || !arguments.convert_into(fields)) return nullptr;
    return fold_content(analyzer::AnalyzerRegistry::built_in(), std::move(fields));
  });
}

PyObject* module_fold_file(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    Arguments arguments(Surface::fold_file);
    RequestFields fields;
    if (!arguments.match(args, nargs, kwnames) || !arguments.convert_into(fields)) return nullptr;
    return fold_file(analyzer::AnalyzerRegistry::built_in(), std::move(fields));
  });
}

PyObject* module_profiles(PyObject*, PyObject*) {
  return guarded<PyObject*>(nullptr, []() -> PyObject* {
    const auto& names = transform::profile_names();
    Owned list(PyList_New(static_cast<Py_ssize_t>(names.size())));
    if (!list) return nullptr;
    for (std::size_t i = 0; i < names.size(); ++i) {
      PyObject* name = new_str(names[i]);
      if (name == nullptr) return nullptr;
      PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), name);
    }
    return list.release();
  });
}

PyObject* module_profile_info(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    Arguments arguments(Surface::profile_info);
    std::string name;
    if (!arguments.match(args, nargs, kwnames) || !convert_argument(arguments[0], arguments.name(0), name)) {
      return nullptr;
    }
    auto profile = transform::lookup_profile(name);
    if (!profile) {
      Owned message(new_str(profile.error().name));  // the name exactly as given
      if (message) PyErr_SetObject(module_state().unknown_profile_error, message.get());
      return nullptr;
    }
    return profile_dict(profile.value());
  });
}

PyObject* module_detect_language(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    Arguments arguments(Surface::detect_language);
    RequestFields fields;
    if (!arguments.match(args, nargs, kwnames) || !arguments.convert_into(fields)) return nullptr;
    std::optional<std::string_view> path;
    if (fields.path) path = *fields.path;
    return new_str(analyzer::language_id(analyzer::detect_language(path, fields.content.utf8)));
  });
}

PyObject* module_supported_languages(PyObject*, PyObject*) {
  return guarded<PyObject*>(nullptr, []() -> PyObject* {
    const auto registry = analyzer::AnalyzerRegistry::built_in();
    Owned list(PyList_New(0));
    if (!list) return nullptr;
    auto append = [&list](std::string_view id) {
      Owned item(new_str(id));
      return item && PyList_Append(list.get(), item.get()) == 0;
    };
    for (std::string_view id : line_languages) {
      if (!append(id)) return nullptr;
    }
    for (const auto& analyzer : registry.analyzers()) {
      if (!append(analyzer::language_id(analyzer.language()))) return nullptr;
    }
    return list.release();
  });
}

// In the order the functions become module attributes.
PyMethodDef module_functions[] = {
    method_row<Surface::fold>(module_fold),
    method_row<Surface::fold_file>(module_fold_file),
    method_row<Surface::profiles>(module_profiles),
    method_row<Surface::profile_info>(module_profile_info),
    method_row<Surface::detect_language>(module_detect_language),
    method_row<Surface::supported_languages>(module_supported_languages),
    {nullptr, nullptr, 0, nullptr},
};

// Functions are added by hand after the classes and exceptions, so the definition lists none.
PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT,
    "_core",
    "",
    // Not -1: with a size of 0 the interpreter calls the init function again on every later
    // load instead of copying a saved dict, which is what lets a second interpreter be refused.
    0,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

bool create_exception(PyObject*& slot, const char* qualified_name, PyObject* base) {
  if (slot == nullptr) slot = PyErr_NewException(qualified_name, base, nullptr);
  return slot != nullptr;
}

// Exception types are created once per process and kept even if the rest of the import fails.
bool create_exceptions(ModuleState& state) {
  return create_exception(state.internal_error, "_core.InternalError", PyExc_BaseException) &&
         create_exception(state.base_error, "_core.TerseWrightError", PyExc_Exception) &&
         create_exception(state.unknown_profile_error, "_core.UnknownProfileError", state.base_error) &&
         create_exception(state.invalid_config_error, "_core.InvalidConfigError", state.base_error) &&
         create_exception(state.budget_not_met_error, "_core.BudgetNotMetError", state.base_error);
}

bool add(PyObject* module, const char* name, PyObject* value) {
  return value != nullptr && PyModule_AddObjectRef(module, name, value) == 0;
}

bool refuse_other_interpreter(ModuleState& state) {
  const std::int64_t id = PyInterpreterState_GetID(PyInterpreterState_Get());
  if (id == -1 && PyErr_Occurred()) return true;
  if (!state.interpreter_recorded) {
    state.interpreter_recorded = true;
    state.interpreter_id = id;
    return false;
  }
  if (id == state.interpreter_id) return false;
  PyErr_SetString(PyExc_ImportError,
                  "_core supports a single interpreter per process and was already initialised in another one");
  return true;
}

PyObject* initialise() {
  ModuleState& state = module_state();
  if (refuse_other_interpreter(state)) return nullptr;
  if (state.module != nullptr) return Py_NewRef(state.module);
  if (!create_exceptions(state)) return nullptr;

  Owned module(PyModule_Create(&module_definition));
  if (!module) return nullptr;
  Owned engine(reinterpret_cast<PyObject*>(create_engine_type()));
  Owned request(reinterpret_cast<PyObject*>(create_request_type()));
  Owned result(reinterpret_cast<PyObject*>(create_result_type()));
  Owned report(reinterpret_cast<PyObject*>(create_report_type()));
  if (!engine || !request || !result || !report) return nullptr;

  PyObject* m = module.get();
  if (!add(m, "Engine", engine.get()) || !add(m, "FoldRequest", request.get()) || !add(m, "FoldResult", result.get()) ||
      !add(m, "Report", report.get()) || !add(m, "TerseWrightError", state.base_error) ||
      !add(m, "UnknownProfileError", state.unknown_profile_error) ||
      !add(m, "InvalidConfigError", state.invalid_config_error) ||
      !add(m, "BudgetNotMetError", state.budget_not_met_error)) {
    return nullptr;
  }
  Owned module_name(PyModule_GetNameObject(m));
  if (!module_name) return nullptr;
  for (PyMethodDef* def = module_functions; def->ml_name != nullptr; ++def) {
    Owned function(PyCFunction_NewEx(def, m, module_name.get()));
    if (!add(m, def->ml_name, function.get())) return nullptr;
  }
  Owned version(new_str(transform::engine_version));
  if (!add(m, "__version__", version.get())) return nullptr;

  // Only a complete module is cached; the types live as long as it does (for the process).
  state.engine_type = reinterpret_cast<PyTypeObject*>(engine.release());
  state.request_type = reinterpret_cast<PyTypeObject*>(request.release());
  state.result_type = reinterpret_cast<PyTypeObject*>(result.release());
  state.report_type = reinterpret_cast<PyTypeObject*>(report.release());
  state.module = Py_NewRef(m);
  return module.release();
}

}  // namespace
}  // namespace tersewright::python

PyMODINIT_FUNC PyInit__core(void) {
  return tersewright::python::guarded<PyObject*>(nullptr, [] { return tersewright::python::initialise(); });
}

// The objects the module creates once per process and every entry point shares.
#pragma once

#include <Python.h>

#include <cstdint>

namespace tersewright::python {

// The module supports one interpreter per process and is initialised once, so its classes and
// exception types are process-wide; this record is the only place that holds them.
struct ModuleState {
  PyObject* module = nullptr;
  PyTypeObject* engine_type = nullptr;
  PyTypeObject* request_type = nullptr;
  PyTypeObject* result_type = nullptr;
  PyTypeObject* report_type = nullptr;
  PyObject* base_error = nullptr;
  PyObject* unknown_profile_error = nullptr;
  PyObject* invalid_config_error = nullptr;
  PyObject* budget_not_met_error = nullptr;
  // Derives from BaseException so that `except Exception` never swallows a broken invariant.
  PyObject* internal_error = nullptr;
  bool interpreter_recorded = false;
  std::int64_t interpreter_id = 0;
};

ModuleState& module_state() noexcept;

}  // namespace tersewright::python

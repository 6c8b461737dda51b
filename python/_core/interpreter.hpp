// What every part of the binding shares at the interpreter's edge: the owner of a strong reference,
// the objects the module creates once per process, and the guard that keeps C++ exceptions from
// crossing into the interpreter.
#pragma once

#include <Python.h>

#include <cstdint>
#include <exception>
#include <new>
#include <utility>

#include "result.hpp"

namespace tersewright::python {

// The one owner of a strong reference to a Python object.
class Owned {
 public:
  Owned() noexcept = default;
  // Takes over a new reference (which may be null after a failed call).
  explicit Owned(PyObject* reference) noexcept : object_(reference) {}
  static Owned borrow(PyObject* object) noexcept {
    Py_XINCREF(object);
    return Owned(object);
  }

  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  Owned(Owned&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) {
      PyObject* old = std::exchange(object_, std::exchange(other.object_, nullptr));
      Py_XDECREF(old);
    }
    return *this;
  }
  ~Owned() { Py_XDECREF(object_); }

  PyObject* get() const noexcept { return object_; }
  explicit operator bool() const noexcept { return object_ != nullptr; }
  // Hands the reference to a caller that steals it (a return value, PyList_SET_ITEM).
  PyObject* release() noexcept { return std::exchange(object_, nullptr); }
  void reset(PyObject* reference = nullptr) noexcept {
    PyObject* old = std::exchange(object_, reference);
    Py_XDECREF(old);
  }

 private:
  PyObject* object_ = nullptr;
};

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

inline ModuleState& module_state() noexcept {
  static ModuleState state;
  return state;
}

// Raises the module's internal-failure exception with the text; before the module has made that
// type, a SystemError.
inline void raise_internal_error(const char* what) noexcept {
  PyObject* type = module_state().internal_error;
  PyErr_SetString(type != nullptr ? type : PyExc_SystemError, what);
}

// Every entry point runs its body here.
template <class R, class Body>
R guarded(R failure, Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (const tersewright::InternalError& error) {
    raise_internal_error(error.what != nullptr ? error.what : "internal invariant broken");
  } catch (const std::exception& error) {
    raise_internal_error(error.what());
  } catch (...) {
    raise_internal_error("unidentified internal failure");
  }
  return failure;
}

}  // namespace tersewright::python

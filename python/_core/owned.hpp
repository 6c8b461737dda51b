// The one owner of a strong reference to a Python object.
#pragma once

#include <Python.h>

#include <utility>

namespace tersewright::python {

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

}  // namespace tersewright::python

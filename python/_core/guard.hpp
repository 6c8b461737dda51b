// Keeps C++ exceptions from crossing into the interpreter: every entry point runs its body here.
#pragma once

#include <Python.h>

#include <exception>
#include <new>

#include "result.hpp"

namespace tersewright::python {

// Raises the module's internal-failure exception (a BaseException subclass) with the text.
void raise_internal_error(const char* what) noexcept;

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

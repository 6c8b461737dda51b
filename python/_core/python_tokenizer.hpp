// The engine-side tokenizer that counts through a caller's Python object.
#pragma once

#include <Python.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "interpreter.hpp"
#include "transform/request.hpp"

namespace tersewright::python {

class PythonTokenizer final : public transform::Tokenizer {
 public:
  // Reads the object's name once; never fails (an unusable name becomes "caller-supplied").
  explicit PythonTokenizer(PyObject* object);

  std::string name() const override { return name_; }
  // Calls object.count(text), looked up afresh each time. Any failure is swallowed and counts as
  // 2^64 - 1, so that a budget can never be reported as met on a count that did not happen.
  std::uint64_t count(std::string_view text) override;

 private:
  Owned object_;
  std::string name_;
};

}  // namespace tersewright::python

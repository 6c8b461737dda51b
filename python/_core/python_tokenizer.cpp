#include "python_tokenizer.hpp"

#include <limits>

#include "convert.hpp"

namespace tersewright::python {
namespace {

constexpr std::uint64_t failed_count = std::numeric_limits<std::uint64_t>::max();

std::string read_name(PyObject* object) {
  Owned name(PyObject_GetAttrString(object, "name"));
  std::string_view text;
  if (name && PyUnicode_Check(name.get()) && utf8_view(name.get(), text)) return std::string(text);
  PyErr_Clear();
  return "caller-supplied";
}

// Releases the interpreter lock taken for one count, whatever way the count ends.
class LockHeld {
 public:
  LockHeld() noexcept : state_(PyGILState_Ensure()) {}
  LockHeld(const LockHeld&) = delete;
  LockHeld& operator=(const LockHeld&) = delete;
  ~LockHeld() { PyGILState_Release(state_); }

 private:
  PyGILState_STATE state_;
};

std::uint64_t count_or_fail(PyObject* object, std::string_view text) {
  Owned text_object(new_str(text));
  if (!text_object) return failed_count;
  Owned arguments(PyTuple_Pack(1, text_object.get()));
  if (!arguments) return failed_count;
  Owned method(PyObject_GetAttrString(object, "count"));
  if (!method) return failed_count;
  Owned returned(PyObject_Call(method.get(), arguments.get(), nullptr));
  if (!returned) return failed_count;
  std::uint64_t count = 0;
  if (!value_from(returned.get(), count)) return failed_count;
  return count;
}

}  // namespace

PythonTokenizer::PythonTokenizer(PyObject* object) : object_(Owned::borrow(object)), name_(read_name(object)) {}

std::uint64_t PythonTokenizer::count(std::string_view text) {
  const LockHeld lock;
  const std::uint64_t count = count_or_fail(object_.get(), text);
  // The caller never sees what went wrong inside its tokenizer, only the failed count.
  if (PyErr_Occurred()) PyErr_Clear();
  return count;
}

}  // namespace tersewright::python

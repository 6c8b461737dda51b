#include "value_tree.hpp"

#include <algorithm>
#include <cmath>

#include "convert.hpp"
#include "interpreter.hpp"

namespace tersewright::python {
namespace {

constexpr std::uint64_t first_float_only = std::uint64_t{1} << 63;

// A scalar's Python object, or an empty container of the right size to be filled later.
PyObject* shallow(const Value& value) {
  struct Visitor {
    PyObject* operator()(std::nullptr_t) const { return Py_NewRef(Py_None); }
    PyObject* operator()(bool flag) const { return PyBool_FromLong(flag ? 1 : 0); }
    PyObject* operator()(std::uint64_t number) const {
      if (number >= first_float_only) return PyFloat_FromDouble(static_cast<double>(number));
      return PyLong_FromUnsignedLongLong(number);
    }
    PyObject* operator()(std::int64_t number) const { return PyLong_FromLongLong(number); }
    PyObject* operator()(double number) const { return PyFloat_FromDouble(number); }
    PyObject* operator()(const std::string& text) const { return new_str(text); }
    PyObject* operator()(const Array& items) const { return PyList_New(static_cast<Py_ssize_t>(items.size())); }
    PyObject* operator()(const Object&) const { return PyDict_New(); }
  };
  return std::visit(Visitor{}, value.data);
}

bool is_container(const Value& value) noexcept {
  return std::holds_alternative<Array>(value.data) || std::holds_alternative<Object>(value.data);
}

}  // namespace

Value::Value(double number) : data(nullptr) {
  if (std::isfinite(number)) data = number;
}

Value& Object::set(std::string_view key, Value value) {
  auto at = std::lower_bound(entries_.begin(), entries_.end(), key,
                             [](const auto& entry, std::string_view k) { return std::string_view(entry.first) < k; });
  if (at != entries_.end() && at->first == key) {
    at->second = std::move(value);
    return at->second;
  }
  return entries_.emplace(at, std::string(key), std::move(value))->second;
}

Value& TreeBuilder::place(Value value) {
  if (open_.empty()) {
    root_ = std::move(value);
    return root_;
  }
  if (auto* items = std::get_if<Array>(&open_.back()->data)) return items->emplace_back(std::move(value));
  return std::get<Object>(open_.back()->data).set(key_, std::move(value));
}

PyObject* to_python(const Value& root) {
  Owned result(shallow(root));
  if (!result || !is_container(root)) return result.release();

  // Each frame is a container whose Python object exists (owned by its parent, or by result)
  // and whose children from `next` on still have to be converted.
  struct Frame {
    const Value* value;
    PyObject* object;
    std::size_t next;
  };
  std::vector<Frame> stack{{&root, result.get(), 0}};
  while (!stack.empty()) {
    Frame& top = stack.back();
    const Value* child = nullptr;
    PyObject* child_object = nullptr;
    if (const auto* items = std::get_if<Array>(&top.value->data)) {
      if (top.next == items->size()) {
        stack.pop_back();
        continue;
      }
      child = &(*items)[top.next];
      child_object = shallow(*child);
      if (child_object == nullptr) return nullptr;
      PyList_SET_ITEM(top.object, static_cast<Py_ssize_t>(top.next), child_object);  // steals
    } else {
      const auto& entries = std::get<Object>(top.value->data).entries();
      if (top.next == entries.size()) {
        stack.pop_back();
        continue;
      }
      const auto& [key, value] = entries[top.next];
      child = &value;
      Owned owned_child(shallow(value));
      Owned key_object(new_str(key));
      if (!owned_child || !key_object) return nullptr;
      if (PyDict_SetItem(top.object, key_object.get(), owned_child.get()) < 0) return nullptr;
      child_object = owned_child.get();  // the dict keeps it alive
    }
    ++top.next;
    if (is_container(*child)) stack.push_back({child, child_object, 0});
  }
  return result.release();
}

}  // namespace tersewright::python

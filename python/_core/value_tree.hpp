// A small tree of plain values that profile descriptions and report dictionaries are built as (a
// report's through TreeBuilder, from the report walk), then turned into Python objects in one walk.
#pragma once

#include <Python.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace tersewright::python {

struct Value;
using Array = std::vector<Value>;

// Keys stay in ascending byte order whatever order they are set in; setting a key again
// replaces its value.
class Object {
 public:
  Value& set(std::string_view key, Value value);
  const std::vector<std::pair<std::string, Value>>& entries() const noexcept { return entries_; }

 private:
  std::vector<std::pair<std::string, Value>> entries_;
};

struct Value {
  std::variant<std::nullptr_t, bool, std::uint64_t, std::int64_t, double, std::string, Array, Object> data;

  Value() : data(nullptr) {}
  Value(std::nullptr_t) : data(nullptr) {}
  Value(bool flag) : data(flag) {}
  Value(std::uint64_t number) : data(number) {}
  Value(std::uint32_t number) : data(std::uint64_t{number}) {}
  Value(std::int64_t number) : data(number) {}
  // A non-finite number cannot be represented; it becomes null.
  Value(double number);
  Value(std::string text) : data(std::move(text)) {}
  Value(std::string_view text) : data(std::string(text)) {}
  Value(const char* text) : data(std::string(text)) {}
  Value(Array items) : data(std::move(items)) {}
  Value(Object members) : data(std::move(members)) {}
};

// Builds a tree from the events of a report walk (transform/report_walk.hpp). A key is used by the
// value that follows it at once, so the view it arrives as is not kept beyond that.
class TreeBuilder {
 public:
  void begin_object() { open(Object{}); }
  void end_object() { open_.pop_back(); }
  void begin_array() { open(Array{}); }
  void end_array() { open_.pop_back(); }
  void key(std::string_view name) { key_ = name; }
  void string(std::string_view text) { place(text); }
  void boolean(bool flag) { place(flag); }
  void integer(std::uint64_t number) { place(number); }
  void integer(std::int64_t number) { place(number); }
  void number(double number) { place(number); }

  Value take() { return std::move(root_); }

 private:
  // The new value's home: the root, the end of the innermost open array, or the pending key of the
  // innermost open object. Homes of open containers stay put: only the innermost one grows.
  Value& place(Value value);
  void open(Value container) { open_.push_back(&place(std::move(container))); }

  Value root_;
  std::vector<Value*> open_;
  std::string_view key_;
};

// A new reference, or null with a Python exception set. Unsigned numbers of 2^63 and more become
// floats; objects become dicts filled in key order.
PyObject* to_python(const Value& root);

}  // namespace tersewright::python

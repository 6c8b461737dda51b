// The module's documented surface in one table: every callable's name, parameters and docstring,
// and the docstrings of the classes and properties. The method tables, the text signatures the
// interpreter reads from docstrings and the names that argument messages give are all made from it.
#pragma once

#include <Python.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

#include "request_fields.hpp"

namespace tersewright::python {

struct Parameter {
  const char* name;
  // The default as the text signature shows it; empty for a parameter that must be given. A view
  // rather than a pointer: g++ under the sanitizers refuses to compare the address of a global with
  // null in a constant expression, and the docstrings are rendered at compile time.
  std::string_view shown_default = {};
  // The request field that the argument fills, for the callables that take request fields.
  std::optional<Field> field = std::nullopt;
};

// Parameters that fill request fields, in the given order: the first must be given, the profile
// shows shown_profile as its default, and every other defaults to None.
template <std::size_t N>
constexpr std::array<Parameter, N> field_parameters(const Field (&fields)[N],
                                                    const char* shown_profile = shown_default_profile) {
  std::array<Parameter, N> parameters{};
  for (std::size_t i = 0; i < N; ++i) {
    const std::string_view shown_default = i == 0                          ? std::string_view()
                                           : fields[i] == Field::profile ? std::string_view(shown_profile)
                                                                         : std::string_view("None");
    parameters[i] = {field_name(fields[i]), shown_default, fields[i]};
  }
  return parameters;
}

enum class Kind : unsigned char {
  function,     // a module function
  method,       // a method, called "Owner.name()" in messages
  constructor,  // a class's constructor, documented by the class and called "Owner.__new__()" in messages
  type,         // a class that only folds make: a docstring and no signature
  property,     // a property: a docstring only
};

enum class Surface : std::size_t {
  fold,
  fold_file,
  profiles,
  profile_info,
  detect_language,
  supported_languages,
  engine,
  engine_fold,
  engine_fold_request,
  engine_fold_file,
  request,
  result,
  result_lossy,
  report,
  report_to_dict,
  report_to_json,
};

struct SurfaceEntry {
  Surface id;
  Kind kind;
  const char* owner;  // the class, except for module functions
  const char* name;
  std::span<const Parameter> parameters;
  const char* summary;
};

inline constexpr auto content_fold_parameters =
    field_parameters({Field::content, Field::profile, Field::path, Field::language, Field::allow_lossy,
                      Field::budget_bytes, Field::budget_chars, Field::protected_ranges, Field::protected_line_markers});
// The path names the file whose text becomes the content.
inline constexpr auto file_fold_parameters =
    field_parameters({Field::path, Field::profile, Field::language, Field::allow_lossy});
// A FoldRequest takes every field; its text signature shows no value for the profile's default.
inline constexpr auto request_parameters = field_parameters(every_field, "...");
inline constexpr auto detect_language_parameters = field_parameters({Field::content, Field::path});
inline constexpr Parameter profile_info_parameters[] = {{"name"}};
inline constexpr Parameter fold_request_parameters[] = {{"request"}};

// In the order of Surface.
inline constexpr SurfaceEntry surface_entries[] = {
    {Surface::fold, Kind::function, nullptr, "fold", content_fold_parameters, "Fold content with the default engine."},
    {Surface::fold_file, Kind::function, nullptr, "fold_file", file_fold_parameters,
     "Fold a file with the default engine."},
    {Surface::profiles, Kind::function, nullptr, "profiles", {}, "Return the list of built-in profile names."},
    {Surface::profile_info, Kind::function, nullptr, "profile_info", profile_info_parameters,
     "Return documentation metadata for a profile."},
    {Surface::detect_language, Kind::function, nullptr, "detect_language", detect_language_parameters,
     "Detect the language of a path/content pair."},
    {Surface::supported_languages, Kind::function, nullptr, "supported_languages", {},
     "Languages with a structural (Tree-sitter) analyzer."},
    {Surface::engine, Kind::constructor, "Engine", "__new__", {}, "The transformation engine."},
    {Surface::engine_fold, Kind::method, "Engine", "fold", content_fold_parameters,
     "Fold raw content using keyword configuration."},
    {Surface::engine_fold_request, Kind::method, "Engine", "fold_request", fold_request_parameters,
     "Fold a `FoldRequest` object."},
    {Surface::engine_fold_file, Kind::method, "Engine", "fold_file", file_fold_parameters,
     "Fold the contents of a file. Never writes to disk."},
    {Surface::request, Kind::constructor, "FoldRequest", "__new__", request_parameters,
     "A typed configuration object describing a transformation request."},
    {Surface::result, Kind::type, "FoldResult", nullptr, {}, "A typed transformation result."},
    {Surface::result_lossy, Kind::property, "FoldResult", "lossy", {}, "True when the transformation was lossy."},
    {Surface::report, Kind::type, "Report", nullptr, {}, "A transformation report."},
    {Surface::report_to_dict, Kind::method, "Report", "to_dict", {}, "The full report as a Python dict."},
    {Surface::report_to_json, Kind::method, "Report", "to_json", {}, "Stable JSON string of the full report."},
};

constexpr const SurfaceEntry& surface_entry(Surface id) { return surface_entries[static_cast<std::size_t>(id)]; }

constexpr bool surface_is_in_order() {
  for (std::size_t i = 0; i < std::size(surface_entries); ++i) {
    if (static_cast<std::size_t>(surface_entries[i].id) != i) return false;
  }
  return true;
}
static_assert(surface_is_in_order(), "surface_entries must list the entries in the order of Surface");

constexpr std::size_t most_parameters() {
  std::size_t most = 0;
  for (const SurfaceEntry& entry : surface_entries) most = std::max(most, entry.parameters.size());
  return most;
}

// How many leading parameters must be given.
constexpr std::size_t required_count(Surface id) {
  std::size_t count = 0;
  for (const Parameter& parameter : surface_entry(id).parameters) {
    if (!parameter.shown_default.empty()) break;
    ++count;
  }
  return count;
}

namespace surface_text {

// Writes into out, or only counts when out is null, so that one pass sizes the text and the next fills it.
class Writer {
 public:
  constexpr explicit Writer(char* out) : out_(out) {}
  constexpr void put(std::string_view text) {
    for (char c : text) {
      if (out_ != nullptr) out_[size_] = c;
      ++size_;
    }
  }
  constexpr std::size_t size() const { return size_; }

 private:
  char* out_;
  std::size_t size_ = 0;
};

// The interpreter takes "name(parameters)\n--\n\n" at the head of a docstring as the text signature
// and shows only what follows as __doc__.
constexpr void write_docstring(Writer& out, const SurfaceEntry& entry) {
  if (entry.kind == Kind::type || entry.kind == Kind::property) {
    out.put(entry.summary);
    return;
  }
  out.put(entry.kind == Kind::constructor ? entry.owner : entry.name);
  out.put("(");
  const char* separator = "";
  if (entry.kind == Kind::method) {
    out.put("$self");
    separator = ", ";
  }
  for (const Parameter& parameter : entry.parameters) {
    out.put(separator);
    out.put(parameter.name);
    if (!parameter.shown_default.empty()) {
      out.put("=");
      out.put(parameter.shown_default);
    }
    separator = ", ";
  }
  out.put(")\n--\n\n");
  out.put(entry.summary);
}

constexpr void write_message_name(Writer& out, const SurfaceEntry& entry) {
  if (entry.kind == Kind::method || entry.kind == Kind::constructor) {
    out.put(entry.owner);
    out.put(".");
  }
  if (entry.name != nullptr) out.put(entry.name);
  out.put("()");
}

// Every docstring and message name, each ending in NUL, one after the other.
constexpr std::size_t write_all(Writer& out, std::size_t* docstring_at, std::size_t* message_name_at) {
  for (std::size_t i = 0; i < std::size(surface_entries); ++i) {
    if (docstring_at != nullptr) docstring_at[i] = out.size();
    write_docstring(out, surface_entries[i]);
    out.put(std::string_view("", 1));
    if (message_name_at != nullptr) message_name_at[i] = out.size();
    write_message_name(out, surface_entries[i]);
    out.put(std::string_view("", 1));
  }
  return out.size();
}

constexpr std::size_t total_size() {
  Writer counter(nullptr);
  return write_all(counter, nullptr, nullptr);
}

struct Rendered {
  std::array<char, total_size()> text{};
  std::array<std::size_t, std::size(surface_entries)> docstring_at{};
  std::array<std::size_t, std::size(surface_entries)> message_name_at{};
};

constexpr Rendered render() {
  Rendered rendered;
  Writer writer(rendered.text.data());
  write_all(writer, rendered.docstring_at.data(), rendered.message_name_at.data());
  return rendered;
}

inline constexpr Rendered rendered = render();

}  // namespace surface_text

// The full docstring, text signature header included.
constexpr const char* docstring(Surface id) {
  const auto index = static_cast<std::size_t>(id);
  return surface_text::rendered.text.data() + surface_text::rendered.docstring_at[index];
}

// The callable as argument messages name it, e.g. "Engine.fold()".
constexpr const char* message_name(Surface id) {
  const auto index = static_cast<std::size_t>(id);
  return surface_text::rendered.text.data() + surface_text::rendered.message_name_at[index];
}

using FastFunction = PyObject* (*)(PyObject*, PyObject* const*, Py_ssize_t, PyObject*);

// A method-table row for a function or method that takes arguments.
template <Surface id>
PyMethodDef method_row(FastFunction function) {
  constexpr const SurfaceEntry& entry = surface_entry(id);
  static_assert(entry.kind == Kind::function || entry.kind == Kind::method);
  static_assert(!entry.parameters.empty(), "a callable without parameters is METH_NOARGS");
  return {entry.name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(function)),
          METH_FASTCALL | METH_KEYWORDS, docstring(id)};
}

// A method-table row for a function or method that takes none.
template <Surface id>
PyMethodDef method_row(PyCFunction function) {
  constexpr const SurfaceEntry& entry = surface_entry(id);
  static_assert(entry.kind == Kind::function || entry.kind == Kind::method);
  static_assert(entry.parameters.empty(), "a callable with parameters is METH_FASTCALL");
  return {entry.name, function, METH_NOARGS, docstring(id)};
}

}  // namespace tersewright::python

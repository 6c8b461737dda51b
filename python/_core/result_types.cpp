// FoldResult and Report: read-only views of a fold's outcome.
#include <cstdint>
#include <cstring>
#include <memory>

#include "analyzer/language.hpp"
#include "classes.hpp"
#include "convert.hpp"
#include "dict_forms.hpp"
#include "interpreter.hpp"
#include "repr_text.hpp"
#include "surface.hpp"
#include "transform/report_json.hpp"

namespace tersewright::python {
namespace {

ResultObject* as_result(PyObject* self) noexcept { return reinterpret_cast<ResultObject*>(self); }
ReportObject* as_report(PyObject* self) noexcept { return reinterpret_cast<ReportObject*>(self); }
const transform::Report& report_of(PyObject* self) noexcept { return as_report(self)->report; }

// Both classes are made only by folds; calling them from Python is refused by name.
PyObject* no_constructor(PyTypeObject* type, PyObject*, PyObject*) {
  const char* dot = std::strrchr(type->tp_name, '.');
  PyErr_Format(PyExc_TypeError, "No constructor defined for %s", dot != nullptr ? dot + 1 : type->tp_name);
  return nullptr;
}

PyObject* flag(bool value) { return PyBool_FromLong(value ? 1 : 0); }
PyObject* number(std::uint64_t value) { return PyLong_FromUnsignedLongLong(value); }

// ---- FoldResult

void result_dealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  std::destroy_at(&as_result(self)->result);
  std::destroy_at(&as_result(self)->source);
  type->tp_free(self);
  Py_DECREF(type);
}

PyObject* result_repr(PyObject* self) {
  return guarded<PyObject*>(nullptr, [&] {
    const transform::Report& report = as_result(self)->result.report;
    std::string text = "FoldResult(output_bytes=" + std::to_string(report.output.bytes) + ", reduction=";
    append_ratio(text, report.reduction_ratio);
    text += report.behavior_preserving ? ", lossy=false)" : ", lossy=true)";
    return new_str(text);
  });
}

PyObject* result_output(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] { return new_str(as_result(self)->result.output.view()); });
}

PyObject* result_report(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] { return new_report_object(as_result(self)->result.report); });
}

PyObject* result_lossy(PyObject* self, void*) { return flag(!as_result(self)->result.report.behavior_preserving); }

PyGetSetDef result_properties[] = {
    {"output", result_output, nullptr, nullptr, nullptr},
    {"report", result_report, nullptr, nullptr, nullptr},
    {"lossy", result_lossy, nullptr, docstring(Surface::result_lossy), nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot result_slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(no_constructor)}, {Py_tp_dealloc, reinterpret_cast<void*>(result_dealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(result_repr)},   {Py_tp_getset, result_properties},
    {Py_tp_doc, const_cast<char*>(docstring(Surface::result))},           {0, nullptr},
};

PyType_Spec result_spec = {
    "builtins.FoldResult", static_cast<int>(sizeof(ResultObject)), 0, Py_TPFLAGS_DEFAULT | immutable_type_flag,
    result_slots,
};

// ---- Report

void report_dealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  std::destroy_at(&as_report(self)->report);
  type->tp_free(self);
  Py_DECREF(type);
}

PyObject* report_repr(PyObject* self) {
  return guarded<PyObject*>(nullptr, [&] {
    const transform::Report& report = report_of(self);
    std::string text = "Report(profile=";
    append_quoted(text, report.profile);
    text += ", language=";
    append_quoted(text, analyzer::language_id(report.detected_language));
    text += ", parse_status=";
    text += transform::parse_status_name(report.parse_status);
    text += ", reduction=";
    append_ratio(text, report.reduction_ratio);
    text += ')';
    return new_str(text);
  });
}

PyObject* report_to_dict(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&] { return report_dict(report_of(self)); });
}

PyObject* report_to_json_method(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&] { return new_str(transform::report_to_json(report_of(self))); });
}

PyMethodDef report_methods[] = {
    method_row<Surface::report_to_dict>(report_to_dict),
    method_row<Surface::report_to_json>(report_to_json_method),
    {nullptr, nullptr, 0, nullptr},
};

enum class ReportField : int {
  engine_version,
  profile,
  profile_version,
  detected_language,
  parse_status,
  behavior_preserving,
  semantic_equivalence,
  syntax_valid,
  reduction_ratio,
  input_bytes,
  output_bytes,
  input_chars,
  output_chars,
  input_lines,
  output_lines,
  protected_bytes,
};

PyObject* read_report_field(const transform::Report& r, ReportField field) {
  switch (field) {
    case ReportField::engine_version: return new_str(r.engine_version);
    case ReportField::profile: return new_str(r.profile);
    case ReportField::profile_version: return number(r.profile_version);
    case ReportField::detected_language: return new_str(analyzer::language_id(r.detected_language));
    case ReportField::parse_status: return new_str(transform::parse_status_name(r.parse_status));
    case ReportField::behavior_preserving: return flag(r.behavior_preserving);
    case ReportField::semantic_equivalence: return new_str(r.semantic_equivalence);
    case ReportField::syntax_valid: return r.syntax_valid ? flag(*r.syntax_valid) : Py_NewRef(Py_None);
    case ReportField::reduction_ratio: return PyFloat_FromDouble(r.reduction_ratio);
    case ReportField::input_bytes: return number(r.input.bytes);
    case ReportField::output_bytes: return number(r.output.bytes);
    case ReportField::input_chars: return number(r.input.chars);
    case ReportField::output_chars: return number(r.output.chars);
    case ReportField::input_lines: return number(r.input.lines);
    case ReportField::output_lines: return number(r.output.lines);
    case ReportField::protected_bytes: return number(r.protected_bytes);
  }
  return Py_NewRef(Py_None);
}

PyObject* get_report_field(PyObject* self, void* closure) {
  const auto field = static_cast<ReportField>(reinterpret_cast<std::intptr_t>(closure));
  return guarded<PyObject*>(nullptr, [&] { return read_report_field(report_of(self), field); });
}

PyGetSetDef report_property(const char* name, ReportField field) {
  return {name, get_report_field, nullptr, nullptr, reinterpret_cast<void*>(static_cast<std::intptr_t>(field))};
}

PyGetSetDef report_properties[] = {
    report_property("engine_version", ReportField::engine_version),
    report_property("profile", ReportField::profile),
    report_property("profile_version", ReportField::profile_version),
    report_property("detected_language", ReportField::detected_language),
    report_property("parse_status", ReportField::parse_status),
    report_property("behavior_preserving", ReportField::behavior_preserving),
    report_property("semantic_equivalence", ReportField::semantic_equivalence),
    report_property("syntax_valid", ReportField::syntax_valid),
    report_property("reduction_ratio", ReportField::reduction_ratio),
    report_property("input_bytes", ReportField::input_bytes),
    report_property("output_bytes", ReportField::output_bytes),
    report_property("input_chars", ReportField::input_chars),
    report_property("output_chars", ReportField::output_chars),
    report_property("input_lines", ReportField::input_lines),
    report_property("output_lines", ReportField::output_lines),
    report_property("protected_bytes", ReportField::protected_bytes),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot report_slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(no_constructor)},
    {Py_tp_dealloc, reinterpret_cast<void*>(report_dealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(report_repr)},
    {Py_tp_getset, report_properties},
    {Py_tp_methods, report_methods},
    {Py_tp_doc, const_cast<char*>(docstring(Surface::report))},
    {0, nullptr},
};

PyType_Spec report_spec = {
    "builtins.Report", static_cast<int>(sizeof(ReportObject)), 0, Py_TPFLAGS_DEFAULT | immutable_type_flag,
    report_slots,
};

}  // namespace

PyTypeObject* create_result_type() { return create_type(result_spec); }
PyTypeObject* create_report_type() { return create_type(report_spec); }

PyObject* new_result_object(transform::FoldResult&& result, PyObject* source) {
  Owned kept;
  if (result.output.is_borrowed()) {
    // An unchanged output is the caller's text itself. When the str's UTF-8 is its own data (ASCII),
    // keeping the str costs no more than a copy would; otherwise the str with its UTF-8 form costs
    // more to keep than a copy of the bytes does, and the result takes the copy.
    if (source != nullptr && PyUnicode_IS_ASCII(source)) {
      kept = Owned::borrow(source);
    } else {
      result.output = std::string(result.output.view());
    }
  }
  PyTypeObject* type = module_state().result_type;
  PyObject* self = type->tp_alloc(type, 0);
  if (self == nullptr) return nullptr;
  std::construct_at(&as_result(self)->result, std::move(result));
  std::construct_at(&as_result(self)->source, std::move(kept));
  return self;
}

PyObject* new_report_object(const transform::Report& report) {
  transform::Report copy = report;  // copied first: a failed copy must not leave a half-built object
  PyTypeObject* type = module_state().report_type;
  PyObject* self = type->tp_alloc(type, 0);
  if (self == nullptr) return nullptr;
  std::construct_at(&as_report(self)->report, std::move(copy));
  return self;
}

}  // namespace tersewright::python

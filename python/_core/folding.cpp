#include "folding.hpp"

#include <memory>
#include <utility>
#include <variant>

#include "analyzer/language.hpp"
#include "convert.hpp"
#include "file_reader.hpp"
#include "state.hpp"
#include "tokenizer_adapter.hpp"
#include "transform/fold.hpp"

namespace tersewright::python {
namespace {

// Messages can hold anything a caller typed, NUL included, so they go in as Python strings.
PyObject* raise_with(PyObject* type, std::string_view message) {
  Owned text(new_str(message));
  if (text) PyErr_SetObject(type, text.get());
  return nullptr;
}

PyObject* raise_engine_error(const transform::EngineError& error) {
  const ModuleState& state = module_state();
  PyObject* type = std::holds_alternative<transform::UnknownProfile>(error) ? state.unknown_profile_error
                                                                           : state.invalid_config_error;
  return raise_with(type, transform::error_message(error));
}

bool parse_language(const std::optional<std::string>& name, transform::FoldRequest& request) {
  if (!name) return true;
  auto parsed = analyzer::parse_language_name(*name);
  if (!parsed) {
    raise_with(PyExc_ValueError, parsed.error().message);
    return false;
  }
  request.language = parsed.value();
  return true;
}

PyObject* run(const analyzer::AnalyzerRegistry& registry, transform::FoldRequest&& request) {
  auto folded = transform::fold(registry, std::move(request));
  if (!folded) return raise_engine_error(folded.error());
  return new_result_object(std::move(folded).value());
}

// Holds a FoldRequest borrowed for reading for as long as a fold over it runs.
class ReadBorrow {
 public:
  explicit ReadBorrow(RequestObject* request) noexcept : request_(request) {
    Py_INCREF(request_);
    ++request_->borrows;
  }
  ReadBorrow(const ReadBorrow&) = delete;
  ReadBorrow& operator=(const ReadBorrow&) = delete;
  ~ReadBorrow() {
    --request_->borrows;
    Py_DECREF(request_);
  }

 private:
  RequestObject* request_;
};

}  // namespace

bool convert_content_arguments(PyObject* const* slots, ContentArguments& out) {
  return convert_text(slots[0], "content", out.content) && convert_text(slots[1], "profile", out.profile) &&
         convert_optional_text(slots[2], "path", out.path) &&
         convert_optional_text(slots[3], "language", out.language) &&
         convert_optional_flag(slots[4], "allow_lossy", out.allow_lossy) &&
         convert_optional_count(slots[5], "budget_bytes", out.budget_bytes) &&
         convert_optional_count(slots[6], "budget_chars", out.budget_chars) &&
         convert_optional_ranges(slots[7], "protected_ranges", out.protected_ranges) &&
         convert_optional_markers(slots[8], "protected_line_markers", out.protected_line_markers);
}

bool convert_file_arguments(PyObject* const* slots, FileArguments& out) {
  return convert_text(slots[0], "path", out.path) && convert_text(slots[1], "profile", out.profile) &&
         convert_optional_text(slots[2], "language", out.language) &&
         convert_optional_flag(slots[3], "allow_lossy", out.allow_lossy);
}

PyObject* fold_content(const analyzer::AnalyzerRegistry& registry, ContentArguments&& arguments) {
  transform::FoldRequest request;
  request.content = std::move(arguments.content);
  request.profile = std::move(arguments.profile);
  request.path = std::move(arguments.path);
  request.allow_lossy = arguments.allow_lossy;
  request.protected_ranges = std::move(arguments.protected_ranges);
  request.protected_line_markers = std::move(arguments.protected_line_markers);
  if (!parse_language(arguments.language, request)) return nullptr;
  // Both given: bytes wins, quietly; these entry points have no way to ask for tokens.
  if (arguments.budget_bytes) {
    request.budget = transform::Budget{transform::BudgetMetric::bytes, *arguments.budget_bytes};
  } else if (arguments.budget_chars) {
    request.budget = transform::Budget{transform::BudgetMetric::characters, *arguments.budget_chars};
  }
  return run(registry, std::move(request));
}

PyObject* fold_file(const analyzer::AnalyzerRegistry& registry, FileArguments&& arguments) {
  auto text = read_text_file(arguments.path);
  if (!text) {
    std::string message = "failed to read ";
    message += arguments.path;
    message += ": ";
    message += text.error().reason;
    return raise_with(PyExc_OSError, message);
  }
  transform::FoldRequest request;
  request.content = std::move(text).value();
  request.profile = std::move(arguments.profile);
  request.allow_lossy = arguments.allow_lossy;
  if (!parse_language(arguments.language, request)) return nullptr;
  request.path = std::move(arguments.path);
  return run(registry, std::move(request));
}

PyObject* fold_request(const analyzer::AnalyzerRegistry& registry, RequestObject* object) {
  const ReadBorrow borrow(object);
  const RequestFields& fields = object->fields;
  transform::FoldRequest request;
  request.content = fields.content;
  request.profile = fields.profile;
  request.path = fields.path;
  request.allow_lossy = fields.allow_lossy;
  request.protected_ranges = fields.protected_ranges;
  request.protected_line_markers = fields.protected_line_markers;
  if (!parse_language(fields.language, request)) return nullptr;

  const ModuleState& state = module_state();
  const int budgets = int{fields.budget_bytes.has_value()} + int{fields.budget_chars.has_value()} +
                      int{fields.budget_tokens.has_value()};
  if (budgets > 1) {
    return raise_with(state.invalid_config_error, "specify at most one of budget_bytes, budget_chars, budget_tokens");
  }
  if (fields.budget_bytes) {
    request.budget = transform::Budget{transform::BudgetMetric::bytes, *fields.budget_bytes};
  } else if (fields.budget_chars) {
    request.budget = transform::Budget{transform::BudgetMetric::characters, *fields.budget_chars};
  } else if (fields.budget_tokens) {
    if (!fields.tokenizer) return raise_with(state.invalid_config_error, "budget_tokens requires a tokenizer object");
    request.tokenizer = std::make_unique<PythonTokenizer>(fields.tokenizer.get());
    request.budget = transform::Budget{transform::BudgetMetric::tokens, *fields.budget_tokens};
  }
  return run(registry, std::move(request));
}

}  // namespace tersewright::python

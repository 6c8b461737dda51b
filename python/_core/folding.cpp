#include "folding.hpp"

#include <memory>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

#include "analyzer/language.hpp"
#include "convert.hpp"
#include "file_reader.hpp"
#include "interpreter.hpp"
#include "python_tokenizer.hpp"
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

// How a request that sets more than one budget is taken.
enum class BudgetChoice {
  first_given,  // bytes, then characters, quietly: fold() and fold_file() have no way to ask for tokens
  only_one,     // more than one is a configuration error
};

// The engine's request from the fields and the text to fold: copied from a FoldRequest that lives
// on, or moved from arguments that do not (each member is forwarded once). Empty, with the
// exception raised, when the fields make no request.
template <class Fields>
std::optional<transform::FoldRequest> engine_request(Fields&& fields, transform::Text&& content, BudgetChoice choice) {
  transform::FoldRequest request;
  request.content = std::move(content);
  request.profile = std::forward<Fields>(fields).profile;
  request.path = std::forward<Fields>(fields).path;
  request.allow_lossy = fields.allow_lossy;
  request.protected_ranges = std::forward<Fields>(fields).protected_ranges;
  request.protected_line_markers = std::forward<Fields>(fields).protected_line_markers;
  if (!parse_language(fields.language, request)) return std::nullopt;

  const ModuleState& state = module_state();
  const int budgets = int{fields.budget_bytes.has_value()} + int{fields.budget_chars.has_value()} +
                      int{fields.budget_tokens.has_value()};
  if (choice == BudgetChoice::only_one && budgets > 1) {
    raise_with(state.invalid_config_error, "specify at most one of budget_bytes, budget_chars, budget_tokens");
    return std::nullopt;
  }
  if (fields.budget_bytes) {
    request.budget = transform::Budget{transform::BudgetMetric::bytes, *fields.budget_bytes};
  } else if (fields.budget_chars) {
    request.budget = transform::Budget{transform::BudgetMetric::characters, *fields.budget_chars};
  } else if (fields.budget_tokens) {
    if (!fields.tokenizer) {
      raise_with(state.invalid_config_error, "budget_tokens requires a tokenizer object");
      return std::nullopt;
    }
    request.tokenizer = std::make_unique<PythonTokenizer>(fields.tokenizer.get());
    request.budget = transform::Budget{transform::BudgetMetric::tokens, *fields.budget_tokens};
  }
  return request;
}

// source is the str whose UTF-8 the request borrows, if it borrows one.
PyObject* run(const analyzer::AnalyzerRegistry& registry, std::optional<transform::FoldRequest>&& request,
              PyObject* source) {
  if (!request) return nullptr;
  auto folded = transform::fold(registry, std::move(*request));
  if (!folded) return raise_engine_error(folded.error());
  return new_result_object(std::move(folded).value(), source);
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

// The text the fields' str reads as, borrowed: fields.content holds the str for the fold.
transform::Text borrowed_content(const RequestFields& fields) { return transform::Text::borrowed(fields.content.utf8); }

}  // namespace

PyObject* fold_content(const analyzer::AnalyzerRegistry& registry, RequestFields&& fields) {
  // fields keeps the str to the end: engine_request takes every member but the content.
  transform::Text content = borrowed_content(fields);
  PyObject* source = fields.content.object.get();
  return run(registry, engine_request(std::move(fields), std::move(content), BudgetChoice::first_given), source);
}

PyObject* fold_file(const analyzer::AnalyzerRegistry& registry, RequestFields&& fields) {
  const std::string& path = fields.path.value();
  auto text = read_text_file(path);
  if (!text) {
    std::string message = "failed to read ";
    message += path;
    message += ": ";
    message += text.error().reason;
    return raise_with(PyExc_OSError, message);
  }
  return run(registry, engine_request(std::move(fields), std::move(text).value(), BudgetChoice::first_given), nullptr);
}

PyObject* fold_request(const analyzer::AnalyzerRegistry& registry, RequestObject* object) {
  const ReadBorrow borrow(object);
  // The request's str stays alive for the fold even if the request were given another one.
  const Owned text = Owned::borrow(object->fields.content.object.get());
  return run(registry,
             engine_request(std::as_const(object->fields), borrowed_content(object->fields), BudgetChoice::only_one),
             text.get());
}

}  // namespace tersewright::python

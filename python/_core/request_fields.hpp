// The fields of a fold request as the binding takes them from Python. Declared once here, they give
// the record, the parameters of the callables that take them, FoldRequest's properties and the
// conversion of each.
#pragma once

#include <Python.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert.hpp"
#include "edit/range.hpp"
#include "interpreter.hpp"

namespace tersewright::python {

// The profile a request names when it names none, as text signatures show it and as the value.
inline constexpr char shown_default_profile[] = "\"safe\"";
inline constexpr std::string_view default_profile =
    std::string_view(shown_default_profile).substr(1, std::size(shown_default_profile) - 3);

// In parameter order: FIELD(name, type, initial value) for the fields FoldRequest shows as
// properties, HIDDEN(name, type, initial value) for those it only holds.
#define TERSEWRIGHT_REQUEST_FIELDS(FIELD, HIDDEN)                                      \
  /* The caller's str itself: a fold reads its UTF-8 in place. */                       \
  FIELD(content, StrText, )                                                            \
  FIELD(profile, std::string, default_profile)                                         \
  FIELD(path, std::optional<std::string>, )                                            \
  /* The language is parsed only when the request is folded. */                        \
  FIELD(language, std::optional<std::string>, )                                        \
  FIELD(allow_lossy, std::optional<bool>, )                                            \
  FIELD(budget_bytes, std::optional<std::uint64_t>, )                                  \
  FIELD(budget_chars, std::optional<std::uint64_t>, )                                  \
  FIELD(budget_tokens, std::optional<std::uint64_t>, )                                 \
  /* Kept by reference and never inspected until a token budget needs it. */           \
  HIDDEN(tokenizer, Owned, )                                                           \
  FIELD(protected_ranges, std::optional<std::vector<edit::ByteRange>>, )               \
  FIELD(protected_line_markers, std::optional<std::vector<std::string>>, )

#define TERSEWRIGHT_FIELD_MEMBER(name, type, initial) type name{initial};
struct RequestFields {
  TERSEWRIGHT_REQUEST_FIELDS(TERSEWRIGHT_FIELD_MEMBER, TERSEWRIGHT_FIELD_MEMBER)
};
#undef TERSEWRIGHT_FIELD_MEMBER

#define TERSEWRIGHT_FIELD_ID(name, type, initial) name,
enum class Field : int { TERSEWRIGHT_REQUEST_FIELDS(TERSEWRIGHT_FIELD_ID, TERSEWRIGHT_FIELD_ID) };
#undef TERSEWRIGHT_FIELD_ID

#define TERSEWRIGHT_FIELD_NAME(name, type, initial) #name,
inline constexpr const char* field_names[] = {TERSEWRIGHT_REQUEST_FIELDS(TERSEWRIGHT_FIELD_NAME, TERSEWRIGHT_FIELD_NAME)};
#undef TERSEWRIGHT_FIELD_NAME

#define TERSEWRIGHT_EVERY_FIELD(name, type, initial) Field::name,
inline constexpr Field every_field[] = {TERSEWRIGHT_REQUEST_FIELDS(TERSEWRIGHT_EVERY_FIELD, TERSEWRIGHT_EVERY_FIELD)};
#undef TERSEWRIGHT_EVERY_FIELD

// The field's name, which is also the name of its parameter and of its property.
constexpr const char* field_name(Field field) { return field_names[static_cast<std::size_t>(field)]; }

// Converts an argument or an assigned value into the field, under the field's name; see convert_argument.
bool convert_field(RequestFields& fields, Field field, PyObject* value, bool required);

}  // namespace tersewright::python

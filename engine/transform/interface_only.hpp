// Replacement of function and method bodies by a fixed placeholder that keeps the file parseable.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "analyzer/language.hpp"
#include "analyzer/syntax.hpp"
#include "edit/edit.hpp"
#include "edit/range.hpp"

namespace tersewright::transform {

enum class PlaceholderStyle : std::uint8_t { python = 0, brace = 1 };

inline constexpr std::string_view python_placeholder = "...  # [tersewright: implementation omitted]";
inline constexpr std::string_view brace_placeholder = "{ /* [tersewright: implementation omitted] */ }";

// The Python style for python, the brace style for every other language.
PlaceholderStyle placeholder_style_for(analyzer::Language language) noexcept;
std::string_view placeholder_text(PlaceholderStyle style) noexcept;

// Whether a body holds nothing worth omitting: only braces, semicolons and White_Space.
bool is_trivial_body(std::string_view body) noexcept;

// One replacement per declaration with a body that is in range, untouched by the protected set,
// clear of error handling (when protect_error_handling is on) and not already trivial; in
// declaration order. Nested bodies are not skipped: the edits overlap and application keeps the
// outer one. error_handlers may be unsorted.
edit::EditList interface_only(std::string_view text, const edit::RangeSet& protected_set,
                              const std::vector<edit::ByteRange>& error_handlers, bool protect_error_handling,
                              const std::vector<analyzer::Declaration>& declarations, PlaceholderStyle style);

}  // namespace tersewright::transform

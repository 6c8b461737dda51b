#include "transform/interface_only.hpp"

#include <string>

#include "edit/text.hpp"

namespace tersewright::transform {

static_assert(python_placeholder.size() == 44);
static_assert(brace_placeholder.size() == 47);

PlaceholderStyle placeholder_style_for(analyzer::Language language) noexcept {
  return language == analyzer::Language::python ? PlaceholderStyle::python : PlaceholderStyle::brace;
}

std::string_view placeholder_text(PlaceholderStyle style) noexcept {
  return style == PlaceholderStyle::python ? python_placeholder : brace_placeholder;
}

bool is_trivial_body(std::string_view body) noexcept {
  std::size_t i = 0;
  while (i < body.size()) {
    const char c = body[i];
    if (c == '{' || c == '}' || c == ';') {
      ++i;
      continue;
    }
    const std::size_t space = edit::white_space_at(body, i);
    if (space == 0) return false;
    i += space;
  }
  return true;
}

edit::EditList interface_only(std::string_view text, const edit::RangeSet& protected_set,
                              const std::vector<edit::ByteRange>& error_handlers, bool protect_error_handling,
                              const std::vector<analyzer::Declaration>& declarations, PlaceholderStyle style) {
  const edit::RangeSet handlers =
      protect_error_handling ? edit::normalize_ranges(error_handlers) : edit::RangeSet{};
  const std::string_view placeholder = placeholder_text(style);

  edit::EditList edits;
  for (const analyzer::Declaration& declaration : declarations) {
    if (!declaration.has_body || declaration.body_start >= declaration.body_end || declaration.body_end > text.size())
      continue;
    const edit::ByteRange body{declaration.body_start, declaration.body_end};
    if (edit::overlaps_any(body, protected_set)) continue;
    if (!handlers.empty() && edit::overlaps_any(body, handlers)) continue;
    if (is_trivial_body(text.substr(body.start, body.end - body.start))) continue;
    edits.push_back(edit::Edit{std::string(placeholder), body.start, body.end, edit::Rule::interface_only});
  }
  return edits;
}

}  // namespace tersewright::transform

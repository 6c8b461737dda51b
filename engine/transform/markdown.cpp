#include "transform/markdown.hpp"

#include <array>
#include <string>

#include "edit/text.hpp"

namespace tersewright::transform {

using edit::ByteRange;
using edit::Edit;
using edit::EditList;
using edit::LineIndex;
using edit::RangeSet;
using edit::Rule;

namespace {

// The fence character of a fence line (a run of three or more backticks or tildes after leading
// White_Space), or '\0' for any other line.
char fence_char(std::string_view content) noexcept {
  std::string_view rest = edit::trim_white_space_start(content);
  if (rest.empty() || (rest[0] != '`' && rest[0] != '~')) return '\0';
  const char c = rest[0];
  std::size_t run = 1;
  while (run < rest.size() && rest[run] == c && run < 3) ++run;
  return run >= 3 ? c : '\0';
}

// Lines carrying these are requirements or warnings a reader must see each time they are stated.
constexpr std::array<std::string_view, 10> normative_keywords = {
    "must", "shall", "require", "note:", "warning", "caution", "important", "deprecated", "see:", "references"};

// The first letters of the keywords, to pass over most candidate positions with one look.
constexpr std::string_view keyword_initials = "cdimnrsw";

constexpr std::array<std::string_view, 3> link_markers = {"](", "http://", "https://"};

bool has_link_marker(std::string_view trimmed) noexcept {
  for (std::string_view marker : link_markers)
    if (trimmed.find(marker) != std::string_view::npos) return true;
  return false;
}

// A keyword counts at the start of the lowered line or right after any space in it. One pass over
// the candidate positions tests every keyword there, instead of one search per keyword.
bool has_normative_keyword(std::string_view lowered) noexcept {
  for (std::size_t p = 0; p < lowered.size(); ++p) {
    if (p != 0 && lowered[p - 1] != ' ') continue;
    if (keyword_initials.find(lowered[p]) == std::string_view::npos) continue;
    std::string_view rest = lowered.substr(p);
    for (std::string_view keyword : normative_keywords)
      if (rest.starts_with(keyword)) return true;
  }
  return false;
}

void assign_ascii_lower(std::string& out, std::string_view text) {
  out.assign(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
}

}  // namespace

RangeSet fenced_block_ranges(std::string_view text, const LineIndex& lines) {
  std::vector<ByteRange> blocks;
  constexpr std::size_t none = static_cast<std::size_t>(-1);
  std::size_t open_line = none;
  char open_char = '\0';
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const char c = fence_char(lines.content(i));
    if (c == '\0') continue;
    if (open_line == none) {
      open_line = i;
      open_char = c;
    } else if (c == open_char) {
      blocks.push_back(ByteRange{lines[open_line].start, lines[i].end});
      open_line = none;
    }
  }
  if (open_line != none) blocks.push_back(ByteRange{lines[open_line].start, text.size()});
  return edit::normalize_ranges(std::move(blocks));
}

EditList markdown_dedupe(std::string_view text, const std::vector<ByteRange>& protected_ranges,
                         const std::vector<ByteRange>& fenced_ranges) {
  EditList edits;
  const LineIndex lines(text);
  const RangeSet protected_set = edit::normalize_ranges(protected_ranges);
  const RangeSet fenced = edit::normalize_ranges(fenced_ranges);

  // The trimmed text of the last line a duplicate may be compared with; it points into `text`.
  bool has_prev = false;
  std::string_view prev;
  std::string lowered;  // reused so that lowering costs no allocation per line
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const edit::LineSpan& line = lines[i];
    const ByteRange content{line.content_start, line.content_end};
    const std::string_view t = edit::trim_white_space(lines.content(i));
    bool comparable = !lines.is_blank(i) && !t.empty() && t[0] != '#' && !t.starts_with("```") &&
                      !t.starts_with("~~~") && !edit::overlaps_any(content, protected_set) &&
                      !edit::overlaps_any(content, fenced) && !has_link_marker(t);
    if (comparable) {
      assign_ascii_lower(lowered, t);
      comparable = !has_normative_keyword(lowered);
    }
    if (!comparable) {
      has_prev = false;
      continue;
    }
    if (has_prev && prev == t) {
      edits.push_back(Edit{std::string(), line.content_start, line.end, Rule::markdown_dedupe});
      continue;
    }
    prev = t;
    has_prev = true;
  }
  return edits;
}

}  // namespace tersewright::transform

#include "transform/comments.hpp"

#include <optional>
#include <string>

#include "edit/text.hpp"

namespace tersewright::transform {

using edit::ByteRange;
using edit::Edit;
using edit::EditList;
using edit::LineIndex;
using edit::LineSpan;
using edit::Rule;

namespace {

bool only_blanks(std::string_view text, std::uint64_t from, std::uint64_t to) noexcept {
  for (std::uint64_t i = from; i < to; ++i)
    if (!edit::is_space_or_tab(text[i])) return false;
  return true;
}

bool is_ascii_space(char c) noexcept { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

// Punctuation that ends a token on its own and can never merge with a neighbour.
bool is_closed_punctuation(char c) noexcept {
  switch (c) {
    case '(': case ')': case '[': case ']': case '{': case '}': case ',': case ';':
      return true;
    default:
      return false;
  }
}

// A node that runs up to and over its line terminator (a Rust doc comment does) gives the
// terminator back when code stays in front of it: the line must not merge with the next one.
std::uint64_t end_before_terminator(std::string_view text, std::uint64_t start, std::uint64_t end) noexcept {
  if (end > start && text[end - 1] == '\n') --end;
  if (end > start && text[end - 1] == '\r' && end < text.size() && text[end] == '\n') --end;
  return end;
}

// What a comment that shares its line with code leaves behind. A block comment separates tokens,
// so removing a/**/b must not make ab; and in languages that end statements at line breaks
// (JavaScript, TypeScript, Go) a comment spanning lines counts as a break, so code on both of its
// ends stays on two lines.
std::string stand_in(const LineIndex& lines, std::string_view text, std::uint64_t start, std::uint64_t end) {
  const std::string_view removed = text.substr(start, end - start);
  const std::size_t feed = removed.find('\n');
  if (feed != std::string_view::npos) {
    const LineSpan& first = lines[lines.line_at(start)];
    const LineSpan& last = lines[lines.line_at(end - 1)];
    const bool code_before = !only_blanks(text, first.start, start);
    const bool code_after = end < last.content_end && !only_blanks(text, end, last.content_end);
    if (code_before && code_after) return (feed > 0 && removed[feed - 1] == '\r') ? "\r\n" : "\n";
    return std::string();
  }
  if (start == 0 || end >= text.size()) return std::string();
  const char before = text[start - 1];
  const char after = text[end];
  if (is_ascii_space(before) || is_ascii_space(after)) return std::string();
  if (is_closed_punctuation(before) || is_closed_punctuation(after)) return std::string();
  return " ";
}

// The whole lines a range stands alone on, or nothing when code shares its first or last line or
// the range cannot be reasoned about.
std::optional<ByteRange> whole_lines_of(const LineIndex& lines, std::string_view text, ByteRange range) {
  const std::uint64_t s = range.start;
  const std::uint64_t e = range.end;
  if (s >= e || e > text.size() || !edit::is_char_boundary(text, s) || !edit::is_char_boundary(text, e) ||
      lines.size() == 0)
    return std::nullopt;
  const LineSpan& first = lines[lines.line_at(s)];
  const LineSpan& last = lines[lines.line_at(e - 1)];
  if (!only_blanks(text, first.start, s)) return std::nullopt;
  if (e >= last.content_end || only_blanks(text, e, last.content_end)) return ByteRange{first.start, last.end};
  return std::nullopt;
}

}  // namespace

ByteRange widen_to_whole_lines(const LineIndex& lines, ByteRange range) {
  return whole_lines_of(lines, lines.text(), range).value_or(range);
}

EditList strip_comments(const LineIndex& lines, const edit::RangeSet& protected_set,
                        const std::vector<ByteRange>& comments) {
  const std::string_view text = lines.text();
  EditList edits;
  edits.reserve(comments.size());
  for (const ByteRange& comment : comments) {
    if (edit::overlaps_any(comment, protected_set)) continue;
    if (const std::optional<ByteRange> widened = whole_lines_of(lines, text, comment)) {
      edits.push_back(Edit{std::string(), widened->start, widened->end, Rule::strip_comments});
      continue;
    }
    if (comment.empty() || comment.end > text.size() || !edit::is_char_boundary(text, comment.start) ||
        !edit::is_char_boundary(text, comment.end)) {
      edits.push_back(Edit{std::string(), comment.start, comment.end, Rule::strip_comments});  // dropped when applied
      continue;
    }
    const std::uint64_t end = end_before_terminator(text, comment.start, comment.end);
    edits.push_back(Edit{stand_in(lines, text, comment.start, end), comment.start, end, Rule::strip_comments});
  }
  return edits;
}

EditList strip_docstrings(const LineIndex& lines, const edit::RangeSet& protected_set,
                          const std::vector<ByteRange>& docstrings) {
  EditList edits;
  edits.reserve(docstrings.size());
  for (const ByteRange& docstring : docstrings) {
    if (edit::overlaps_any(docstring, protected_set)) continue;
    const ByteRange widened = widen_to_whole_lines(lines, docstring);
    edits.push_back(Edit{std::string(), widened.start, widened.end, Rule::strip_docstrings});
  }
  return edits;
}

}  // namespace tersewright::transform

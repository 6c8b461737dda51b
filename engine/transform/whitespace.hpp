// The two loss-free whitespace rules: trailing whitespace and blank-line runs.
#pragma once

#include <string_view>
#include <vector>

#include "edit/edit.hpp"
#include "edit/line_index.hpp"
#include "transform/profiles.hpp"

namespace tersewright::transform {

// Ranges that are non-empty, inside the text and span a line feed, normalized.
edit::RangeSet multiline_literal_ranges(const std::vector<edit::ByteRange>& ranges, std::string_view text);

struct TrimOptions {
  // Markdown: a run of two or more trailing blanks is a hard line break and stays.
  bool hard_breaks = false;
  // Lines of nothing but blanks are left to the blank-line rule, which empties them itself.
  bool skip_whitespace_only_lines = false;
};

// Both work on the text of the lines they are given. protected_ranges and literal_ranges may be
// unsorted; both are normalized here.
edit::EditList trim_trailing_whitespace(const edit::LineIndex& lines,
                                        const std::vector<edit::ByteRange>& protected_ranges,
                                        const std::vector<edit::ByteRange>& literal_ranges, TrimOptions options);

edit::EditList collapse_blank_lines(const edit::LineIndex& lines, BlankLineMode mode,
                                    const std::vector<edit::ByteRange>& protected_ranges,
                                    const std::vector<edit::ByteRange>& literal_ranges);

// Both rules over the same lines: the trim edits, then the blank-line edits, exactly as the two
// calls above concatenated, in one list allocated at its final size plus room for that many more.
edit::EditList whitespace_edits(const edit::LineIndex& lines, BlankLineMode mode,
                                const std::vector<edit::ByteRange>& protected_ranges,
                                const std::vector<edit::ByteRange>& literal_ranges, TrimOptions options,
                                std::size_t room = 0);

}  // namespace tersewright::transform

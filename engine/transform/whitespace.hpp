// The two loss-free whitespace rules: trailing whitespace and blank-line runs.
#pragma once

#include <string_view>
#include <vector>

#include "edit/edit.hpp"
#include "transform/profiles.hpp"

namespace tersewright::transform {

// Ranges that are non-empty, inside the text and span a line feed, normalized.
edit::RangeSet multiline_literal_ranges(const std::vector<edit::ByteRange>& ranges, std::string_view text);

// protected_ranges and literal_ranges may be unsorted; both are normalized here.
edit::EditList trim_trailing_whitespace(std::string_view text, const std::vector<edit::ByteRange>& protected_ranges,
                                        const std::vector<edit::ByteRange>& literal_ranges, bool hard_breaks,
                                        bool skip_whitespace_only_lines);

edit::EditList collapse_blank_lines(std::string_view text, BlankLineMode mode,
                                    const std::vector<edit::ByteRange>& protected_ranges,
                                    const std::vector<edit::ByteRange>& literal_ranges);

}  // namespace tersewright::transform

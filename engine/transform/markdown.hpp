// Markdown structure the folding rules respect, and the removal of adjacent duplicate prose lines.
#pragma once

#include <string_view>
#include <vector>

#include "edit/edit.hpp"
#include "edit/line_index.hpp"

namespace tersewright::transform {

// One range per fenced code block (``` or ~~~, three or more), from the opening line's start to the
// closing line's end; a block left open runs to the end of the text. Normalized.
edit::RangeSet fenced_block_ranges(const edit::LineIndex& lines);

// Deletes every prose line whose trimmed text equals that of the line directly above it. Headings,
// fences, fenced lines, link lines, lines with normative keywords, blank and protected lines are
// never deleted and never serve as the line compared with. Both range lists may be unsorted.
edit::EditList markdown_dedupe(const edit::LineIndex& lines, const std::vector<edit::ByteRange>& protected_ranges,
                               const std::vector<edit::ByteRange>& fenced_ranges);

}  // namespace tersewright::transform

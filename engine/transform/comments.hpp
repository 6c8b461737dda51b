// Removal of comment nodes and Python docstrings, line-aware so that no empty husk is left. Each works
// on the text of the lines it is given.
#pragma once

#include <string_view>
#include <vector>

#include "edit/edit.hpp"
#include "edit/line_index.hpp"
#include "edit/range.hpp"

namespace tersewright::transform {

// The range unchanged, or, when it stands alone on its lines (only spaces and tabs around it),
// those whole lines with their indentation and terminator. Ranges it cannot reason about
// (empty, reversed, past the text, off a character boundary) come back unchanged.
edit::ByteRange widen_to_whole_lines(const edit::LineIndex& lines, edit::ByteRange range);

// One deletion per comment not touching the protected set (tested on the node's own range), in
// input order. A comment that shares its line with code loses only its own bytes; where that would
// glue two tokens together or join two lines of code, a single space or line break takes its place.
edit::EditList strip_comments(const edit::LineIndex& lines, const edit::RangeSet& protected_set,
                              const std::vector<edit::ByteRange>& comments);

// The same procedure over docstring statements, tagged strip_docstrings.
edit::EditList strip_docstrings(const edit::LineIndex& lines, const edit::RangeSet& protected_set,
                                const std::vector<edit::ByteRange>& docstrings);

}  // namespace tersewright::transform

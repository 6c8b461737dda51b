// Folding runs of repeated log events into their first copies and one marker line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "edit/edit.hpp"
#include "edit/line_index.hpp"

namespace tersewright::transform {

// The line that stands for `count` folded lines, indented like the run it ends; always ends in LF.
std::string log_repeat_marker(std::string_view indent, std::uint64_t count);

// Consecutive non-blank, unprotected lines with equal event keys form a run; every run longer than
// `keep` loses its lines after the first `keep`, which one marker line replaces. protected_ranges may
// be unsorted. keep = 0 proposes nothing.
edit::EditList collapse_log_repeats(const edit::LineIndex& lines, const std::vector<edit::ByteRange>& protected_ranges,
                                    std::uint64_t keep);

}  // namespace tersewright::transform

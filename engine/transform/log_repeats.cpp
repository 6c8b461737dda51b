#include "transform/log_repeats.hpp"

#include <charconv>

#include "analyzer/log_line.hpp"
#include "edit/line_index.hpp"
#include "edit/text.hpp"

namespace tersewright::transform {

using edit::ByteRange;
using edit::Edit;
using edit::EditList;
using edit::LineIndex;
using edit::RangeSet;
using edit::Rule;

std::string log_repeat_marker(std::string_view indent, std::uint64_t count) {
  constexpr std::string_view head = "[tersewright: ";
  constexpr std::string_view tail = " repeated log line(s) collapsed]\n";
  char digits[20];
  auto [digits_end, ec] = std::to_chars(digits, digits + sizeof digits, count);
  (void)ec;  // 20 digits hold every 64-bit value
  std::string marker;
  marker.reserve(indent.size() + head.size() + static_cast<std::size_t>(digits_end - digits) + tail.size());
  marker.append(indent).append(head).append(digits, digits_end).append(tail);
  return marker;
}

namespace {

// A line can take part in a run only when it has visible text and no protected byte.
bool joins_runs(const LineIndex& lines, std::size_t i, const RangeSet& protected_set) {
  const edit::LineSpan& line = lines[i];
  if (edit::overlaps_any(ByteRange{line.content_start, line.content_end}, protected_set)) return false;
  return !edit::trim_white_space(lines.content(i)).empty();
}

std::string_view leading_blanks(std::string_view content) noexcept {
  std::size_t n = 0;
  while (n < content.size() && edit::is_space_or_tab(content[n])) ++n;
  return content.substr(0, n);
}

}  // namespace

EditList collapse_log_repeats(const LineIndex& lines, const std::vector<ByteRange>& protected_ranges,
                              std::uint64_t keep) {
  EditList edits;
  if (keep == 0) return edits;
  const RangeSet protected_set = edit::normalize_ranges(protected_ranges);
  const std::size_t count = lines.size();

  // The key of the line that ended the previous run is carried over instead of being computed again.
  std::string key;
  std::string next_key;
  bool have_key = false;
  std::size_t i = 0;
  while (i < count) {
    if (!joins_runs(lines, i, protected_set)) {
      have_key = false;
      ++i;
      continue;
    }
    if (!have_key) key = analyzer::log_event_key(lines.content(i));
    have_key = false;
    std::size_t j = i + 1;
    while (j < count && joins_runs(lines, j, protected_set)) {
      next_key = analyzer::log_event_key(lines.content(j));
      if (next_key != key) {
        have_key = true;
        break;
      }
      ++j;
    }
    const std::uint64_t run = j - i;
    if (run > keep) {
      const std::size_t first_folded = i + static_cast<std::size_t>(keep);
      edits.push_back(Edit{log_repeat_marker(leading_blanks(lines.content(i)), run - keep), lines[first_folded].start,
                           lines[j - 1].end, Rule::collapse_log_repeats});
    }
    if (have_key) key.swap(next_key);
    i = j;
  }
  return edits;
}

}  // namespace tersewright::transform

#include "transform/whitespace.hpp"

#include "edit/line_index.hpp"
#include "edit/pages.hpp"
#include "edit/text.hpp"

namespace tersewright::transform {

using edit::ByteRange;
using edit::Edit;
using edit::EditList;
using edit::LineIndex;
using edit::RangeSet;
using edit::Rule;

edit::RangeSet multiline_literal_ranges(const std::vector<ByteRange>& ranges, std::string_view text) {
  std::vector<ByteRange> kept;
  for (const ByteRange& r : ranges) {
    if (r.start >= r.end || r.end > text.size()) continue;
    if (text.substr(r.start, r.end - r.start).find('\n') != std::string_view::npos) kept.push_back(r);
  }
  return edit::normalize_ranges(std::move(kept));
}

namespace {

// Shared state of one whitespace rule: the lines and both normalized sets.
struct LineRules {
  const LineIndex& lines;
  RangeSet protected_set;
  RangeSet literals;

  LineRules(const LineIndex& lines, const std::vector<ByteRange>& protected_ranges,
            const std::vector<ByteRange>& literal_ranges)
      : lines(lines),
        protected_set(edit::normalize_ranges(protected_ranges)),
        literals(multiline_literal_ranges(literal_ranges, lines.text())) {}
};

// edit::overlaps_any and edit::contained_in_any for ranges whose starts never decrease, as a walk
// over the lines in order asks them: each answer resumes where the last one stopped rather than
// searching the whole set again.
class ForwardQueries {
 public:
  explicit ForwardQueries(const RangeSet& normalized) noexcept : set_(normalized) {}

  bool overlaps(ByteRange range) noexcept {
    if (range.empty()) return false;
    while (ends_after_ < set_.size() && set_[ends_after_].end <= range.start) ++ends_after_;
    return ends_after_ < set_.size() && set_[ends_after_].start < range.end;
  }

  bool contains(ByteRange range) noexcept {
    while (starts_after_ < set_.size() && set_[starts_after_].start <= range.start) ++starts_after_;
    return starts_after_ > 0 && set_[starts_after_ - 1].end >= range.end;
  }

 private:
  const RangeSet& set_;
  std::size_t ends_after_ = 0;    // the first member ending after the last start asked about
  std::size_t starts_after_ = 0;  // the first member starting after it
};

// One walk over the lines in increasing order (a line may be asked about more than once).
class LineWalk {
 public:
  explicit LineWalk(const LineRules& rules) noexcept
      : lines_(rules.lines), protected_(rules.protected_set), literals_(rules.literals) {}

  // A line that touches protected text, or lies wholly inside one multi-line literal, is left alone.
  bool eligible(const edit::LineSpan& line) noexcept {
    const ByteRange content{line.content_start, line.content_end};
    return !protected_.overlaps(content) && !literals_.contains(content);
  }

  // Blank-line handling also keeps an empty line that sits inside a protected range: its content is
  // empty and so never overlaps, but the caller asked for that stretch to survive.
  bool collapsible(std::size_t i) noexcept {
    if (!lines_.is_blank(i)) return false;
    const edit::LineSpan line = lines_[i];
    if (!eligible(line)) return false;
    if (line.content_start == line.content_end) return !protected_.overlaps(ByteRange{line.start, line.end});
    return true;
  }

 private:
  const LineIndex& lines_;
  ForwardQueries protected_;
  ForwardQueries literals_;
};

std::uint64_t trailing_blank_run(std::string_view content) noexcept {
  std::uint64_t k = 0;
  while (k < content.size() && edit::is_space_or_tab(content[content.size() - 1 - k])) ++k;
  return k;
}

// Each rule is a walk that hands every edit it makes to a sink, so that one walk can count the
// edits and the next one store them in a list allocated once at its final size.

template <class Sink>
void each_trim(const LineRules& rules, TrimOptions options, Sink&& sink) {
  const LineIndex& lines = rules.lines;
  const std::string_view text = lines.text();
  LineWalk walk(rules);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const edit::LineSpan line = lines[i];
    if (line.content_start == line.content_end || !walk.eligible(line)) continue;
    std::string_view content = text.substr(line.content_start, line.content_end - line.content_start);
    std::uint64_t k = trailing_blank_run(content);
    if (k == 0) continue;
    if (options.skip_whitespace_only_lines && k == content.size()) continue;
    if (options.hard_breaks && k >= 2) continue;
    std::uint64_t end = line.content_end;
    // Spaces between a carriage return and the line feed stay: removing them would make that
    // carriage return part of the terminator, changing the line beyond the bytes removed (a line
    // of a carriage return and spaces would turn blank, and the next fold would fold it again).
    if (end - k > line.content_start && text[end - k - 1] == '\r' && line.end > end) continue;
    // Spaces at the end of a literal's opening line belong to the literal's value.
    if (edit::overlaps_any(ByteRange{end - k, end}, rules.literals)) continue;
    sink(end - k, end, Rule::trim_trailing_whitespace);
  }
}

template <class Sink>
void each_blank_line_edit(const LineRules& rules, BlankLineMode mode, Sink&& sink) {
  if (mode == BlankLineMode::keep) return;
  const LineIndex& lines = rules.lines;
  LineWalk walk(rules);
  std::size_t i = 0;
  while (i < lines.size()) {
    if (!walk.collapsible(i)) {
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < lines.size() && walk.collapsible(j)) ++j;
    if (mode == BlankLineMode::remove_all) {
      sink(lines[i].start, lines[j - 1].end, Rule::collapse_blank_lines);
    } else {
      if (j - i >= 2) sink(lines[i + 1].start, lines[j - 1].end, Rule::collapse_blank_lines);
      const edit::LineSpan first = lines[i];
      if (first.content_end > first.content_start)
        sink(first.content_start, first.content_end, Rule::trim_trailing_whitespace);
    }
    i = j;
  }
}

// Runs the walks once to count their edits and once to store them, in walk order.
template <class... Walks>
EditList collect(std::size_t room, const Walks&... walks) {
  std::size_t count = 0;
  const auto counter = [&count](std::uint64_t, std::uint64_t, Rule) { ++count; };
  (walks(counter), ...);
  EditList edits;
  edits.reserve(count + room);
  edit::prefer_huge_pages(edits.data(), edits.capacity() * sizeof(edit::Edit));
  const auto store = [&edits](std::uint64_t start, std::uint64_t end, Rule rule) {
    edits.push_back(Edit{std::string(), start, end, rule});
  };
  (walks(store), ...);
  return edits;
}

}  // namespace

EditList trim_trailing_whitespace(const LineIndex& lines, const std::vector<ByteRange>& protected_ranges,
                                  const std::vector<ByteRange>& literal_ranges, TrimOptions options) {
  const LineRules rules(lines, protected_ranges, literal_ranges);
  return collect(0, [&](const auto& sink) { each_trim(rules, options, sink); });
}

EditList collapse_blank_lines(const LineIndex& lines, BlankLineMode mode,
                              const std::vector<ByteRange>& protected_ranges,
                              const std::vector<ByteRange>& literal_ranges) {
  if (mode == BlankLineMode::keep) return {};
  const LineRules rules(lines, protected_ranges, literal_ranges);
  return collect(0, [&](const auto& sink) { each_blank_line_edit(rules, mode, sink); });
}

EditList whitespace_edits(const LineIndex& lines, BlankLineMode mode, const std::vector<ByteRange>& protected_ranges,
                          const std::vector<ByteRange>& literal_ranges, TrimOptions options, std::size_t room) {
  const LineRules rules(lines, protected_ranges, literal_ranges);
  return collect(room, [&](const auto& sink) { each_trim(rules, options, sink); },
                 [&](const auto& sink) { each_blank_line_edit(rules, mode, sink); });
}

}  // namespace tersewright::transform

#include "transform/markdown.hpp"

#include <array>
#include <bit>
#include <cstdint>
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

char ascii_lower(char c) noexcept { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// "](", "http://" or "https://" anywhere in the line. Each has a "]" or a ":" that anchors it, and
// those are rare in prose, so the line is searched for the anchors rather than for every marker.
bool has_link_marker(std::string_view t) noexcept {
  for (std::size_t p = t.find(']'); p != std::string_view::npos; p = t.find(']', p + 1))
    if (p + 1 < t.size() && t[p + 1] == '(') return true;
  for (std::size_t p = t.find("://"); p != std::string_view::npos; p = t.find("://", p + 1)) {
    std::string_view before = t.substr(0, p);
    if (before.ends_with("http") || before.ends_with("https")) return true;
  }
  return false;
}

bool starts_with_lowered(std::string_view text, std::string_view lower_keyword) noexcept {
  if (text.size() < lower_keyword.size()) return false;
  for (std::size_t i = 0; i < lower_keyword.size(); ++i)
    if (ascii_lower(text[i]) != lower_keyword[i]) return false;
  return true;
}

// For each letter a to z, the keywords that start with it (bit i stands for normative_keywords[i]),
// so that a word is compared only with the few keywords that share its first letter.
constexpr std::array<std::uint16_t, 26> keywords_by_initial = [] {
  std::array<std::uint16_t, 26> table{};
  for (std::size_t i = 0; i < normative_keywords.size(); ++i)
    table[static_cast<std::size_t>(normative_keywords[i][0] - 'a')] |= static_cast<std::uint16_t>(1u << i);
  return table;
}();

bool keyword_at(std::string_view rest) noexcept {
  if (rest.empty()) return false;
  const char initial = ascii_lower(rest[0]);
  if (initial < 'a' || initial > 'z') return false;
  for (unsigned mask = keywords_by_initial[static_cast<std::size_t>(initial - 'a')]; mask != 0; mask &= mask - 1)
    if (starts_with_lowered(rest, normative_keywords[static_cast<std::size_t>(std::countr_zero(mask))])) return true;
  return false;
}

// A keyword counts at the start of the ASCII-lowercased line or right after any space in it. The
// line is lowered as it is read rather than copied, and only the starts of words are visited.
bool has_normative_keyword(std::string_view t) noexcept {
  if (keyword_at(t)) return true;
  for (std::size_t p = t.find(' '); p != std::string_view::npos; p = t.find(' ', p + 1))
    if (keyword_at(t.substr(p + 1))) return true;
  return false;
}

// overlaps_any for ranges asked about in increasing order of start, as the lines are: one forward
// walk over the set replaces a search per line.
class ForwardOverlaps {
 public:
  explicit ForwardOverlaps(const RangeSet& normalized) : set_(normalized) {}

  bool operator()(ByteRange range) noexcept {
    if (range.empty()) return false;
    while (next_ < set_.size() && set_[next_].end <= range.start) ++next_;
    return next_ < set_.size() && set_[next_].start < range.end;
  }

 private:
  const RangeSet& set_;
  std::size_t next_ = 0;
};

}  // namespace

RangeSet fenced_block_ranges(const LineIndex& lines) {
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
  if (open_line != none) blocks.push_back(ByteRange{lines[open_line].start, lines.text().size()});
  return edit::normalize_ranges(std::move(blocks));
}

EditList markdown_dedupe(const LineIndex& lines, const std::vector<ByteRange>& protected_ranges,
                         const std::vector<ByteRange>& fenced_ranges) {
  EditList edits;
  const RangeSet protected_set = edit::normalize_ranges(protected_ranges);
  const RangeSet fenced = edit::normalize_ranges(fenced_ranges);
  ForwardOverlaps touches_protected(protected_set);
  ForwardOverlaps touches_fence(fenced);

  // Whether a line may be compared at all: not blank, no heading or fence, untouched by protection
  // and fences, no link and no normative keyword. Asked in increasing line order only.
  const auto comparable = [&](std::size_t i, std::string_view t) {
    const edit::LineSpan line = lines[i];
    const ByteRange content{line.content_start, line.content_end};
    return !lines.is_blank(i) && !t.empty() && t[0] != '#' && !t.starts_with("```") && !t.starts_with("~~~") &&
           !touches_protected(content) && !touches_fence(content) && !has_link_marker(t) &&
           !has_normative_keyword(t);
  };

  // A line goes when it and the line before it are both comparable and read the same once trimmed
  // (a removed duplicate leaves the same text behind it, so a run keeps only its first line). The
  // cheap equality test comes first; a line's comparability is worked out only when it matters,
  // and at most once.
  enum class Known : std::uint8_t { unknown, yes, no };
  std::string_view prev;
  Known prev_known = Known::no;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view t = edit::trim_white_space(lines.content(i));
    Known known = Known::unknown;
    if (i > 0 && t == prev) {
      if (prev_known == Known::unknown) prev_known = comparable(i - 1, prev) ? Known::yes : Known::no;
      if (prev_known == Known::yes) {
        known = comparable(i, t) ? Known::yes : Known::no;
        if (known == Known::yes) {
          const edit::LineSpan line = lines[i];
          edits.push_back(Edit{std::string(), line.content_start, line.end, Rule::markdown_dedupe});
        }
      }
    }
    prev = t;
    prev_known = known;
  }
  return edits;
}

}  // namespace tersewright::transform

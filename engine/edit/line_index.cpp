#include "edit/line_index.hpp"

#include <algorithm>
#include <cstring>

#include "edit/pages.hpp"
#include "edit/text.hpp"
#include "result.hpp"

namespace tersewright::edit {

LineIndex::LineIndex(std::string_view text) : text_(text) {
  const char* base = text.data();
  // Counting first (eight bytes at a time, no call per line) costs one fast pass and spares the
  // repeated growth of a vector that holds millions of starts in a large log or document.
  starts_.reserve(count_lines(text) + 2);
  prefer_huge_pages(starts_.data(), starts_.capacity() * sizeof starts_[0]);
  starts_.push_back(0);
  for (std::size_t at = 0; at < text.size();) {
    const void* hit = std::memchr(base + at, '\n', text.size() - at);
    if (!hit) break;
    at = static_cast<std::size_t>(static_cast<const char*>(hit) - base) + 1;
    starts_.push_back(at);
  }
  // The final stretch without a line feed is a line of its own; the empty text is one empty line.
  // A text ending in a line feed has no empty line after it: its last start is the sentinel.
  if (text.empty() || text.back() != '\n') starts_.push_back(text.size());
}

std::string_view LineIndex::content(std::size_t i) const {
  if (i >= size()) throw InternalError{"line index out of range"};
  const LineSpan line = (*this)[i];
  return text_.substr(line.content_start, line.content_end - line.content_start);
}

bool LineIndex::is_blank(std::size_t i) const noexcept {
  if (i >= size()) return false;
  const LineSpan line = (*this)[i];
  for (std::uint64_t p = line.content_start; p < line.content_end; ++p)
    if (text_[p] != ' ' && text_[p] != '\t') return false;
  return true;
}

std::size_t LineIndex::line_at(std::uint64_t offset) const noexcept {
  const auto last = starts_.end() - 1;  // the sentinel starts no line
  auto it = std::partition_point(starts_.begin(), last, [&](std::uint64_t start) { return start <= offset; });
  return it == starts_.begin() ? 0 : static_cast<std::size_t>(std::prev(it) - starts_.begin());
}

}  // namespace tersewright::edit

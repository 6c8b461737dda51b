#include "edit/line_index.hpp"

#include <algorithm>
#include <cstring>

#include "result.hpp"

namespace tersewright::edit {

LineIndex::LineIndex(std::string_view text) : text_(text) {
  const char* base = text.data();
  // Counting first costs one fast pass and spares the repeated growth of a vector that holds
  // millions of spans in a large log or document.
  std::size_t feeds = 0;
  for (std::size_t at = 0; at < text.size(); ++feeds) {
    const void* hit = std::memchr(base + at, '\n', text.size() - at);
    if (!hit) break;
    at = static_cast<std::size_t>(static_cast<const char*>(hit) - base) + 1;
  }
  lines_.reserve(feeds + 1);
  std::size_t line_start = 0;
  for (;;) {
    const void* hit = line_start < text.size()
                          ? std::memchr(base + line_start, '\n', text.size() - line_start)
                          : nullptr;
    if (!hit) break;
    std::size_t i = static_cast<std::size_t>(static_cast<const char*>(hit) - base);
    std::size_t content_end = (i > line_start && base[i - 1] == '\r') ? i - 1 : i;
    lines_.push_back(LineSpan{line_start, i + 1, line_start, content_end});
    line_start = i + 1;
  }
  // The final stretch without a line feed; the empty text is one empty line.
  if (!(!text.empty() && text.back() == '\n' && !lines_.empty()))
    lines_.push_back(LineSpan{line_start, text.size(), line_start, text.size()});
}

std::string_view LineIndex::content(std::size_t i) const {
  if (i >= lines_.size()) throw InternalError{"line index out of range"};
  const LineSpan& line = lines_[i];
  return text_.substr(line.content_start, line.content_end - line.content_start);
}

bool LineIndex::is_blank(std::size_t i) const noexcept {
  if (i >= lines_.size()) return false;
  const LineSpan& line = lines_[i];
  for (std::uint64_t p = line.content_start; p < line.content_end; ++p)
    if (text_[p] != ' ' && text_[p] != '\t') return false;
  return true;
}

std::size_t LineIndex::line_at(std::uint64_t offset) const noexcept {
  auto it = std::partition_point(lines_.begin(), lines_.end(),
                                 [&](const LineSpan& l) { return l.start <= offset; });
  return it == lines_.begin() ? 0 : static_cast<std::size_t>(std::prev(it) - lines_.begin());
}

}  // namespace tersewright::edit

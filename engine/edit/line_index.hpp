// The lines of a text, split at line feeds only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tersewright::edit {

struct LineSpan {
  std::uint64_t start = 0;          // whole line, terminator included; equals content_start
  std::uint64_t end = 0;
  std::uint64_t content_start = 0;  // the line without LF (and without one CR before it)
  std::uint64_t content_end = 0;
};

// Only where each line starts is stored (8 bytes a line, against 32 for whole spans): a large
// document has millions of lines, and on a fresh allocation every page of the index costs a fault
// that outweighs deriving a span's end and content end from the bytes around it.
class LineIndex {
 public:
  explicit LineIndex(std::string_view text);

  std::size_t size() const noexcept { return starts_.size() - 1; }
  LineSpan operator[](std::size_t i) const noexcept {
    const std::uint64_t start = starts_[i];
    const std::uint64_t end = starts_[i + 1];
    std::uint64_t content_end = end;
    if (end > start && text_[end - 1] == '\n') {
      content_end = end - 1;
      if (content_end > start && text_[content_end - 1] == '\r') --content_end;
    }
    return LineSpan{start, end, start, content_end};
  }
  std::string_view text() const noexcept { return text_; }

  std::string_view content(std::size_t i) const;
  // Past the last line: false. Otherwise: the content is empty or only spaces and tabs.
  bool is_blank(std::size_t i) const noexcept;

  // Index of the last line whose whole span starts at or before offset (0 when none does).
  std::size_t line_at(std::uint64_t offset) const noexcept;

 private:
  std::string_view text_;
  // The start of each line, then the end of the last one.
  std::vector<std::uint64_t> starts_;
};

}  // namespace tersewright::edit

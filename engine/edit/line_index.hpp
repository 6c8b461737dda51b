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

class LineIndex {
 public:
  explicit LineIndex(std::string_view text);

  std::size_t size() const noexcept { return lines_.size(); }
  const LineSpan& operator[](std::size_t i) const noexcept { return lines_[i]; }
  const std::vector<LineSpan>& lines() const noexcept { return lines_; }
  std::string_view text() const noexcept { return text_; }

  std::string_view content(std::size_t i) const;
  // Past the last line: false. Otherwise: the content is empty or only spaces and tabs.
  bool is_blank(std::size_t i) const noexcept;

  // Index of the last line whose whole span starts at or before offset (0 when none does).
  std::size_t line_at(std::uint64_t offset) const noexcept;

 private:
  std::string_view text_;
  std::vector<LineSpan> lines_;
};

}  // namespace tersewright::edit

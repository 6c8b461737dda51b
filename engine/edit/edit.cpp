#include "edit/edit.hpp"

#include <algorithm>
#include <cstring>

#include "edit/pages.hpp"
#include "edit/text.hpp"

namespace tersewright::edit {

namespace {

// The whole span of the line holding offset, and where its content ends (before LF, and before
// one CR that precedes the LF).
struct LineAround {
  std::uint64_t start;
  std::uint64_t end;
  std::uint64_t content_end;
};

LineAround line_around(std::string_view text, std::uint64_t offset) noexcept {
  LineAround line{0, text.size(), text.size()};
  if (const void* before = offset > 0 ? memrchr(text.data(), '\n', offset) : nullptr)
    line.start = static_cast<std::uint64_t>(static_cast<const char*>(before) - text.data()) + 1;
  const void* feed = offset < text.size() ? std::memchr(text.data() + offset, '\n', text.size() - offset) : nullptr;
  if (feed) {
    const std::uint64_t at = static_cast<std::uint64_t>(static_cast<const char*>(feed) - text.data());
    line.end = at + 1;
    line.content_end = (at > line.start && text[at - 1] == '\r') ? at - 1 : at;
  }
  return line;
}

}  // namespace

RangeSet build_protected_ranges(std::string_view text, const std::vector<ByteRange>& explicit_ranges,
                                const std::vector<std::string>& markers) {
  std::vector<ByteRange> ranges = explicit_ranges;
  // Each marker is searched through the whole text once rather than line by line; a hit protects
  // its line when it lies within the line's content (a marker holding a line feed never does).
  for (const std::string& marker : markers) {
    if (marker.empty()) continue;
    std::uint64_t from = 0;
    while (from < text.size()) {
      const void* hit = memmem(text.data() + from, text.size() - from, marker.data(), marker.size());
      if (!hit) break;
      const std::uint64_t at = static_cast<std::uint64_t>(static_cast<const char*>(hit) - text.data());
      const LineAround line = line_around(text, at);
      if (at + marker.size() <= line.content_end) {
        ranges.push_back(ByteRange{line.start, line.end});
        from = line.end;  // the line is protected; look on from the next one
      } else {
        from = at + 1;
      }
    }
  }
  return normalize_ranges(std::move(ranges));
}

namespace {

// The edits with something to remove, in (start, end) order; equal keys keep their list order.
// Rules emit their edits in order, so the sort is skipped when the list already is.
std::vector<const Edit*> application_order(const EditList& edits) {
  std::vector<const Edit*> order;
  order.reserve(edits.size());
  for (const Edit& e : edits)
    if (e.start < e.end) order.push_back(&e);
  const auto before = [](const Edit* a, const Edit* b) {
    return a->start != b->start ? a->start < b->start : a->end < b->end;
  };
  if (!std::is_sorted(order.begin(), order.end(), before)) std::stable_sort(order.begin(), order.end(), before);
  return order;
}

// The one application loop behind both entry points; kept is filled only when asked for.
void apply_in_order(std::string_view text, const EditList& edits, std::string& out,
                    std::vector<KeptSegment>* kept) {
  const std::vector<const Edit*> order = application_order(edits);
  out.reserve(text.size());
  prefer_huge_pages(out.data(), out.capacity());
  std::uint64_t last_end = 0;
  std::uint64_t cursor = 0;
  bool accepted_any = false;
  for (const Edit* e : order) {
    if (e->start < last_end || e->end > text.size() || !is_char_boundary(text, e->start) ||
        !is_char_boundary(text, e->end))
      continue;
    accepted_any = true;
    last_end = e->end;
    if (e->start > cursor) {
      if (kept) kept->push_back(KeptSegment{cursor, e->start, out.size()});
      out.append(text.substr(cursor, e->start - cursor));
    }
    out.append(e->replacement);
    cursor = e->end;
  }
  if (!accepted_any) {
    out.assign(text);
    if (kept) kept->assign(1, KeptSegment{0, text.size(), 0});
    return;
  }
  if (cursor < text.size()) {
    if (kept) kept->push_back(KeptSegment{cursor, text.size(), out.size()});
    out.append(text.substr(cursor));
  }
}

}  // namespace

EditOutcome apply_edits(std::string_view text, const EditList& edits) {
  EditOutcome outcome;
  apply_in_order(text, edits, outcome.text, &outcome.kept);
  return outcome;
}

std::string apply_edits_text(std::string_view text, const EditList& edits) {
  std::string out;
  apply_in_order(text, edits, out, nullptr);
  return out;
}

std::uint64_t map_offset(const std::vector<KeptSegment>& kept, std::uint64_t offset) noexcept {
  auto it = std::partition_point(kept.begin(), kept.end(),
                                 [&](const KeptSegment& s) { return s.old_start <= offset; });
  if (it == kept.begin()) return 0;
  const KeptSegment& s = *std::prev(it);
  return s.new_start + (std::min(offset, s.old_end) - s.old_start);
}

ByteRange map_range(const std::vector<KeptSegment>& kept, ByteRange range) noexcept {
  return ByteRange{map_offset(kept, range.start), map_offset(kept, range.end)};
}

std::vector<ByteRange> map_ranges(const std::vector<KeptSegment>& kept, const std::vector<ByteRange>& ranges) {
  std::vector<ByteRange> out;
  out.reserve(ranges.size());
  for (const ByteRange& r : ranges) out.push_back(map_range(kept, r));
  return out;
}

}  // namespace tersewright::edit

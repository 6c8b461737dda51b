#include "edit/range.hpp"

#include <algorithm>

namespace tersewright::edit {

RangeSet normalize_ranges(std::vector<ByteRange> ranges) {
  std::erase_if(ranges, [](const ByteRange& r) { return r.start >= r.end; });
  std::sort(ranges.begin(), ranges.end(), [](const ByteRange& a, const ByteRange& b) {
    return a.start != b.start ? a.start < b.start : a.end < b.end;
  });
  RangeSet merged;
  merged.reserve(ranges.size());
  for (const ByteRange& r : ranges) {
    if (!merged.empty() && r.start <= merged.back().end)
      merged.back().end = std::max(merged.back().end, r.end);
    else
      merged.push_back(r);
  }
  return merged;
}

bool overlaps_any(ByteRange range, const RangeSet& normalized) noexcept {
  if (range.empty() || normalized.empty()) return false;
  // Members starting before the range's end; only the last of them can reach into the range.
  auto it = std::partition_point(normalized.begin(), normalized.end(),
                                 [&](const ByteRange& p) { return p.start < range.end; });
  return it != normalized.begin() && std::prev(it)->end > range.start;
}

bool contained_in_any(ByteRange range, const RangeSet& normalized) noexcept {
  auto it = std::partition_point(normalized.begin(), normalized.end(),
                                 [&](const ByteRange& p) { return p.start <= range.start; });
  return it != normalized.begin() && std::prev(it)->end >= range.end;
}

std::uint64_t total_length(const RangeSet& normalized) noexcept {
  std::uint64_t total = 0;
  for (const ByteRange& r : normalized) total += r.end - r.start;
  return total;
}

}  // namespace tersewright::edit

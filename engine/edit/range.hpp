// Half-open byte ranges and the normalized range sets that protection and literals use.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace tersewright::edit {

struct ByteRange {
  std::uint64_t start = 0;
  std::uint64_t end = 0;

  bool empty() const noexcept { return start >= end; }
  friend bool operator==(const ByteRange&, const ByteRange&) = default;
};

using RangeSet = std::vector<ByteRange>;

// Drops empty and reversed ranges, sorts by (start, end), and merges overlapping and touching
// ranges. The result is sorted, pairwise disjoint and non-adjacent.
RangeSet normalize_ranges(std::vector<ByteRange> ranges);

// Whether the range shares a byte with a member of a normalized set. Empty ranges never do.
bool overlaps_any(ByteRange range, const RangeSet& normalized) noexcept;

// Whether one member of a normalized set covers the whole range.
bool contained_in_any(ByteRange range, const RangeSet& normalized) noexcept;

// Sum of the lengths of a normalized set, not clipped to any text.
std::uint64_t total_length(const RangeSet& normalized) noexcept;

}  // namespace tersewright::edit

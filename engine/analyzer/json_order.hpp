// The one rule by which an object's members are ordered, shared by the parser (keys and values
// still apart on its scratch stacks), sort_members() (a built Object) and the writer (an Object it
// must not change). Internal to the JSON files.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "analyzer/json.hpp"

namespace tersewright::analyzer::json {

// Of count members whose keys key_of(i) returns by reference, fills order with the positions to
// keep, in keeping order: a stable sort by key in byte order, and of members sharing a key only the
// last. When the keys already ascend strictly, order is left untouched and the answer is false; that
// is the common case and costs one comparison per member. Sorting positions rather than members
// lets each caller move (or point at) every member once, straight to its place.
template <class KeyOf>
bool order_by_key(std::size_t count, KeyOf key_of, std::vector<std::size_t>& order) {
  std::size_t ascending = 1;  // length of the strictly ascending prefix
  while (ascending < count && key_of(ascending - 1) < key_of(ascending)) ++ascending;
  if (ascending >= count) return false;

  order.resize(count);
  for (std::size_t i = 0; i < count; ++i) order[i] = i;
  const auto key_less = [&key_of](std::size_t a, std::size_t b) { return key_of(a) < key_of(b); };
  if (count <= 16) {
    // Stable insertion sort: small objects are the common case and need no buffer.
    for (std::size_t i = ascending; i < count; ++i) {
      const std::size_t index = order[i];
      std::size_t j = i;
      for (; j > 0 && key_less(index, order[j - 1]); --j) order[j] = order[j - 1];
      order[j] = index;
    }
  } else {
    std::stable_sort(order.begin(), order.end(), key_less);
  }

  // Equal keys now sit together in their original order; the last of each run is the one kept.
  std::size_t kept = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (i + 1 < count && key_of(order[i + 1]) == key_of(order[i])) continue;
    order[kept++] = order[i];
  }
  order.resize(kept);
  return true;
}

// The same for the members of a built object.
inline bool order_by_key(const Object& object, std::vector<std::size_t>& order) {
  return order_by_key(object.size(), [&object](std::size_t i) -> const std::string& { return object[i].key; }, order);
}

}  // namespace tersewright::analyzer::json

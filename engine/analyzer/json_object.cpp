// Lookup, insertion and ordering on objects built in code.
#include "analyzer/json.hpp"

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analyzer/json_order.hpp"

namespace tersewright::analyzer::json {
namespace {

bool key_less(const Member& member, std::string_view key) noexcept { return std::string_view(member.key) < key; }

}  // namespace

const Value* find(const Object& object, std::string_view key) noexcept {
  const auto it = std::lower_bound(object.begin(), object.end(), key, key_less);
  return it != object.end() && it->key == key ? &it->value : nullptr;
}

Value* find(Object& object, std::string_view key) noexcept {
  const auto it = std::lower_bound(object.begin(), object.end(), key, key_less);
  return it != object.end() && it->key == key ? &it->value : nullptr;
}

void set(Object& object, std::string key, Value value) {
  const auto it = std::lower_bound(object.begin(), object.end(), std::string_view(key), key_less);
  if (it != object.end() && it->key == key)
    it->value = std::move(value);
  else
    object.emplace(it, std::move(key), std::move(value));
}

void sort_members(Object& object) {
  std::vector<std::size_t> order;
  if (!order_by_key(object, order)) return;
  Object sorted;
  sorted.reserve(order.size());
  for (const std::size_t index : order) sorted.push_back(std::move(object[index]));
  object = std::move(sorted);
}

}  // namespace tersewright::analyzer::json

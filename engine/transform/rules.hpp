// What the report says about each rule: the rule table (names, descriptions, lossiness) and the
// per-rule tally of a fold's edits.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "edit/edit.hpp"

namespace tersewright::transform {

std::string_view rule_name(edit::Rule rule) noexcept;
std::string_view rule_description(edit::Rule rule) noexcept;
bool rule_is_lossy(edit::Rule rule) noexcept;

// A rule's name, description and lossiness come from the rule table, by its tag.
struct RuleReport {
  edit::Rule rule = edit::Rule::strip_comments;
  std::uint64_t changes = 0;
  std::int64_t bytes_removed = 0;
};

// One entry per rule with edits, in order of first occurrence over first then second.
std::vector<RuleReport> tally_rules(const edit::EditList& first, const edit::EditList& second = {});

}  // namespace tersewright::transform

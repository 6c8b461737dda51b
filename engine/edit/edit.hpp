// Proposed edits tagged with their rule, the protected set, one-pass application and the offset map.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "edit/range.hpp"

namespace tersewright::edit {

// The rule an edit comes from; transform/rules.hpp holds each rule's name, description and lossiness.
enum class Rule : std::uint8_t {
  strip_comments = 0,
  strip_docstrings = 1,
  collapse_blank_lines = 2,
  trim_trailing_whitespace = 3,
  interface_only = 4,
  collapse_log_repeats = 5,
  markdown_dedupe = 6,
};

inline constexpr int rule_count = 7;

struct Edit {
  std::string replacement;
  std::uint64_t start = 0;
  std::uint64_t end = 0;
  Rule rule = Rule::strip_comments;
};

using EditList = std::vector<Edit>;

// Explicit ranges plus the whole span of every line that contains one of the markers, normalized.
RangeSet build_protected_ranges(std::string_view text, const std::vector<ByteRange>& explicit_ranges,
                                const std::vector<std::string>& markers);

struct KeptSegment {
  std::uint64_t old_start = 0;
  std::uint64_t old_end = 0;
  std::uint64_t new_start = 0;
  friend bool operator==(const KeptSegment&, const KeptSegment&) = default;
};

struct EditOutcome {
  std::string text;
  std::vector<KeptSegment> kept;
};

// Applies the non-overlapping, in-range, boundary-aligned edits in (start, end) order; the rest
// are dropped silently.
EditOutcome apply_edits(std::string_view text, const EditList& edits);

// The text apply_edits makes, without the offset map: for callers that map nothing afterwards.
std::string apply_edits_text(std::string_view text, const EditList& edits);

// Carries an offset of the old text into the new text through the kept-segment map.
std::uint64_t map_offset(const std::vector<KeptSegment>& kept, std::uint64_t offset) noexcept;
ByteRange map_range(const std::vector<KeptSegment>& kept, ByteRange range) noexcept;
// Each range carried through the kept segments, in order.
std::vector<ByteRange> map_ranges(const std::vector<KeptSegment>& kept, const std::vector<ByteRange>& ranges);

}  // namespace tersewright::edit

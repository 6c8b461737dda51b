// Range sets, line splitting, protection, edit application, offset carrying, the tally and text counts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "edit/edit.hpp"
#include "edit/line_index.hpp"
#include "edit/text.hpp"
#include "transform/rules.hpp"

namespace {

using namespace tersewright::edit;
namespace transform = tersewright::transform;

Edit del(std::uint64_t s, std::uint64_t e, Rule rule = Rule::strip_comments) { return Edit{"", s, e, rule}; }

// A deterministic pseudo-random text over the alphabet, for the checks against a plain definition.
std::string random_text(std::uint32_t& seed, int length, const std::vector<std::string>& alphabet) {
  std::string text;
  for (int i = 0; i < length; ++i) {
    seed = seed * 1103515245u + 12345u;
    text += alphabet[(seed >> 16) % alphabet.size()];
  }
  return text;
}

TEST(RangeSet, NormalizeAndQuery) {
  EXPECT_EQ(normalize_ranges({{5, 8}, {0, 5}, {3, 3}, {9, 4}, {20, 30}, {25, 26}}), (RangeSet{{0, 8}, {20, 30}}));
  EXPECT_EQ(normalize_ranges({{0, 5}, {6, 8}}), (RangeSet{{0, 5}, {6, 8}}));
  EXPECT_EQ(total_length(normalize_ranges({{0, 5}, {3, 10}, {10, 12}})), 12u);
  EXPECT_FALSE(overlaps_any({0, 5}, {}));
  EXPECT_FALSE(contained_in_any({0, 0}, {}));
  // Against {10, 20}, {30, 40}: the range, whether it overlaps a member, whether one member holds it.
  const struct { ByteRange range; bool overlaps, contained; } cases[] = {
      {{0, 10}, false, false}, {{0, 11}, true, false}, {{19, 30}, true, false}, {{20, 30}, false, false},
      {{12, 18}, true, true},  {{10, 20}, true, true}, {{15, 15}, false, true}, {{20, 20}, false, true},
      {{25, 25}, false, false}, {{5, 45}, true, false}, {{39, 41}, true, false}, {{50, 60}, false, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.range.start << "," << c.range.end);
    EXPECT_EQ(overlaps_any(c.range, {{10, 20}, {30, 40}}), c.overlaps);
    EXPECT_EQ(contained_in_any(c.range, {{10, 20}, {30, 40}}), c.contained);
  }
}

TEST(Lines, SplitAtLineFeedsOnly) {
  const struct { const char* text; std::vector<std::string> contents; std::vector<std::uint64_t> ends; } cases[] = {
      {"", {""}, {0}}, {"\n", {""}, {1}}, {"a\nb", {"a", "b"}, {2, 3}}, {"a\nb\n", {"a", "b"}, {2, 4}},
      {"a\r\nb", {"a", "b"}, {3, 4}}, {"\r\n", {""}, {2}}, {"a\r", {"a\r"}, {2}}, {"a\r\r\n", {"a\r"}, {4}},
      {"\n\n", {"", ""}, {1, 2}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
    const LineIndex lines(c.text);
    ASSERT_EQ(lines.size(), c.contents.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
      EXPECT_EQ(lines.content(i), c.contents[i]);
      EXPECT_EQ(lines[i].end, c.ends[i]);
      EXPECT_EQ(lines[i].start, lines[i].content_start);
      EXPECT_EQ(i + 1 < lines.size() ? lines[i + 1].start : std::string_view(c.text).size(), lines[i].end);
      for (std::uint64_t at = lines[i].start; at < lines[i].end; ++at) EXPECT_EQ(lines.line_at(at), i) << at;
    }
    EXPECT_EQ(lines.line_at(lines[lines.size() - 1].end + 5), lines.size() - 1);
  }
  const LineIndex lines(" \t\n\x0c\n \r\nx\n");
  EXPECT_EQ((std::vector<bool>{lines.is_blank(0), lines.is_blank(1), lines.is_blank(2), lines.is_blank(3),
                               lines.is_blank(4)}),
            (std::vector<bool>{true, false, true, false, false}));
}

TEST(Protection, MarkerLinesAndExplicitRanges) {
  const std::string text = "a\nkeep tersewright:keep\nb @tersewright-keep\nc\n";
  EXPECT_EQ(build_protected_ranges(text, {{100, 200}}, {"tersewright:keep", "@tersewright-keep"}),
            (RangeSet{{2, 44}, {100, 200}}));
}

// The whole-text marker search against the plain definition: a line is protected when one of the
// markers occurs inside its content.
TEST(Protection, MarkerSearchMatchesLineDefinition) {
  const std::vector<std::vector<std::string>> marker_sets = {
      {"ab"}, {"a\nb"}, {"b\r"}, {"\r\n"}, {"", "ba", "aa"}, {"a"}, {"\n"}, {"b\rb"}};
  std::uint32_t seed = 99;
  for (int round = 0; round < 2000; ++round) {
    const std::string text = random_text(seed, round % 40, {"a", "b", "\n", "\r", " "});
    const LineIndex lines(text);
    for (const auto& markers : marker_sets) {
      std::vector<ByteRange> expected;
      for (std::size_t i = 0; i < lines.size(); ++i)
        for (const std::string& m : markers)
          if (!m.empty() && lines.content(i).find(m) != std::string_view::npos)
            expected.push_back({lines[i].start, lines[i].end});
      ASSERT_EQ(build_protected_ranges(text, {}, markers), normalize_ranges(expected)) << round << " " << markers[0];
    }
  }
}

TEST(Apply, OutputAndKeptSegments) {
  const struct { std::string text; EditList edits; std::string output; std::vector<KeptSegment> kept; } cases[] = {
      {"abc", {}, "abc", {{0, 3, 0}}}, {"", {}, "", {{0, 0, 0}}},
      {"abcdefghij", {del(2, 5), del(5, 8)}, "abij", {{0, 2, 0}, {8, 10, 2}}},  // touching edits both apply
      {"abcdefghij", {del(4, 8), del(2, 6)}, "abghij", {{0, 2, 0}, {6, 10, 2}}},  // of overlapping, the first
      {"abc", {Edit{"X", 1, 1, Rule::strip_comments}, del(2, 1)}, "abc", {{0, 3, 0}}},  // empty and reversed
      {"abcdef", {del(4, 9), del(1, 2)}, "acdef", {{0, 1, 0}, {2, 6, 1}}},  // past the end
      {"a\xc3\xa9z", {del(1, 2), del(3, 4)}, "a\xc3\xa9", {{0, 3, 0}}},    // inside a character
      {"abcdef", {Edit{"X", 1, 3, Rule::strip_comments}, Edit{"Y", 1, 3, Rule::strip_comments}}, "aXdef",
       {{0, 1, 0}, {3, 6, 2}}},
      {"abc", {Edit{"12345", 0, 3, Rule::interface_only}}, "12345", {}},
      {"abcdefgh", {del(1, 3), del(2, 20), del(3, 4)}, "aefgh", {{0, 1, 0}, {4, 8, 1}}}};  // dropped keeps no end
  for (const auto& c : cases) {
    SCOPED_TRACE(c.output);
    const EditOutcome out = apply_edits(c.text, c.edits);
    EXPECT_EQ(out.text, c.output);
    EXPECT_EQ(out.kept, c.kept);
    EXPECT_EQ(apply_edits_text(c.text, c.edits), c.output);
  }
  // Offsets carried through the kept segments: a deleted stretch maps to where it was cut out.
  const auto mid = apply_edits("abcdefgh", {del(2, 5)}).kept, lead = apply_edits("abcdef", {del(0, 2)}).kept;
  EXPECT_EQ((std::vector<std::uint64_t>{map_offset(mid, 3), map_offset(mid, 6), map_offset(mid, 8), map_offset({}, 7),
                                        map_offset(lead, 1), map_offset(lead, 4)}),
            (std::vector<std::uint64_t>{2, 3, 5, 0, 0, 2}));
  EXPECT_EQ(map_range(mid, {2, 5}), (ByteRange{2, 2}));
  // A range that starts where a replaced stretch ended starts after its stand-in, not inside it.
  const auto stand_in = apply_edits("abcdefgh", {Edit{"XYZ", 2, 5, Rule::interface_only}}).kept;
  EXPECT_EQ(map_range(stand_in, {5, 7}), (ByteRange{5, 7}));
  EXPECT_EQ(map_range(stand_in, {3, 5}), (ByteRange{2, 5}));
}

TEST(Tally, FirstOccurrenceOrderAndNetBytes) {
  const EditList first{del(0, 4), Edit{std::string(47, 'x'), 10, 23, Rule::interface_only}, del(30, 31)};
  const EditList second{del(0, 2, Rule::trim_trailing_whitespace), Edit{"abc", 5, 5, Rule::collapse_blank_lines},
                        del(9, 3)};
  std::string tally;
  for (const transform::RuleReport& r : transform::tally_rules(first, second))
    tally += std::string(transform::rule_name(r.rule)) + " " + std::to_string(r.changes) + " " +
             std::to_string(r.bytes_removed) + (transform::rule_is_lossy(r.rule) ? " lossy" : "") + "; ";
  EXPECT_EQ(tally, "strip_comments 3 5; interface_only 1 -34 lossy; trim_trailing_whitespace 1 2; "
                   "collapse_blank_lines 1 -3; ");
  EXPECT_TRUE(transform::tally_rules({}, {}).empty());
  // The descriptions the report gives each rule, in the order of the rule tags.
  std::string descriptions;
  for (int tag = 0; tag < rule_count; ++tag)
    descriptions += std::string(transform::rule_description(static_cast<Rule>(tag))) + " ";
  EXPECT_EQ(descriptions, "Removed comment nodes. Removed Python docstrings. Collapsed runs of blank lines. Trimmed "
                          "trailing whitespace on trivia lines. Replaced declaration bodies with placeholders (lossy). "
                          "Collapsed consecutive duplicate log events (lossy). Removed adjacent duplicate prose lines "
                          "(lossy). ");
}

TEST(Text, WhiteSpaceAndCase) {
  EXPECT_EQ(trim_white_space("\xc2\xa0 \t x y\xe3\x80\x80\xe2\x80\xa8\r\n"), "x y");
  EXPECT_EQ(trim_white_space("\xe2\x80\x8b" "a"), "\xe2\x80\x8b" "a");  // zero-width space is not White_Space
  EXPECT_EQ(ascii_lower("AbC\xc3\x89"), "abc\xc3\x89");
}

// The word-at-a-time counters against a byte-by-byte count, at every alignment and length.
TEST(Text, CountsMatchBytewiseAtEveryAlignment) {
  std::uint32_t seed = 12345;
  for (int round = 0; round < 3000; ++round) {
    const std::string text = random_text(seed, round < 2000 ? round % 23 : round * 7 % 3000,
                                         {"a", "\n", "\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80", "\x7f", "\r",
                                          "\x80"});
    std::uint64_t chars = 0, feeds = 0;
    for (unsigned char c : text) {
      chars += (c & 0xC0) != 0x80;
      feeds += c == '\n';
    }
    const std::uint64_t lines = text.empty() ? 0 : feeds + (text.back() != '\n');
    EXPECT_EQ(count_chars(text), chars) << round;
    EXPECT_EQ(count_lines(text), lines) << round;
    const CharsAndLines both = count_chars_and_lines(text);
    EXPECT_EQ(both.chars, chars) << round;
    EXPECT_EQ(both.lines, lines) << round;
  }
}

}  // namespace

// Range sets, line splitting, edit application and offset carrying.
#include <gtest/gtest.h>

#include "edit/edit.hpp"
#include "edit/line_index.hpp"
#include "edit/text.hpp"

namespace {

using namespace tersewright::edit;

Edit del(std::uint64_t s, std::uint64_t e, Rule rule = Rule::strip_comments) { return Edit{"", s, e, rule}; }

TEST(RangeSet, NormalizeDropsSortsAndMerges) {
  EXPECT_EQ(normalize_ranges({{5, 8}, {0, 5}, {3, 3}, {9, 4}, {20, 30}, {25, 26}}),
            (RangeSet{{0, 8}, {20, 30}}));
  EXPECT_EQ(normalize_ranges({{0, 5}, {3, 10}}), (RangeSet{{0, 10}}));
  EXPECT_EQ(normalize_ranges({{0, 5}, {6, 8}}), (RangeSet{{0, 5}, {6, 8}}));
  EXPECT_EQ(total_length(normalize_ranges({{0, 5}, {5, 8}})), 8u);
}

struct QueryCase {
  ByteRange range;
  bool overlaps;
  bool contained;
};

class RangeQueries : public ::testing::TestWithParam<QueryCase> {};

TEST_P(RangeQueries, AgainstFixedSet) {
  const RangeSet set{{10, 20}, {30, 40}};
  EXPECT_EQ(overlaps_any(GetParam().range, set), GetParam().overlaps);
  EXPECT_EQ(contained_in_any(GetParam().range, set), GetParam().contained);
}

INSTANTIATE_TEST_SUITE_P(Table, RangeQueries,
                         ::testing::Values(QueryCase{{0, 10}, false, false}, QueryCase{{0, 11}, true, false},
                                           QueryCase{{19, 30}, true, false}, QueryCase{{20, 30}, false, false},
                                           QueryCase{{12, 18}, true, true}, QueryCase{{10, 20}, true, true},
                                           QueryCase{{15, 15}, false, true}, QueryCase{{20, 20}, false, true},
                                           QueryCase{{25, 25}, false, false}, QueryCase{{5, 45}, true, false},
                                           QueryCase{{39, 41}, true, false}, QueryCase{{50, 60}, false, false}));

TEST(RangeQueries, EmptySet) {
  EXPECT_FALSE(overlaps_any({0, 5}, {}));
  EXPECT_FALSE(contained_in_any({0, 0}, {}));
}

struct LineCase {
  const char* text;
  std::vector<std::string> contents;
  std::vector<std::uint64_t> ends;
};

class Lines : public ::testing::TestWithParam<LineCase> {};

TEST_P(Lines, SplitAtLineFeeds) {
  const LineCase& c = GetParam();
  LineIndex lines(c.text);
  ASSERT_EQ(lines.size(), c.contents.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines.content(i), c.contents[i]) << i;
    EXPECT_EQ(lines[i].end, c.ends[i]) << i;
    EXPECT_EQ(lines[i].start, lines[i].content_start);
  }
}

INSTANTIATE_TEST_SUITE_P(Table, Lines,
                         ::testing::Values(LineCase{"", {""}, {0}}, LineCase{"\n", {""}, {1}},
                                           LineCase{"a\nb", {"a", "b"}, {2, 3}},
                                           LineCase{"a\nb\n", {"a", "b"}, {2, 4}},
                                           LineCase{"a\r\nb", {"a", "b"}, {3, 4}}, LineCase{"\r\n", {""}, {2}},
                                           LineCase{"a\r", {"a\r"}, {2}}, LineCase{"a\r\r\n", {"a\r"}, {4}},
                                           LineCase{"\n\n", {"", ""}, {1, 2}}));

TEST(Lines, BlankMeansSpacesAndTabsOnly) {
  LineIndex lines(" \t\n\x0c\n \r\nx\n");
  EXPECT_TRUE(lines.is_blank(0));
  EXPECT_FALSE(lines.is_blank(1));
  EXPECT_TRUE(lines.is_blank(2));
  EXPECT_FALSE(lines.is_blank(3));
  EXPECT_FALSE(lines.is_blank(4));
}

TEST(Protection, MarkerLinesAndExplicitRanges) {
  const std::string text = "a\nkeep tersewright:keep\nb @tersewright-keep\nc\n";
  EXPECT_EQ(build_protected_ranges(text, {{100, 200}}, {"tersewright:keep", "@tersewright-keep"}),
            (RangeSet{{2, 44}, {100, 200}}));
  EXPECT_EQ(build_protected_ranges(text, {}, {"", "zzz"}), RangeSet{});
  EXPECT_EQ(build_protected_ranges(text, {{3, 1}}, {}), RangeSet{});
  // The final line without a line feed is protected to the end of the text.
  EXPECT_EQ(build_protected_ranges("x\nMARK", {}, {"MARK"}), (RangeSet{{2, 6}}));
}

struct ApplyCase {
  const char* name;
  std::string text;
  EditList edits;
  std::string output;
  std::vector<KeptSegment> kept;
};

class Apply : public ::testing::TestWithParam<ApplyCase> {};

TEST_P(Apply, OutputAndKeptSegments) {
  const ApplyCase& c = GetParam();
  EditOutcome out = apply_edits(c.text, c.edits);
  EXPECT_EQ(out.text, c.output);
  EXPECT_EQ(out.kept, c.kept);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Apply,
    ::testing::Values(
        ApplyCase{"none", "abc", {}, "abc", {{0, 3, 0}}}, ApplyCase{"none_empty", "", {}, "", {{0, 0, 0}}},
        ApplyCase{"touching", "abcdefghij", {del(2, 5), del(5, 8)}, "abij", {{0, 2, 0}, {8, 10, 2}}},
        ApplyCase{"overlap_first_wins", "abcdefghij", {del(4, 8), del(2, 6)}, "abghij", {{0, 2, 0}, {6, 10, 2}}},
        ApplyCase{"empty_and_reversed_ignored", "abc", {Edit{"X", 1, 1, Rule::strip_comments}, del(2, 1)}, "abc",
                  {{0, 3, 0}}},
        ApplyCase{"past_end_dropped", "abcdef", {del(4, 9), del(1, 2)}, "acdef", {{0, 1, 0}, {2, 6, 1}}},
        ApplyCase{"inside_character_dropped", "a\xc3\xa9z", {del(1, 2), del(3, 4)}, "a\xc3\xa9", {{0, 3, 0}}},
        ApplyCase{"duplicate_dropped", "abcdef", {Edit{"X", 1, 3, Rule::strip_comments}, Edit{"Y", 1, 3, Rule::strip_comments}},
                  "aXdef", {{0, 1, 0}, {3, 6, 2}}},
        ApplyCase{"replacement_longer", "abc", {Edit{"12345", 0, 3, Rule::interface_only}}, "12345", {}},
        ApplyCase{"dropped_does_not_move_end", "abcdefgh", {del(1, 3), del(2, 20), del(3, 4)}, "aefgh",
                  {{0, 1, 0}, {4, 8, 1}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MapOffset, AcrossDeletedStretch) {
  EditOutcome out = apply_edits("abcdefgh", {del(2, 5)});
  ASSERT_EQ(out.text, "abfgh");
  EXPECT_EQ(map_offset(out.kept, 3), 2u);
  EXPECT_EQ(map_offset(out.kept, 6), 3u);
  EXPECT_EQ(map_offset(out.kept, 8), 5u);
  EXPECT_EQ(map_range(out.kept, {2, 5}), (ByteRange{2, 2}));
  EXPECT_EQ(map_offset({}, 7), 0u);
  EditOutcome lead = apply_edits("abcdef", {del(0, 2)});
  EXPECT_EQ(map_offset(lead.kept, 1), 0u);
  EXPECT_EQ(map_offset(lead.kept, 4), 2u);
}

TEST(Text, CountsAndWhiteSpace) {
  EXPECT_EQ(count_chars("h\xc3\xa9\xe2\x82\xac"), 3u);
  EXPECT_EQ(count_lines(""), 0u);
  EXPECT_EQ(count_lines("\n"), 1u);
  EXPECT_EQ(count_lines("a\nb"), 2u);
  EXPECT_EQ(count_lines("a\nb\n"), 2u);
  EXPECT_EQ(trim_white_space("\xc2\xa0 \t x y\xe3\x80\x80\xe2\x80\xa8\r\n"), "x y");
  EXPECT_EQ(trim_white_space("\xe2\x80\x8b" "a"), "\xe2\x80\x8b" "a");  // zero-width space is not White_Space
  EXPECT_EQ(ascii_lower("AbC\xc3\x89"), "abc\xc3\x89");
}

}  // namespace

namespace {

// The word-at-a-time counters against a byte-by-byte count, at every alignment and length.
TEST(Text, CountsMatchBytewiseAtEveryAlignment) {
  const std::string alphabet[] = {"a", "\n", "\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80", "\x7f", "\r", "\x80"};
  std::uint32_t seed = 12345;
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    int pieces = round < 2000 ? round % 23 : round * 7 % 3000;
    for (int i = 0; i < pieces; ++i) {
      seed = seed * 1103515245u + 12345u;
      text += alphabet[(seed >> 16) % 8];
    }
    std::uint64_t chars = 0, feeds = 0;
    for (unsigned char c : text) {
      chars += (c & 0xC0) != 0x80;
      feeds += c == '\n';
    }
    std::uint64_t lines = text.empty() ? 0 : feeds + (text.back() != '\n');
    EXPECT_EQ(count_chars(text), chars) << round;
    EXPECT_EQ(count_lines(text), lines) << round;
  }
}

}  // namespace

namespace {

// The whole-text marker search against the plain definition: a line is protected when one of the
// markers occurs inside its content.
RangeSet protected_by_definition(std::string_view text, const std::vector<std::string>& markers) {
  std::vector<ByteRange> ranges;
  LineIndex lines(text);
  for (std::size_t i = 0; i < lines.size(); ++i)
    for (const std::string& m : markers)
      if (!m.empty() && lines.content(i).find(m) != std::string_view::npos) {
        ranges.push_back({lines[i].start, lines[i].end});
        break;
      }
  return normalize_ranges(ranges);
}

TEST(Protection, MarkerSearchMatchesLineDefinition) {
  const std::vector<std::vector<std::string>> marker_sets = {
      {"ab"}, {"a\nb"}, {"b\r"}, {"\r\n"}, {"", "ba", "aa"}, {"a"}, {"\n"}, {"b\rb"}};
  const char alphabet[] = {'a', 'b', '\n', '\r', ' '};
  std::uint32_t seed = 99;
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    for (int i = 0; i < round % 40; ++i) {
      seed = seed * 1103515245u + 12345u;
      text += alphabet[(seed >> 16) % 5];
    }
    for (const auto& markers : marker_sets)
      ASSERT_EQ(build_protected_ranges(text, {}, markers), protected_by_definition(text, markers))
          << "round " << round << " marker " << markers[0];
  }
}

}  // namespace

// The profile catalogue, exact-name lookup and settings resolution.
#include <gtest/gtest.h>

#include "transform/profiles.hpp"

namespace {

using namespace tersewright::transform;

TEST(Profiles, CatalogueOrder) {
  EXPECT_EQ(profile_names(), (std::vector<std::string_view>{"safe", "code-review", "interface-only", "documentation",
                                                            "logs", "budgeted"}));
}

struct RowCase {
  const char* name;
  CommentsMode comments;
  bool docstrings;
  BlankLineMode blank_lines;
  bool interface_only;
  std::optional<std::uint64_t> log_repeats;
  bool dedupe;
  bool allow_lossy;
};

class ProfileRows : public ::testing::TestWithParam<RowCase> {};

TEST_P(ProfileRows, SettingsMatchCatalogue) {
  const RowCase& c = GetParam();
  auto found = lookup_profile(c.name);
  ASSERT_TRUE(found);
  const Profile& p = found.value();
  EXPECT_EQ(p.name, c.name);
  EXPECT_EQ(p.version, 1u);
  EXPECT_EQ(p.rules.comments, c.comments);
  EXPECT_EQ(p.rules.docstrings, c.docstrings);
  EXPECT_EQ(p.rules.blank_lines, c.blank_lines);
  EXPECT_TRUE(p.rules.trim_trailing_whitespace);
  EXPECT_EQ(p.rules.interface_only, c.interface_only);
  EXPECT_EQ(p.rules.collapse_log_repeats, c.log_repeats);
  EXPECT_EQ(p.rules.markdown_dedupe, c.dedupe);
  EXPECT_EQ(p.loss.allow_lossy, c.allow_lossy);
  EXPECT_TRUE(p.preservation.protect_imports);
  EXPECT_TRUE(p.preservation.protect_error_handling);
  EXPECT_TRUE(p.preservation.protected_ranges.empty());
  EXPECT_EQ(p.preservation.protected_line_markers, (std::vector<std::string>{"tersewright:keep", "@tersewright-keep"}));
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, ProfileRows,
    ::testing::Values(
        RowCase{"safe", CommentsMode::remove, false, BlankLineMode::collapse_to_one, false, std::nullopt, false, false},
        RowCase{"code-review", CommentsMode::keep, false, BlankLineMode::collapse_to_one, false, std::nullopt, false,
                false},
        RowCase{"interface-only", CommentsMode::keep, false, BlankLineMode::collapse_to_one, true, std::nullopt,
                false, true},
        RowCase{"documentation", CommentsMode::keep, false, BlankLineMode::collapse_to_one, false, std::nullopt, true,
                true},
        RowCase{"logs", CommentsMode::keep, false, BlankLineMode::collapse_to_one, false, 1, false, true},
        RowCase{"budgeted", CommentsMode::remove, true, BlankLineMode::remove_all, false, 1, true, true}));

TEST(Profiles, DescriptionsAreExact) {
  EXPECT_EQ(lookup_profile("code-review").value().description,
            "Preserve implementation logic and all comments/docstrings. Only whitespace-level normalisation is "
            "applied.");
  EXPECT_EQ(lookup_profile("budgeted").value().description,
            "Apply permitted transformations in a fixed deterministic order to reach a size/token budget. Escalates "
            "to lossy rules only when the caller allows it.");
}

class UnknownNames : public ::testing::TestWithParam<const char*> {};

TEST_P(UnknownNames, CarryTheExactName) {
  auto found = lookup_profile(GetParam());
  ASSERT_FALSE(found);
  EXPECT_EQ(found.error().name, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Table, UnknownNames, ::testing::Values("", "Safe", " safe", "safe ", "code_review", "SAFE"));

TEST(Resolve, RequestOverridesPreservationAndLoss) {
  Profile safe = lookup_profile("safe").value();
  FoldRequest plain;
  FoldSettings s = resolve_settings(plain, safe);
  EXPECT_FALSE(s.allow_lossy);
  EXPECT_EQ(s.preservation.protected_line_markers.size(), 2u);

  FoldRequest custom;
  custom.allow_lossy = true;
  custom.protected_line_markers = std::vector<std::string>{};
  custom.protected_ranges = std::vector<tersewright::edit::ByteRange>{{0, 5}};
  s = resolve_settings(custom, safe);
  EXPECT_TRUE(s.allow_lossy);
  EXPECT_TRUE(s.preservation.protected_line_markers.empty());
  EXPECT_EQ(s.preservation.protected_ranges.size(), 1u);
  EXPECT_EQ(s.profile_name, "safe");

  FoldRequest ranges_only;
  ranges_only.protected_ranges = std::vector<tersewright::edit::ByteRange>{{1, 2}};
  s = resolve_settings(ranges_only, lookup_profile("interface-only").value());
  EXPECT_TRUE(s.allow_lossy);
  EXPECT_EQ(s.preservation.protected_line_markers.size(), 2u);
}

}  // namespace

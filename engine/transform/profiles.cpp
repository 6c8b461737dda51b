#include "transform/profiles.hpp"

#include <array>

namespace tersewright::transform {

namespace {

struct CatalogueRow {
  std::string_view name;
  std::string_view description;
  RuleSettings rules;
  bool allow_lossy;
};

const std::array<CatalogueRow, 6>& catalogue() {
  static const std::array<CatalogueRow, 6> rows{{
      {"safe",
       "Conservative: remove comments, collapse blank-line runs, trim trailing whitespace. Executable statements, "
       "imports, conditionals and error handling are never removed. Docstrings are preserved.",
       RuleSettings{CommentsMode::remove, false, BlankLineMode::collapse_to_one, true, false, std::nullopt, false},
       false},
      {"code-review",
       "Preserve implementation logic and all comments/docstrings. Only whitespace-level normalisation is applied.",
       RuleSettings{CommentsMode::keep, false, BlankLineMode::collapse_to_one, true, false, std::nullopt, false},
       false},
      {"interface-only",
       "LOSSY: keep imports, declarations, signatures and docstrings; replace implementation bodies with valid "
       "placeholders. Not behaviour-preserving.",
       RuleSettings{CommentsMode::keep, false, BlankLineMode::collapse_to_one, true, true, std::nullopt, false},
       true},
      {"documentation",
       "LOSSY: reduce redundant Markdown/prose by collapsing blank lines, trimming trailing whitespace (preserving "
       "hard breaks and code fences) and removing adjacent duplicate lines. Headings, code blocks, links and lines "
       "containing normative keywords are preserved.",
       RuleSettings{CommentsMode::keep, false, BlankLineMode::collapse_to_one, true, false, std::nullopt, true},
       true},
      {"logs",
       "LOSSY: collapse consecutive duplicate log events, retaining the configured number of copies and emitting a "
       "marker with the collapsed count. Distinct events are never merged.",
       RuleSettings{CommentsMode::keep, false, BlankLineMode::collapse_to_one, true, false, 1, false},
       true},
      {"budgeted",
       "Apply permitted transformations in a fixed deterministic order to reach a size/token budget. Escalates to "
       "lossy rules only when the caller allows it.",
       RuleSettings{CommentsMode::remove, true, BlankLineMode::remove_all, true, false, 1, true},
       true},
  }};
  return rows;
}

}  // namespace

std::string_view comments_mode_name(CommentsMode mode) noexcept {
  return mode == CommentsMode::remove ? "remove" : "keep";
}

std::string_view blank_line_mode_name(BlankLineMode mode) noexcept {
  switch (mode) {
    case BlankLineMode::keep: return "keep";
    case BlankLineMode::collapse_to_one: return "collapse_to_one";
    case BlankLineMode::remove_all: return "remove_all";
  }
  return "keep";
}

const std::vector<std::string_view>& profile_names() {
  static const std::vector<std::string_view> names = [] {
    std::vector<std::string_view> out;
    for (const CatalogueRow& row : catalogue()) out.push_back(row.name);
    return out;
  }();
  return names;
}

Preservation default_preservation() {
  return Preservation{true, true, {}, {"tersewright:keep", "@tersewright-keep"}};
}

Result<Profile, UnknownProfile> lookup_profile(std::string_view name) {
  for (const CatalogueRow& row : catalogue()) {
    if (row.name == name)
      return Profile{std::string(row.name), 1, std::string(row.description), row.rules, default_preservation(),
                     LossPolicy{row.allow_lossy}};
  }
  return UnknownProfile{std::string(name)};
}

FoldSettings resolve_settings(const FoldRequest& request, const Profile& profile) {
  FoldSettings settings;
  settings.profile_name = profile.name;
  settings.profile_version = profile.version;
  settings.rules = profile.rules;
  settings.allow_lossy = request.allow_lossy.value_or(profile.loss.allow_lossy);
  settings.preservation = profile.preservation;
  if (request.protected_ranges) settings.preservation.protected_ranges = *request.protected_ranges;
  if (request.protected_line_markers) settings.preservation.protected_line_markers = *request.protected_line_markers;
  return settings;
}

}  // namespace tersewright::transform

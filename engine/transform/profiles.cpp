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
      {.name = "safe",
       .description = "Conservative: remove comments, collapse blank-line runs, trim trailing whitespace. Executable "
                      "statements, imports, conditionals and error handling are never removed. Docstrings are "
                      "preserved.",
       .rules = {.comments = CommentsMode::remove,
                 .docstrings = false,
                 .blank_lines = BlankLineMode::collapse_to_one,
                 .trim_trailing_whitespace = true,
                 .interface_only = false,
                 .collapse_log_repeats = std::nullopt,
                 .markdown_dedupe = false},
       .allow_lossy = false},
      {.name = "code-review",
       .description = "Preserve implementation logic and all comments/docstrings. Only whitespace-level "
                      "normalisation is applied.",
       .rules = {.comments = CommentsMode::keep,
                 .docstrings = false,
                 .blank_lines = BlankLineMode::collapse_to_one,
                 .trim_trailing_whitespace = true,
                 .interface_only = false,
                 .collapse_log_repeats = std::nullopt,
                 .markdown_dedupe = false},
       .allow_lossy = false},
      {.name = "interface-only",
       .description = "LOSSY: keep imports, declarations, signatures and docstrings; replace implementation "
                      "bodies with valid placeholders. Not behaviour-preserving.",
       .rules = {.comments = CommentsMode::keep,
                 .docstrings = false,
                 .blank_lines = BlankLineMode::collapse_to_one,
                 .trim_trailing_whitespace = true,
                 .interface_only = true,
                 .collapse_log_repeats = std::nullopt,
                 .markdown_dedupe = false},
       .allow_lossy = true},
      {.name = "documentation",
       .description = "LOSSY: reduce redundant Markdown/prose by collapsing blank lines, trimming trailing whitespace "
                      "(preserving hard breaks and code fences) and removing adjacent duplicate lines. Headings, code "
                      "blocks, links and lines containing normative keywords are preserved.",
       .rules = {.comments = CommentsMode::keep,
                 .docstrings = false,
                 .blank_lines = BlankLineMode::collapse_to_one,
                 .trim_trailing_whitespace = true,
                 .interface_only = false,
                 .collapse_log_repeats = std::nullopt,
                 .markdown_dedupe = true},
       .allow_lossy = true},
      {.name = "logs",
       .description = "LOSSY: collapse consecutive duplicate log events, retaining the configured number of copies and "
                      "emitting a marker with the collapsed count. Distinct events are never merged.",
       .rules = {.comments = CommentsMode::keep,
                 .docstrings = false,
                 .blank_lines = BlankLineMode::collapse_to_one,
                 .trim_trailing_whitespace = true,
                 .interface_only = false,
                 .collapse_log_repeats = 1,
                 .markdown_dedupe = false},
       .allow_lossy = true},
      {.name = "budgeted",
       .description = "Apply permitted transformations in a fixed deterministic order to reach a size/token budget. "
                      "Escalates to lossy rules only when the caller allows it.",
       .rules = {.comments = CommentsMode::remove,
                 .docstrings = true,
                 .blank_lines = BlankLineMode::remove_all,
                 .trim_trailing_whitespace = true,
                 .interface_only = false,
                 .collapse_log_repeats = 1,
                 .markdown_dedupe = true},
       .allow_lossy = true},
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
  return Preservation{.protect_imports = true,
                      .protect_error_handling = true,
                      .protected_ranges = {},
                      .protected_line_markers = {"tersewright:keep", "@tersewright-keep"}};
}

Result<Profile, UnknownProfile> lookup_profile(std::string_view name) {
  for (const CatalogueRow& row : catalogue()) {
    if (row.name == name)
      return Profile{.name = std::string(row.name),
                     .version = 1,
                     .description = std::string(row.description),
                     .rules = row.rules,
                     .preservation = default_preservation(),
                     .loss = LossPolicy{.allow_lossy = row.allow_lossy}};
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

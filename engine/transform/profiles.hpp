// The six built-in profiles and the resolution of a request into fold settings.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "edit/range.hpp"
#include "result.hpp"
#include "transform/errors.hpp"
#include "transform/request.hpp"

namespace tersewright::transform {

inline constexpr std::string_view engine_version = "0.1.0";
inline constexpr std::uint32_t profile_schema_version = 1;

enum class CommentsMode : std::uint8_t { remove = 0, keep = 1 };
enum class BlankLineMode : std::uint8_t { keep = 0, collapse_to_one = 1, remove_all = 2 };

std::string_view comments_mode_name(CommentsMode mode) noexcept;       // "remove" / "keep"
std::string_view blank_line_mode_name(BlankLineMode mode) noexcept;    // "keep", ...

struct RuleSettings {
  CommentsMode comments = CommentsMode::keep;
  bool docstrings = false;
  BlankLineMode blank_lines = BlankLineMode::collapse_to_one;
  bool trim_trailing_whitespace = true;
  bool interface_only = false;
  std::optional<std::uint64_t> collapse_log_repeats = std::nullopt;
  bool markdown_dedupe = false;
};

struct Preservation {
  bool protect_imports = true;
  bool protect_error_handling = true;
  std::vector<edit::ByteRange> protected_ranges;
  std::vector<std::string> protected_line_markers;
};

struct LossPolicy {
  bool allow_lossy = false;
};

struct Profile {
  std::string name;
  std::uint32_t version = 1;
  std::string description;
  RuleSettings rules;
  Preservation preservation;
  LossPolicy loss;
};

struct FoldSettings {
  std::string profile_name;
  std::uint32_t profile_version = 1;
  RuleSettings rules;
  bool allow_lossy = false;
  Preservation preservation;
};

const std::vector<std::string_view>& profile_names();
Preservation default_preservation();
Result<Profile, UnknownProfile> lookup_profile(std::string_view name);
// The profile must be the one the request names.
FoldSettings resolve_settings(const FoldRequest& request, const Profile& profile);

}  // namespace tersewright::transform

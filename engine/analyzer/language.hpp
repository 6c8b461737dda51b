// The kinds of content the engine recognises, their names, and detection from path and content.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "result.hpp"

namespace tersewright::analyzer {

enum class Language : std::uint8_t {
  python = 0,
  rust = 1,
  javascript = 2,
  typescript = 3,
  tsx = 4,
  go = 5,
  markdown = 6,
  log = 7,
  json = 8,
  text = 9,
  unknown = 10,
};

inline constexpr int language_count = 11;

// "python", "rust", ..., "unknown".
std::string_view language_id(Language language) noexcept;

// The six languages served by a syntax analyzer.
inline bool is_source_language(Language language) noexcept {
  return static_cast<std::uint8_t>(language) <= static_cast<std::uint8_t>(Language::go);
}

// Looks up the text after the last "." (the whole text when there is none) in the extension table.
std::optional<Language> language_from_extension(std::string_view text);

// How much of the content detection looks at; cut back to a character boundary when needed.
inline constexpr std::size_t detection_sample_bytes = 4096;

// Never fails: anything unrecognised is unknown. Reads at most 4096 bytes of the content.
Language detect_language(std::optional<std::string_view> path, std::string_view content);

struct UnknownLanguage {
  std::string message;  // "unknown language: " + the ASCII-lower-cased name
};

// Accepts the ids, their aliases, and anything the extension table accepts.
Result<Language, UnknownLanguage> parse_language_name(std::string_view name);

}  // namespace tersewright::analyzer

#include "analyzer/language.hpp"

#include <cstddef>
#include <utility>

#include "analyzer/json.hpp"
#include "analyzer/log_line.hpp"
#include "edit/text.hpp"

namespace tersewright::analyzer {

namespace {

using edit::trim_white_space;
using edit::trim_white_space_start;

using NameEntry = std::pair<std::string_view, Language>;

constexpr NameEntry extension_table[] = {
    {"py", Language::python},       {"pyi", Language::python},      {"pyw", Language::python},
    {"rs", Language::rust},         {"js", Language::javascript},   {"mjs", Language::javascript},
    {"cjs", Language::javascript},  {"jsx", Language::javascript},  {"ts", Language::typescript},
    {"mts", Language::typescript},  {"cts", Language::typescript},  {"tsx", Language::tsx},
    {"go", Language::go},           {"md", Language::markdown},     {"mdx", Language::markdown},
    {"markdown", Language::markdown}, {"log", Language::log},       {"json", Language::json},
    {"txt", Language::text},        {"rst", Language::text},        {"text", Language::text},
};

constexpr NameEntry alias_table[] = {
    {"python", Language::python},     {"py", Language::python},
    {"rust", Language::rust},         {"rs", Language::rust},
    {"javascript", Language::javascript}, {"js", Language::javascript},
    {"typescript", Language::typescript}, {"ts", Language::typescript},
    {"tsx", Language::tsx},
    {"go", Language::go},             {"golang", Language::go},
    {"markdown", Language::markdown}, {"md", Language::markdown},
    {"log", Language::log},           {"logs", Language::log},
    {"json", Language::json},
    {"text", Language::text},         {"txt", Language::text},
    {"unknown", Language::unknown},
};

constexpr std::size_t log_window_lines = 20;
constexpr std::size_t markdown_window_lines = 40;

char ascii_lower_char(char c) noexcept { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Compares text, ASCII-lower-cased, with a key that is already lower case; no copy is made.
bool equals_lowered(std::string_view text, std::string_view lower_key) noexcept {
  if (text.size() != lower_key.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (ascii_lower_char(text[i]) != lower_key[i]) return false;
  return true;
}

template <std::size_t N>
std::optional<Language> look_up(const NameEntry (&table)[N], std::string_view text) noexcept {
  if (text.empty()) return std::nullopt;
  for (const NameEntry& entry : table)
    if (equals_lowered(text, entry.first)) return entry.second;
  return std::nullopt;
}

// Yields the lines of a text: split at LF, a CR right before the LF dropped with it, a final
// stretch without LF kept, and no empty line after a final LF.
class LineReader {
 public:
  explicit LineReader(std::string_view text) noexcept : rest_(text) {}

  bool next(std::string_view& line) noexcept {
    if (rest_.empty()) return false;
    std::size_t feed = rest_.find('\n');
    if (feed == std::string_view::npos) {
      line = rest_;
      rest_ = {};
      return true;
    }
    line = rest_.substr(0, feed);
    if (line.ends_with('\r')) line.remove_suffix(1);
    rest_.remove_prefix(feed + 1);
    return true;
  }

 private:
  std::string_view rest_;
};

std::string_view detection_sample(std::string_view content) noexcept {
  return content.substr(0, edit::floor_char_boundary(content, detection_sample_bytes));
}

bool is_markup_head(std::string_view head) noexcept {
  return head.starts_with("<?xml") || head.starts_with("<!DOCTYPE");
}

bool looks_like_log(std::string_view sample) noexcept {
  LineReader lines(sample);
  std::string_view line;
  std::size_t non_blank = 0;
  std::size_t log_like = 0;
  for (std::size_t seen = 0; seen < log_window_lines && lines.next(line); ++seen) {
    if (trim_white_space(line).empty()) continue;
    ++non_blank;
    if (is_log_like_line(line)) ++log_like;
  }
  return non_blank > 0 && 2 * log_like >= non_blank;
}

bool is_markdown_heading(std::string_view stripped) noexcept {
  return stripped == "#" || stripped.starts_with("# ") || stripped.starts_with("##");
}

bool is_markdown_list_or_fence(std::string_view stripped) noexcept {
  return stripped.starts_with("- ") || stripped.starts_with("* ") || stripped.starts_with("```");
}

bool looks_like_markdown(std::string_view sample) noexcept {
  LineReader lines(sample);
  std::string_view line;
  bool heading = false;
  bool list_or_fence = false;
  for (std::size_t seen = 0; seen < markdown_window_lines && lines.next(line); ++seen) {
    std::string_view stripped = trim_white_space_start(line);
    if (stripped.empty()) continue;
    heading = heading || is_markdown_heading(stripped);
    list_or_fence = list_or_fence || is_markdown_list_or_fence(stripped);
    if (heading && list_or_fence) return true;
  }
  return false;
}

std::optional<Language> language_from_path(std::string_view path) noexcept {
  if (std::optional<Language> by_extension = language_from_extension(path)) return by_extension;
  std::size_t separator = path.find_last_of("/\\");
  std::string_view file_name = separator == std::string_view::npos ? path : path.substr(separator + 1);
  if (equals_lowered(file_name, "makefile") || equals_lowered(file_name, "dockerfile")) return Language::text;
  return std::nullopt;
}

}  // namespace

std::string_view language_id(Language language) noexcept {
  switch (language) {
    case Language::python: return "python";
    case Language::rust: return "rust";
    case Language::javascript: return "javascript";
    case Language::typescript: return "typescript";
    case Language::tsx: return "tsx";
    case Language::go: return "go";
    case Language::markdown: return "markdown";
    case Language::log: return "log";
    case Language::json: return "json";
    case Language::text: return "text";
    case Language::unknown: return "unknown";
  }
  return "unknown";
}

std::optional<Language> language_from_extension(std::string_view text) {
  std::size_t dot = text.rfind('.');
  std::string_view part = dot == std::string_view::npos ? text : text.substr(dot + 1);
  return look_up(extension_table, part);
}

Language detect_language(std::optional<std::string_view> path, std::string_view content) {
  if (path) {
    if (std::optional<Language> by_path = language_from_path(*path)) return *by_path;
  }
  std::string_view sample = detection_sample(content);
  std::string_view head = trim_white_space_start(sample);
  if (is_markup_head(head)) return Language::unknown;
  // The whole sample is validated, not the head: only JSON whitespace may surround the value.
  if (!head.empty() && (head[0] == '{' || head[0] == '[') && json::is_valid(sample)) return Language::json;
  if (looks_like_log(sample)) return Language::log;
  if (looks_like_markdown(sample)) return Language::markdown;
  return Language::unknown;
}

Result<Language, UnknownLanguage> parse_language_name(std::string_view name) {
  std::string lowered = edit::ascii_lower(name);
  if (std::optional<Language> alias = look_up(alias_table, lowered)) return *alias;
  if (std::optional<Language> by_extension = language_from_extension(lowered)) return *by_extension;
  return UnknownLanguage{"unknown language: " + lowered};
}

}  // namespace tersewright::analyzer

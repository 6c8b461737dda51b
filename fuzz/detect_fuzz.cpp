// Language detection, language names and the two log-line recognisers over arbitrary text. The
// recognisers are compared with reference versions written here from their documented steps;
// detection must look at no more than its sample, obey the path before the content, and only ever
// sniff the formats it can recognise from content.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "analyzer/json.hpp"
#include "analyzer/language.hpp"
#include "analyzer/log_line.hpp"
#include "fuzz_support.hpp"

namespace {

using namespace tersewright;
using analyzer::Language;

// Unicode White_Space, decoded from valid UTF-8.
bool is_white_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

char32_t decode(std::string_view s, std::size_t i, std::size_t n) {
  const auto b = [&](std::size_t k) { return static_cast<char32_t>(static_cast<unsigned char>(s[i + k])); };
  switch (n) {
    case 1: return b(0);
    case 2: return ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
    case 3: return ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
    default: return ((b(0) & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
  }
}

std::string_view trim_start(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const std::size_t n = fuzz::utf8_sequence_length(s, i);
    if (n == 0 || !is_white_space(decode(s, i, n))) break;
    i += n;
  }
  return s.substr(i);
}

std::string_view trim_end(std::string_view s) {
  while (!s.empty()) {
    std::size_t start = s.size() - 1;
    while (start > 0 && (static_cast<unsigned char>(s[start]) & 0xC0) == 0x80) --start;
    const std::size_t n = fuzz::utf8_sequence_length(s, start);
    if (n == 0 || start + n != s.size() || !is_white_space(decode(s, start, n))) break;
    s = s.substr(0, start);
  }
  return s;
}

std::string_view trim(std::string_view s) { return trim_end(trim_start(s)); }

bool letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool digit(char c) { return c >= '0' && c <= '9'; }

bool date_shape(std::string_view s) {
  return s.size() >= 19 && s[4] == '-' && s[7] == '-' && (s[10] == ' ' || s[10] == 'T');
}

std::size_t tag_length(std::string_view s) {
  if (s.empty() || s[0] != '[') return 0;
  const std::size_t close = s.find(']');
  if (close == std::string_view::npos || close == 1) return 0;
  for (std::size_t i = 1; i < close; ++i)
    if (!letter(s[i])) return 0;
  return close + 1;
}

bool reference_log_like(std::string_view line) {
  const std::string_view s = trim_start(line);
  if (date_shape(s)) return true;
  if (!s.empty() && s[0] == '[') return tag_length(s) != 0;
  for (std::string_view word : {"TRACE", "DEBUG", "INFO", "WARN", "ERROR", "FATAL", "CRITICAL"}) {
    if (s.substr(0, word.size()) != word) continue;
    if (s.size() == word.size()) return true;
    const char next = s[word.size()];
    if (next == ' ' || next == ':' || next == ']') return true;
  }
  return false;
}

std::string reference_key(std::string_view line) {
  std::string_view s = trim(line);
  if (date_shape(s) && s[13] == ':' && s[16] == ':') {
    std::size_t end = 19;
    if (end < s.size() && s[end] == '.') {
      ++end;
      while (end < s.size() && digit(s[end])) ++end;
    }
    if (end < s.size() && s[end] == 'Z') {
      ++end;
    } else if (end < s.size() && (s[end] == '+' || s[end] == '-')) {
      ++end;
      while (end < s.size() && (digit(s[end]) || s[end] == ':')) ++end;
    }
    // A cut inside a character is no timestamp (the documented choice left to the implementer).
    if (fuzz::is_char_boundary(s, end)) s = trim_start(s.substr(end));
  }
  if (const std::size_t tag = tag_length(s)) {
    s = trim_start(s.substr(tag));
  } else {
    for (std::string_view word : {"TRACE", "DEBUG", "INFO", "WARN", "WARNING", "ERROR", "FATAL", "CRITICAL"}) {
      if (s.substr(0, word.size()) != word) continue;
      const auto separator = [](char c) { return c == ' ' || c == '-' || c == ':' || c == ']'; };
      if (s.size() > word.size() && !separator(s[word.size()])) continue;
      std::size_t end = word.size();
      while (end < s.size() && separator(s[end])) ++end;
      s = trim_start(s.substr(end));
      break;
    }
  }
  return std::string(trim(s));
}

std::string ascii_lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::optional<Language> look_up(std::string_view lowered,
                                std::initializer_list<std::pair<std::string_view, Language>> table) {
  for (const auto& [key, language] : table)
    if (key == lowered) return language;
  return std::nullopt;
}

std::optional<Language> reference_extension(std::string_view text) {
  const std::size_t dot = text.rfind('.');
  const std::string_view ext = dot == std::string_view::npos ? text : text.substr(dot + 1);
  if (ext.empty()) return std::nullopt;
  return look_up(ascii_lower(ext),
                 {{"py", Language::python},     {"pyi", Language::python},   {"pyw", Language::python},
                  {"rs", Language::rust},       {"js", Language::javascript}, {"mjs", Language::javascript},
                  {"cjs", Language::javascript}, {"jsx", Language::javascript}, {"ts", Language::typescript},
                  {"mts", Language::typescript}, {"cts", Language::typescript}, {"tsx", Language::tsx},
                  {"go", Language::go},         {"md", Language::markdown},  {"mdx", Language::markdown},
                  {"markdown", Language::markdown}, {"log", Language::log},  {"json", Language::json},
                  {"txt", Language::text},      {"rst", Language::text},     {"text", Language::text}});
}

std::optional<Language> reference_name(std::string_view name) {
  const std::string lowered = ascii_lower(name);
  if (auto alias = look_up(lowered, {{"python", Language::python},
                                     {"py", Language::python},
                                     {"rust", Language::rust},
                                     {"rs", Language::rust},
                                     {"javascript", Language::javascript},
                                     {"js", Language::javascript},
                                     {"typescript", Language::typescript},
                                     {"ts", Language::typescript},
                                     {"tsx", Language::tsx},
                                     {"go", Language::go},
                                     {"golang", Language::go},
                                     {"markdown", Language::markdown},
                                     {"md", Language::markdown},
                                     {"log", Language::log},
                                     {"logs", Language::log},
                                     {"json", Language::json},
                                     {"text", Language::text},
                                     {"txt", Language::text},
                                     {"unknown", Language::unknown}}))
    return alias;
  return reference_extension(lowered);
}

std::string_view sample_of(std::string_view content) {
  if (content.size() <= analyzer::detection_sample_bytes) return content;
  std::size_t end = analyzer::detection_sample_bytes;
  while (!fuzz::is_char_boundary(content, end)) --end;
  return content.substr(0, end);
}

void check_name(std::string_view name) {
  const auto parsed = analyzer::parse_language_name(name);
  const std::optional<Language> expected = reference_name(name);
  if (expected) {
    FUZZ_CHECK(parsed.ok() && parsed.value() == *expected);
  } else {
    FUZZ_CHECK(!parsed.ok());
    FUZZ_CHECK(parsed.error().message == "unknown language: " + ascii_lower(name));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  std::optional<std::string> path;
  if (in.ConsumeBool()) path = fuzz::to_valid_utf8(in.ConsumeRandomLengthString(32));
  const std::string content = fuzz::to_valid_utf8(in.ConsumeRemainingBytesAsString());
  const std::optional<std::string_view> path_view = path ? std::optional<std::string_view>(*path) : std::nullopt;

  const Language detected = analyzer::detect_language(path_view, content);
  const std::string_view sample = sample_of(content);
  FUZZ_CHECK(analyzer::detect_language(path_view, sample) == detected);

  std::optional<Language> by_path;
  if (path) {
    by_path = reference_extension(*path);
    FUZZ_CHECK(analyzer::language_from_extension(*path) == by_path);
    if (!by_path) {
      const std::size_t cut = path->find_last_of("/\\");
      const std::string name = ascii_lower(cut == std::string::npos ? *path : path->substr(cut + 1));
      if (name == "makefile" || name == "dockerfile") by_path = Language::text;
    }
    check_name(*path);
  }
  if (by_path) {
    FUZZ_CHECK(detected == *by_path);
  } else {
    // Content alone never makes source code or plain text.
    FUZZ_CHECK(detected == Language::json || detected == Language::log || detected == Language::markdown ||
               detected == Language::unknown);
    FUZZ_CHECK(detected == analyzer::detect_language(std::nullopt, content));
    if (detected == Language::json) {
      const std::string_view head = trim_start(sample);
      FUZZ_CHECK(!head.empty() && (head[0] == '{' || head[0] == '['));
      FUZZ_CHECK(analyzer::json::is_valid(sample));
    }
  }

  std::size_t checked = 0;
  for (const fuzz::Line& line : fuzz::split_lines(content)) {
    if (++checked > 64) break;
    FUZZ_CHECK_MSG(analyzer::is_log_like_line(line.content) == reference_log_like(line.content),
                   std::string(line.content));
    const std::string key = analyzer::log_event_key(line.content);
    FUZZ_CHECK(fuzz::is_valid_utf8(key));
    FUZZ_CHECK_MSG(key == reference_key(line.content), std::string(line.content));
    if (line.content.size() <= 40) check_name(line.content);
  }
  return 0;
}

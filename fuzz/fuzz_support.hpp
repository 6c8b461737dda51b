// Helpers shared by the fuzz harnesses: invariant checks that abort with a message, UTF-8 repair and
// validation, and small reference versions of the text measures and line splitting. The references
// are written from the documented behaviour, independently of the engine's own code, so that a
// harness compares two implementations rather than one with itself.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace tersewright::fuzz {

[[noreturn]] inline void fail(const char* file, int line, const char* what, const std::string& detail) {
  std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, what);
  if (!detail.empty()) std::fprintf(stderr, "  %s\n", detail.c_str());
  std::abort();
}

#define FUZZ_CHECK(cond)                                                          \
  do {                                                                            \
    if (!(cond)) ::tersewright::fuzz::fail(__FILE__, __LINE__, #cond, std::string()); \
  } while (0)

#define FUZZ_CHECK_MSG(cond, detail)                                         \
  do {                                                                       \
    if (!(cond)) ::tersewright::fuzz::fail(__FILE__, __LINE__, #cond, (detail)); \
  } while (0)

// Length of the well-formed UTF-8 sequence at i, or 0 when the bytes there are not one
// (overlong forms, surrogates and values past U+10FFFF are refused).
inline std::size_t utf8_sequence_length(std::string_view s, std::size_t i) noexcept {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char b0 = byte(i);
  if (b0 < 0x80) return 1;
  std::size_t n = 0;
  unsigned char lo = 0x80, hi = 0xBF;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    n = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    n = 3;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    n = 4;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  if (byte(i + 1) < lo || byte(i + 1) > hi) return 0;
  for (std::size_t k = 2; k < n; ++k)
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  return n;
}

inline bool is_valid_utf8(std::string_view s) noexcept {
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = utf8_sequence_length(s, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

// Every byte that does not start a well-formed sequence becomes U+FFFD, so that any fuzzer input
// maps to a valid text instead of being thrown away.
inline std::string to_valid_utf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = utf8_sequence_length(s, i);
    if (n == 0) {
      out.append("\xEF\xBF\xBD");
      ++i;
    } else {
      out.append(s.substr(i, n));
      i += n;
    }
  }
  return out;
}

inline bool is_char_boundary(std::string_view s, std::size_t offset) noexcept {
  if (offset == 0 || offset == s.size()) return true;
  return offset < s.size() && (static_cast<unsigned char>(s[offset]) & 0xC0) != 0x80;
}

struct Measures {
  std::uint64_t bytes = 0, chars = 0, lines = 0;
};

inline Measures measure(std::string_view s) noexcept {
  Measures m;
  m.bytes = s.size();
  for (char c : s) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++m.chars;
    if (c == '\n') ++m.lines;
  }
  if (!s.empty() && s.back() != '\n') ++m.lines;
  return m;
}

// A line as the rules see it: split at LF only; the content drops the LF and one CR before it.
struct Line {
  std::size_t start = 0;
  std::string_view whole;
  std::string_view content;
};

inline std::vector<Line> split_lines(std::string_view s) {
  std::vector<Line> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\n') continue;
    std::size_t content_end = i;
    if (i > start && s[i - 1] == '\r') --content_end;
    lines.push_back(Line{start, s.substr(start, i + 1 - start), s.substr(start, content_end - start)});
    start = i + 1;
  }
  if (s.empty() || s.back() != '\n' || lines.empty())
    lines.push_back(Line{start, s.substr(start), s.substr(start)});
  return lines;
}

struct Span {
  std::uint64_t start = 0, end = 0;
};

// Empty and reversed spans dropped, the rest sorted and merged when they overlap or touch.
inline std::vector<Span> normalize(std::vector<Span> spans) {
  spans.erase(std::remove_if(spans.begin(), spans.end(), [](const Span& s) { return s.start >= s.end; }),
              spans.end());
  std::sort(spans.begin(), spans.end(),
            [](const Span& a, const Span& b) { return a.start != b.start ? a.start < b.start : a.end < b.end; });
  std::vector<Span> merged;
  for (const Span& s : spans) {
    if (!merged.empty() && s.start <= merged.back().end)
      merged.back().end = std::max(merged.back().end, s.end);
    else
      merged.push_back(s);
  }
  return merged;
}

// The first marker (non-empty) that occurs in the line's content, or nullptr.
inline const std::string* marker_in(std::string_view content, const std::vector<std::string>& markers) {
  for (const std::string& m : markers)
    if (!m.empty() && content.find(m) != std::string_view::npos) return &m;
  return nullptr;
}

// Whether `needles`, in order, appear among the whole lines of `text` as a subsequence. Greedy
// matching decides subsequence membership exactly.
inline bool lines_survive_in_order(const std::vector<std::string_view>& needles, std::string_view text) {
  std::size_t next = 0;
  for (const Line& line : split_lines(text)) {
    if (next == needles.size()) break;
    if (line.whole == needles[next]) ++next;
  }
  return next == needles.size();
}

// The text without the characters the whitespace rules may delete (space, tab, CR, LF).
inline std::string skeleton(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s)
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') out.push_back(c);
  return out;
}

}  // namespace tersewright::fuzz

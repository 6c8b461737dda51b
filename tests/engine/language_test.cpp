// Language ids, the extension and alias tables, and detection from path and content.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "analyzer/language.hpp"

namespace {

using tersewright::analyzer::detect_language;
using tersewright::analyzer::Language;
using tersewright::analyzer::language_count;
using tersewright::analyzer::language_from_extension;
using tersewright::analyzer::language_id;
using tersewright::analyzer::parse_language_name;

std::string repeat(std::string_view piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

TEST(LanguageId, EveryValueRoundTripsThroughItsId) {
  const char* ids[] = {"python", "rust", "javascript", "typescript", "tsx", "go",
                       "markdown", "log", "json", "text", "unknown"};
  static_assert(std::size(ids) == language_count);
  for (int i = 0; i < language_count; ++i) {
    auto language = static_cast<Language>(i);
    EXPECT_EQ(language_id(language), ids[i]);
    auto parsed = parse_language_name(ids[i]);
    ASSERT_TRUE(parsed.ok()) << ids[i];
    EXPECT_EQ(parsed.value(), language);
  }
}

struct ExtensionCase {
  const char* text;
  std::optional<Language> language;
};

class ExtensionLookup : public ::testing::TestWithParam<ExtensionCase> {};

TEST_P(ExtensionLookup, UsesTheTextAfterTheLastDot) {
  EXPECT_EQ(language_from_extension(GetParam().text), GetParam().language) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ExtensionLookup,
    ::testing::Values(ExtensionCase{"PY", Language::python}, ExtensionCase{"main.rs", Language::rust},
                      ExtensionCase{"a.b.Cts", Language::typescript}, ExtensionCase{".json", Language::json},
                      ExtensionCase{"go", Language::go}, ExtensionCase{"x.Markdown", Language::markdown},
                      ExtensionCase{"src/go", std::nullopt}, ExtensionCase{"dir.go/file", std::nullopt},
                      ExtensionCase{"file.", std::nullopt}, ExtensionCase{"", std::nullopt},
                      ExtensionCase{"archive.tar.gz", std::nullopt}, ExtensionCase{"golang", std::nullopt},
                      ExtensionCase{"makefile", std::nullopt}, ExtensionCase{"X.PyW", Language::python}));

struct NameCase {
  const char* name;
  std::optional<Language> language;  // nothing: fails with the message
  const char* message;
};

class LanguageName : public ::testing::TestWithParam<NameCase> {};

TEST_P(LanguageName, ParsesAliasesAndExtensions) {
  const NameCase& c = GetParam();
  auto parsed = parse_language_name(c.name);
  if (c.language) {
    ASSERT_TRUE(parsed.ok()) << c.name;
    EXPECT_EQ(parsed.value(), *c.language);
  } else {
    ASSERT_FALSE(parsed.ok()) << c.name;
    EXPECT_EQ(parsed.error().message, c.message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, LanguageName,
    ::testing::Values(
        NameCase{"Golang", Language::go, ""}, NameCase{"MJS", Language::javascript, ""},
        NameCase{"LOGS", Language::log, ""}, NameCase{"Txt", Language::text, ""},
        NameCase{"pyi", Language::python, ""}, NameCase{"jsx", Language::javascript, ""},
        NameCase{"mdx", Language::markdown, ""}, NameCase{"rst", Language::text, ""},
        NameCase{"main.rs", Language::rust, ""}, NameCase{"src/App.TSX", Language::tsx, ""},
        NameCase{"COBOL", std::nullopt, "unknown language: cobol"},
        NameCase{"", std::nullopt, "unknown language: "},
        NameCase{" Python", std::nullopt, "unknown language:  python"},
        NameCase{"Makefile", std::nullopt, "unknown language: makefile"},
        NameCase{"Archive.TAR.gz", std::nullopt, "unknown language: archive.tar.gz"},
        NameCase{"\xC3\x89" "COLE", std::nullopt, "unknown language: \xC3\x89" "cole"}));

struct DetectCase {
  const char* label;
  std::optional<std::string> path;
  std::string content;
  Language language;
};

void PrintTo(const DetectCase& c, std::ostream* os) { *os << c.label; }

class Detection : public ::testing::TestWithParam<DetectCase> {};

TEST_P(Detection, DecidesByPathThenContent) {
  const DetectCase& c = GetParam();
  std::optional<std::string_view> path;
  if (c.path) path = *c.path;
  EXPECT_EQ(language_id(detect_language(path, c.content)), language_id(c.language));
}

const std::string markdown_pair = "# Title\n- item\n";
const std::string log_pair = "[INFO] a\ntext\n";

INSTANTIATE_TEST_SUITE_P(
    ByPath, Detection,
    ::testing::Values(
        DetectCase{"upper-case extension", "src/App.TSX", "", Language::tsx},
        DetectCase{"mjs", "lib/mod.mjs", "", Language::javascript},
        DetectCase{"markdown extension", "notes.markdown", "", Language::markdown},
        DetectCase{"rst", "README.rst", log_pair, Language::text},
        DetectCase{"json whatever the content", "data.json", "not json", Language::json},
        DetectCase{"Makefile", "Makefile", markdown_pair, Language::text},
        DetectCase{"upper-case Dockerfile below a slash", "build/DOCKERFILE", "", Language::text},
        DetectCase{"Dockerfile below backslashes", "C:\\work\\Dockerfile", "", Language::text},
        DetectCase{"Makefile below a dotted directory", "v1.2/Makefile", "", Language::text},
        DetectCase{"Dockerfile.dev leaves it to the content", "Dockerfile.dev", log_pair, Language::log},
        DetectCase{"Dockerfile.dev with no content", "Dockerfile.dev", "", Language::unknown},
        DetectCase{"trailing slash has no file name", "src/Makefile/", "", Language::unknown},
        DetectCase{"dotless path looked up whole", "go", "", Language::go},
        DetectCase{"directory then go", "src/go", "", Language::unknown},
        DetectCase{"dot in a directory", "pkg.go/main", markdown_pair, Language::markdown},
        DetectCase{"tar.gz", "archive.tar.gz", "", Language::unknown},
        DetectCase{"empty path", "", "", Language::unknown}));

INSTANTIATE_TEST_SUITE_P(
    ByContent, Detection,
    ::testing::Values(
        DetectCase{"empty", std::nullopt, "", Language::unknown},
        DetectCase{"only blank lines", std::nullopt, "\n \t\n\xE3\x80\x80\n", Language::unknown},
        DetectCase{"small object", std::nullopt, "{\"a\": [1, 2]}", Language::json},
        DetectCase{"object between blank lines", std::nullopt, "\n\n  {\"a\": 1}\n\n", Language::json},
        DetectCase{"truncated array", std::nullopt, "[1, 2", Language::unknown},
        DetectCase{"trailing text", std::nullopt, "{} x", Language::unknown},
        DetectCase{"non-JSON space before the value", std::nullopt, "\xC2\xA0{}", Language::unknown},
        DetectCase{"too deep", std::nullopt, repeat("[", 128) + repeat("]", 128), Language::unknown},
        DetectCase{"JSON of exactly the sample", std::nullopt, "[" + repeat("1,", 2046) + "10]", Language::json},
        DetectCase{"JSON one byte longer", std::nullopt, "[" + repeat("1,", 2046) + "100]", Language::unknown},
        DetectCase{"JSON of 5000 bytes", std::nullopt, "[" + repeat("1,", 2498) + "10]", Language::unknown},
        DetectCase{"xml before log lines", std::nullopt, "  <?xml version=\"1.0\"?>\nINFO a\nINFO b", Language::unknown},
        DetectCase{"DOCTYPE", std::nullopt, "<!DOCTYPE html>\nINFO a\nINFO b", Language::unknown},
        DetectCase{"lower-case doctype goes on", std::nullopt, "<!doctype html>\nINFO x\n", Language::log},
        DetectCase{"two of three", std::nullopt,
                   "2024-01-01 10:00:00 start\nplain words\n2024-01-01T10:00:01 stop", Language::log},
        DetectCase{"exactly half", std::nullopt, log_pair, Language::log},
        DetectCase{"below half", std::nullopt, log_pair + "more", Language::unknown},
        DetectCase{"empty tag", std::nullopt, "[] x\ntext", Language::unknown},
        DetectCase{"WARNING is no level", std::nullopt, "WARNING: disk", Language::unknown},
        DetectCase{"WARN is", std::nullopt, "WARN: disk", Language::log},
        DetectCase{"Unicode blank lines do not count", std::nullopt,
                   "[INFO] a\n\xE3\x80\x80\n\xC2\xA0\nplain", Language::log},
        DetectCase{"CR before LF dropped", std::nullopt, "INFO\r\nplain\r\n", Language::log},
        DetectCase{"lone CR kept", std::nullopt, "INFO\rplain", Language::unknown},
        DetectCase{"log beats markdown", std::nullopt, markdown_pair + "INFO a\nINFO b", Language::log},
        DetectCase{"heading then list", std::nullopt, markdown_pair, Language::markdown},
        DetectCase{"list then heading", std::nullopt, "- item\ntext\n# Title", Language::markdown},
        DetectCase{"bare hash and star list", std::nullopt, "#\n* x", Language::markdown},
        DetectCase{"indented heading and fence", std::nullopt, "\xC2\xA0 ## Sub\n\t```\ncode", Language::markdown},
        DetectCase{"heading alone", std::nullopt, "# Title", Language::unknown},
        DetectCase{"shebang is no heading", std::nullopt, "#!/bin/sh\n- x", Language::unknown},
        DetectCase{"hash without space", std::nullopt, "#Title\n- x", Language::unknown},
        DetectCase{"dash without space", std::nullopt, "# Title\n-item\n*x", Language::unknown}));

// Blank lines count towards the 20-line log window and the 40-line Markdown window.
INSTANTIATE_TEST_SUITE_P(
    Windows, Detection,
    ::testing::Values(
        DetectCase{"log line 1, plain lines 20 and 21", std::nullopt,
                   "INFO x\n" + repeat("\n", 18) + "plain\nplain\n", Language::log},
        DetectCase{"plain line 1, log line 20", std::nullopt, "plain\n" + repeat("\n", 18) + "INFO x\n", Language::log},
        DetectCase{"plain line 1, log line 21", std::nullopt, "plain\n" + repeat("\n", 19) + "INFO x\n",
                   Language::unknown},
        DetectCase{"list on line 40", std::nullopt, "# T\n" + repeat("text\n", 38) + "- x", Language::markdown},
        DetectCase{"list on line 41", std::nullopt, "# T\n" + repeat("text\n", 39) + "- x", Language::unknown}));

// Only the first 4096 bytes are read, cut back to a character boundary: what lies beyond is never
// seen, and a character straddling byte 4096 is left out whole.
INSTANTIATE_TEST_SUITE_P(
    Sample, Detection,
    ::testing::Values(
        DetectCase{"two-byte character straddling", std::nullopt, "{}" + repeat(" ", 4093) + "\xC3\xA9", Language::json},
        DetectCase{"three-byte character straddling", std::nullopt, "{}" + repeat(" ", 4092) + "\xE2\x82\xAC",
                   Language::json},
        DetectCase{"character ending at the limit", std::nullopt, "{}" + repeat(" ", 4092) + "\xC3\xA9", Language::unknown},
        DetectCase{"log lines past the sample", std::nullopt, "plain\n" + repeat(" ", 4090) + "\nINFO a\nINFO b",
                   Language::unknown}));

}  // namespace

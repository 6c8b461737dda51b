# Hostile inputs: huge and deeply nested texts and odd characters. Each must give a result; none may
# crash, hang or corrupt.
#
# The largest inputs (200 MB of text, one 50 MB line, 10,000 nested Python blocks: 50 MB of indentation)
# take about 25 s together and peak at about 1.2 GB of memory. They run in every test run except under
# the sanitizers, where instrumented allocation would triple both; TERSEWRIGHT_HOSTILE_LARGE=0 skips them.

import os

import pytest

import tersewright
from conftest import LANGUAGES, PROFILES, measured, measures

DEPTH = 1_000_000
large = pytest.mark.skipif(
    os.environ.get("TERSEWRIGHT_HOSTILE_LARGE") == "0" or os.environ.get("TERSEWRIGHT_SANITIZED") == "1",
    reason="large inputs are skipped under the sanitizers and with TERSEWRIGHT_HOSTILE_LARGE=0")


def same(actual, expected):
    """Compares texts of many megabytes; a mismatch names its first differing offset instead of
    letting the assertion rewriter diff the whole texts, which takes minutes."""
    if actual == expected:
        return True
    chunk = 1 << 16
    start = next((i for i in range(0, max(len(actual), len(expected)), chunk)
                  if actual[i:i + chunk] != expected[i:i + chunk]))
    at = next((start + i for i, (a, b) in enumerate(zip(actual[start:start + chunk], expected[start:start + chunk]))
               if a != b), min(len(actual), len(expected)))
    raise AssertionError(f"texts differ at offset {at}: {actual[at:at + 40]!r} != {expected[at:at + 40]!r}"
                         f" (lengths {len(actual)} and {len(expected)})")


def nested_blocks(depth):
    """A function whose body nests `depth` if-blocks, each indented one space deeper."""
    return "def f():\n" + "".join(" " * (i + 1) + "if x:\n" for i in range(depth)) + " " * (depth + 1) + "pass\n"


# (language, profile, content, parse status, output or None for unchanged). Walks must not exhaust the
# stack. tree-sitter-python keeps its indentation stack in a fixed-size serialised scanner state of
# about 500 levels: deeper blocks cannot parse and take the unchanged fallback.
@pytest.mark.parametrize("language, profile, content, status, output", [
    ("javascript", "safe", "x = " + "[" * DEPTH + "]" * DEPTH + ";\n", "parsed", ...),
    ("javascript", "safe", "x = " + "[" * DEPTH + ";\n", "parse_failed", None),
    ("python", "safe", "x = " + "(" * DEPTH + ")" * DEPTH + "\n", "parsed", ...),
    ("python", "safe", "x = " + "[" * DEPTH + "\n", "parse_failed", None),
    ("json", "safe", "[" * DEPTH + "]" * DEPTH, "fallback", None),
    ("json", "safe", "{\"a\":" * DEPTH + "1" + "}" * DEPTH, "fallback", None),
    ("python", "interface-only", nested_blocks(500), "parsed",
     "def f():\n ...  # [tersewright: implementation omitted]\n"),
    ("python", "interface-only", nested_blocks(1000), "parse_failed", None),
    pytest.param("python", "interface-only", nested_blocks(10_000), "parse_failed", None, marks=large),
], ids=lambda value: str(value)[:12])  # fmt: skip
def test_deep_nesting(language, profile, content, status, output):
    result = tersewright.fold(content, profile, language=language)
    assert (result.report.parse_status, measured(result.report)) == (status, measures(result.output))
    if output is not ...:
        assert same(result.output, content if output is None else output)
    if language == "json":  # invalid JSON: whitespace rules only, and the warning
        assert [w["code"] for w in result.report.to_dict()["warnings"]] == ["json_invalid"]
        assert tersewright.detect_language(content) == "unknown"  # detection only samples the start


@large
def test_two_hundred_megabytes_of_text():
    line = "word " * 15 + "  \n\n\n"
    content = line * (200 * 1024 * 1024 // len(line))
    result = tersewright.fold(content, "safe", language="text")
    assert same(result.output, ("word " * 14 + "word\n\n") * (200 * 1024 * 1024 // len(line)))
    assert result.report.input_bytes == len(content)


@large
@pytest.mark.parametrize("language, content", [("text", "{}   "), ("python", "x = '{}'   "), ("json", '"{}"   ')])
def test_a_single_fifty_megabyte_line(language, content):
    content = content.format("a" * (50 * 1024 * 1024))
    result = tersewright.fold(content, "safe", language=language)
    assert same(result.output, content.rstrip(" ")) and result.report.output_lines == 1


ODD = ["a\x00b\n\x00\n  \x00  \n", "a\rb\r\r\n  \r  \n\r", "a\u2028b\u2029c\u0085d\x0be\x0cf\u2028\n \u2028 \n",
       "\u2028\u2029\u0085\x0b\x0c\r"]  # fmt: skip


@pytest.mark.parametrize("odd", ODD, ids=["nul", "lone carriage returns", "line separators", "only separators"])
@pytest.mark.parametrize("language", LANGUAGES + [None])
@pytest.mark.parametrize("profile", PROFILES)
def test_odd_characters_fold_and_survive(odd, language, profile):
    marked = "keep \x00\r\u2028 tersewright:keep  \n"
    content = odd + marked + odd
    result = tersewright.fold(content, profile, language=language)
    assert measured(result.report) == measures(result.output)
    assert (marked in result.output) or (result.report.detected_language == "json")
    # Only line feeds end lines: whitespace normalisation never removes or adds another separator.
    if profile == "code-review" and result.report.detected_language != "json":
        for separator in "\x00\r\u2028\u2029\u0085\x0b\x0c":
            assert result.output.count(separator) == content.count(separator), repr(separator)

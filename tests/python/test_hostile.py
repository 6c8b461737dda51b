"""Hostile inputs: huge and deeply nested texts, odd characters, misbehaving tokenizers and files that
cannot be read. Each must give a result or one documented exception; none may crash, hang or corrupt.

The largest inputs (200 MB of text, one 50 MB line, 10,000 nested Python blocks: 50 MB of indentation)
take about 25 s together and peak at about 1.2 GB of memory. They run in every test run except under
the sanitizers, where instrumented allocation would triple both; TERSEWRIGHT_HOSTILE_LARGE=0 skips them.
"""

import collections.abc
import os
import subprocess
import sys
import tempfile

import pytest

import tersewright

PROFILES = ["safe", "code-review", "interface-only", "documentation", "logs", "budgeted"]
LANGUAGES = ["python", "rust", "javascript", "typescript", "tsx", "go", "markdown", "log", "json", "text", "unknown"]
MAX_COUNT = 2**64 - 1

large = pytest.mark.skipif(
    os.environ.get("TERSEWRIGHT_HOSTILE_LARGE") == "0" or os.environ.get("TERSEWRIGHT_SANITIZED") == "1",
    reason="large inputs are skipped under the sanitizers and with TERSEWRIGHT_HOSTILE_LARGE=0")


def measures(report):
    return report.output_bytes, report.output_chars, report.output_lines


def expected_measures(text):
    return len(text.encode()), len(text), text.count("\n") + (1 if text and not text.endswith("\n") else 0)


# --- deep nesting ---------------------------------------------------------------------------------

DEPTH = 1_000_000

NESTED = [
    # (language, content, expected parse status)
    ("javascript", "x = " + "[" * DEPTH + "]" * DEPTH + ";\n", "parsed"),
    ("javascript", "x = " + "[" * DEPTH + ";\n", "parse_failed"),
    ("python", "x = " + "(" * DEPTH + ")" * DEPTH + "\n", "parsed"),
    ("python", "x = " + "[" * DEPTH + "\n", "parse_failed"),
    ("json", "[" * DEPTH + "]" * DEPTH, "fallback"),
    ("json", "{\"a\":" * DEPTH + "1" + "}" * DEPTH, "fallback"),
]


@pytest.mark.parametrize("language,content,status", NESTED, ids=lambda v: v if len(str(v)) < 20 else "")
def test_a_million_nested_brackets_fold_without_exhausting_the_stack(language, content, status):
    result = tersewright.fold(content, "safe", language=language)
    report = result.report
    assert report.parse_status == status
    assert measures(report) == expected_measures(result.output)
    if status != "parsed":
        # Nothing may be changed in what cannot be parsed; invalid JSON gets whitespace only.
        assert result.output == content
    if language == "json":
        assert [w["code"] for w in report.to_dict()["warnings"]] == ["json_invalid"]


def test_deep_brackets_are_still_detected_from_a_sample_only():
    assert tersewright.detect_language("[" * DEPTH + "]" * DEPTH) == "unknown"


def nested_blocks(depth):
    """A function whose body nests `depth` if-blocks, each indented one space deeper."""
    lines = [" " * (i + 1) + "if x:\n" for i in range(depth)] + [" " * (depth + 1) + "pass\n"]
    return "def f():\n" + "".join(lines)


# tree-sitter-python keeps the indentation stack in its fixed-size serialised scanner state, which
# holds about 500 levels: deeper blocks cannot parse and take the unchanged fallback.
@pytest.mark.parametrize("depth,status", [(500, "parsed"), (1000, "parse_failed")])
def test_nested_python_blocks(depth, status):
    content = nested_blocks(depth)
    result = tersewright.fold(content, "interface-only", language="python")
    assert result.report.parse_status == status
    if status == "parsed":
        assert result.output == "def f():\n ...  # [tersewright: implementation omitted]\n"
    else:
        assert result.output == content


@large
def test_ten_thousand_nested_python_blocks():
    content = nested_blocks(10_000)
    result = tersewright.fold(content, "interface-only", language="python")
    assert (result.report.parse_status, result.output) == ("parse_failed", content)


# A short text on which the TypeScript grammar's error recovery once ran for minutes and took
# gigabytes; the parse is now cut off after a bounded amount of work.
RUNAWAY = ("pa2024-\ufffd\ufffd" + "\x00" * 7 + "{0202221://Y\ufffd\n]]]G222\ufffd\ufffdte://\ufffdite"
           + "\ufffd" * 4 + ".\ufffd]]]]]4-01]-8")


@pytest.mark.parametrize("language", ["typescript", "tsx"])
def test_runaway_error_recovery_ends_in_the_unchanged_fallback(language):
    result = tersewright.fold(RUNAWAY, "interface-only", language=language)
    assert (result.report.parse_status, result.output) == ("parse_failed", RUNAWAY)


# --- large inputs ---------------------------------------------------------------------------------

@large
def test_two_hundred_megabytes_of_text():
    line = "word " * 15 + "  \n\n\n"
    content = line * (200 * 1024 * 1024 // len(line))
    result = tersewright.fold(content, "safe", language="text")
    assert result.output == ("word " * 14 + "word\n\n") * (200 * 1024 * 1024 // len(line))
    assert result.report.input_bytes == len(content)


@large
@pytest.mark.parametrize("language", ["text", "python", "json"])
def test_a_single_fifty_megabyte_line(language):
    body = "a" * (50 * 1024 * 1024)
    content = {"text": body + "   ", "python": "x = '" + body + "'   ", "json": '"' + body + '"   '}[language]
    result = tersewright.fold(content, "safe", language=language)
    assert result.output == content.rstrip(" ")
    assert result.report.output_lines == 1


# --- odd characters -------------------------------------------------------------------------------

ODD = {
    "nul": "a\x00b\n\x00\n  \x00  \n",
    "lone carriage returns": "a\rb\r\r\n  \r  \n\r",
    "line separators": "a\u2028b\u2029c\u0085d\x0be\x0cf\u2028\n \u2028 \n",
    "only separators": "\u2028\u2029\u0085\x0b\x0c\r",
}


@pytest.mark.parametrize("name", ODD)
@pytest.mark.parametrize("language", LANGUAGES + [None])
@pytest.mark.parametrize("profile", PROFILES)
def test_odd_characters_fold_and_survive(name, language, profile):
    marked = "keep \x00\r\u2028 tersewright:keep  \n"
    content = ODD[name] + marked + ODD[name]
    result = tersewright.fold(content, profile, language=language)
    assert measures(result.report) == expected_measures(result.output)
    assert (marked in result.output) or (result.report.detected_language == "json")
    # Only line feeds end lines: whitespace normalisation never removes or adds another separator.
    if profile == "code-review" and result.report.detected_language != "json":
        for separator in "\x00\r\u2028\u2029\u0085\x0b\x0c":
            assert result.output.count(separator) == content.count(separator), repr(separator)


# --- misbehaving tokenizers -----------------------------------------------------------------------

class Tokenizer:
    name = "test"

    def __init__(self, count):
        self._count = count
        self.calls = 0

    def count(self, text):
        self.calls += 1
        return self._count(text)


def raise_value_error(text):
    raise ValueError("no")


def raise_keyboard_interrupt(text):
    raise KeyboardInterrupt


def raise_recursion(text):
    return raise_recursion(text)


class BadIndex:
    def __index__(self):
        raise ValueError("no")


class Seven(int):
    pass


def reenter(text):
    """Folds the text it is asked to count, through both entry points, and counts the result."""
    nested = tersewright.FoldRequest(text, "safe", language="text", budget_tokens=1, tokenizer=Tokenizer(len))
    folded = tersewright.Engine().fold_request(nested)
    assert folded.report.to_dict()["budget"]["input"] == len(text)
    return len(tersewright.fold(text, "safe", language="text").output)


BAD_COUNTS = [
    ("raises", raise_value_error, MAX_COUNT),
    ("raises a base exception", raise_keyboard_interrupt, MAX_COUNT),
    ("recurses without end", raise_recursion, MAX_COUNT),
    ("negative", lambda t: -1, MAX_COUNT),
    ("float", lambda t: 1.5, MAX_COUNT),
    ("str", lambda t: "3", MAX_COUNT),
    ("None", lambda t: None, MAX_COUNT),
    ("too large", lambda t: 2**64, MAX_COUNT),
    ("huge", lambda t: 10**100, MAX_COUNT),
    ("object", lambda t: object(), MAX_COUNT),
    ("index raises", lambda t: BadIndex(), MAX_COUNT),
    ("int subclass", lambda t: Seven(7), 7),
    ("bool", lambda t: True, 1),
    ("largest", lambda t: MAX_COUNT, MAX_COUNT),
    ("re-enters the engine", reenter, 5),
]


@pytest.mark.parametrize("name,count,expected", BAD_COUNTS, ids=[c[0] for c in BAD_COUNTS])
def test_a_misbehaving_tokenizer_never_reaches_the_caller(name, count, expected):
    content = "a  \n\n\nb\n"
    tokenizer = Tokenizer(count)
    request = tersewright.FoldRequest(content, budget_tokens=5, tokenizer=tokenizer)
    report = tersewright.Engine().fold_request(request).report
    budget = report.to_dict()["budget"]
    shown = float(expected) if expected >= 2**63 else expected
    assert (budget["input"], budget["output"]) == (shown, shown)
    assert budget["met"] == (expected <= 5)
    assert tokenizer.calls == 2
    assert request.content == content


class Assigning:
    """Writes to the request being folded from inside count: refused, and the request stays."""

    name = "assigning"

    def __init__(self):
        self.request = None
        self.errors = []

    def count(self, text):
        for field, value in [("content", "x"), ("profile", "logs"), ("budget_tokens", 1), ("language", "json"),
                             ("protected_line_markers", ["x"])]:
            try:
                setattr(self.request, field, value)
            except RuntimeError as error:
                self.errors.append((field, str(error)))
        return 3


def test_a_tokenizer_cannot_change_the_request_being_folded():
    tokenizer = Assigning()
    request = tersewright.FoldRequest("a  \n", language="text", budget_tokens=5, tokenizer=tokenizer)
    tokenizer.request = request
    result = tersewright.Engine().fold_request(request)
    assert result.output == "a\n"
    assert tokenizer.errors == [(f, "Already borrowed") for f in
                                ["content", "profile", "budget_tokens", "language", "protected_line_markers"]] * 2
    assert (request.content, request.profile, request.budget_tokens, request.language) == ("a  \n", "safe", 5, "text")
    # After the fold the request is free again.
    request.content = "b"
    assert request.content == "b"


def test_a_tokenizer_that_drops_its_own_count_method():
    class Vanishing:
        def count(self, text):
            del Vanishing.count
            return 2

    request = tersewright.FoldRequest("abc", budget_tokens=5, tokenizer=Vanishing())
    budget = tersewright.Engine().fold_request(request).report.to_dict()["budget"]
    assert (budget["input"], budget["output"]) == (2, float(MAX_COUNT))


def test_a_tokenizer_whose_name_raises_is_caller_supplied():
    class Nameless:
        @property
        def name(self):
            raise KeyboardInterrupt

        def count(self, text):
            return 1

    budget = tersewright.Engine().fold_request(
        tersewright.FoldRequest("abc", budget_tokens=1, tokenizer=Nameless())).report.to_dict()["budget"]
    assert (budget["tokenizer"], budget["met"]) == ("caller-supplied", True)


# --- sequences that lie about themselves ----------------------------------------------------------

class Lying(collections.abc.Sequence):
    """Reports a length it does not have (or fails to report one); only iteration tells the truth."""

    def __init__(self, items, length):
        self.items, self.length = items, length

    def __len__(self):
        if isinstance(self.length, Exception):
            raise self.length
        return self.length

    def __getitem__(self, index):
        return self.items[index]

    def __iter__(self):
        return iter(self.items)


@pytest.mark.parametrize("length", [0, 10**18, sys.maxsize, OverflowError("too long")], ids=str)
@pytest.mark.parametrize("keyword,items,protected", [
    ("protected_ranges", [(0, 2), (5, 7)], 4),
    ("protected_line_markers", ["k"], 7),
])
def test_a_sequence_length_is_only_a_hint(length, keyword, items, protected):
    result = tersewright.fold("ab k  \nxy  \n", language="text", **{keyword: Lying(items, length)})
    assert result.report.protected_bytes == protected


# --- files that cannot be read --------------------------------------------------------------------

def test_fold_file_on_a_directory(tmp_path):
    with pytest.raises(OSError) as info:
        tersewright.fold_file(str(tmp_path))
    assert str(info.value) == f"failed to read {tmp_path}: Is a directory (os error 21)"


def test_fold_file_on_dev_null_is_an_empty_text():
    result = tersewright.fold_file("/dev/null", language="text")
    assert (result.output, result.report.input_bytes) == ("", 0)


def test_fold_file_reads_past_a_reported_size_of_zero():
    # Files under /proc report a size of 0 but have content.
    result = tersewright.fold_file("/proc/self/status", "code-review", language="text")
    assert result.output.startswith("Name:")


def test_fold_file_with_a_nul_in_the_path():
    with pytest.raises(OSError) as info:
        tersewright.fold_file("a\x00b.py")
    assert str(info.value) == "failed to read a\x00b.py: file name contained an unexpected NUL byte"


UNREADABLE = """
import sys, tersewright
try:
    tersewright.fold_file(sys.argv[1])
except OSError as error:
    print(type(error).__name__, error)
"""


def test_fold_file_without_read_permission():
    """Root reads any file, so as root the check runs in a child that drops to an unprivileged user;
    it is skipped when that user cannot import the module from where it was built."""
    with tempfile.TemporaryDirectory() as directory:
        os.chmod(directory, 0o755)
        target = os.path.join(directory, "secret.py")
        with open(target, "w") as handle:
            handle.write("x = 1\n")
        os.chmod(target, 0)
        expected = f"failed to read {target}: Permission denied (os error 13)"
        if os.geteuid() != 0:
            with pytest.raises(OSError) as info:
                tersewright.fold_file(target)
            assert str(info.value) == expected
            return
        env = dict(os.environ, PYTHONPATH=os.pathsep.join(p for p in sys.path if p))
        child = subprocess.run([sys.executable, "-c", UNREADABLE, target], user=65534, group=65534, env=env,
                               capture_output=True, text=True, timeout=120, cwd="/")
        if child.returncode != 0 and "import" in child.stderr.lower():
            pytest.skip("an unprivileged user cannot import the module here: " + child.stderr.strip()[-200:])
        assert child.stdout.strip() == "OSError " + expected, child.stderr

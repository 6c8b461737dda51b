"""Leak check: many folds through every entry point and every error path must not grow the process.

Two measures: the resident set size (growth under 2 MB over the run, which catches leaks in the
engine's own allocations) and the interpreter's count of allocated memory blocks (which catches a
single leaked Python object per call, far below what the RSS can show). The default run makes 20,000
calls; `make leakcheck` sets TERSEWRIGHT_LEAK_ITERATIONS=100000. RSS says nothing under the
sanitizers (their allocator quarantines freed memory), so the test is skipped there.

The interpreter's type attribute cache keeps a reference to the name of each attribute looked up
through it, and names looked up from C (a tokenizer's `count` and `name`) are fresh strings each
time: left alone, the cache holds a varying number of them and the block count drifts by up to
three hundred with no leak. So the cache is emptied, and garbage collected, before each count. What
drift remains (other caches reaching their final size, more so after other tests in the same
process) happens once, while a leak adds blocks in proportion to the calls: the calls are measured
in two equal windows after a warm-up, and the check fails only when both windows grow.
"""

import gc
import os
import sys
import tempfile

import pytest

import tersewright

ITERATIONS = int(os.environ.get("TERSEWRIGHT_LEAK_ITERATIONS", "20000"))
WARMUP = 2000
RSS_LIMIT = 2 * 1024 * 1024

pytestmark = pytest.mark.skipif(os.environ.get("TERSEWRIGHT_SANITIZED") == "1",
                                reason="RSS is meaningless under the sanitizers' allocator")

PYTHON = '"""Doc."""\nimport os  # tersewright:keep\n\n\n\ndef f(x):  # c\n    """D."""\n    try:\n        return x\n    except E:\n        raise\n'
LOG = "2024-01-01 10:00:00 INFO a\n" * 4 + "[WARN] b  \n"
MARKDOWN = "# T\n\nsame\nsame\n\n\n```\nx  \n```\n"
JSON = '{\n  "b": [1, 2.5, 1e2],\n  "a": {"k": "\\u00e9"}\n}\n'


class Tokenizer:
    name = "words"

    def count(self, text):
        return len(text.split())


class BrokenTokenizer:
    def count(self, text):
        raise ValueError("no")


def expect(exception, call, *args, **kwargs):
    try:
        call(*args, **kwargs)
    except exception:
        return
    raise AssertionError(f"{call} did not raise {exception}")


def operations(path, engine):
    """One call per entry point and error path; each returns nothing and keeps nothing."""
    request = tersewright.FoldRequest(LOG, "logs", budget_tokens=3, tokenizer=Tokenizer(),
                                      protected_ranges=[(0, 4)], protected_line_markers=["b"])

    def read_report(result):
        report = result.report
        report.to_dict()
        report.to_json()
        (result.output, result.lossy, report.parse_status, report.syntax_valid, report.reduction_ratio,
         report.input_bytes, report.protected_bytes, report.detected_language)

    return [
        lambda: read_report(tersewright.fold(PYTHON, "budgeted", language="python", budget_chars=10)),
        lambda: read_report(engine.fold(PYTHON, "interface-only", path="a.py", protected_ranges=[(1, 3)])),
        lambda: read_report(engine.fold(MARKDOWN, "documentation")),
        lambda: read_report(engine.fold(JSON, "safe", language="json")),
        lambda: read_report(engine.fold("[1, 2", "safe", language="json", budget_bytes=1)),
        lambda: read_report(engine.fold("def f(:\n", "safe", language="python")),
        lambda: read_report(engine.fold("\x00\x01", "safe")),
        lambda: read_report(engine.fold_request(request)),
        lambda: read_report(engine.fold_request(
            tersewright.FoldRequest(LOG, budget_tokens=1, tokenizer=BrokenTokenizer()))),
        lambda: read_report(tersewright.fold_file(path, "safe")),
        lambda: read_report(engine.fold_file(path, "code-review", language="python", allow_lossy=True)),
        lambda: tersewright.profile_info("budgeted"),
        lambda: tersewright.profiles(),
        lambda: tersewright.supported_languages(),
        lambda: tersewright.detect_language(JSON, "x.json"),
        lambda: repr(request),
        lambda: (repr(engine.fold(LOG, "logs")), repr(engine.fold(LOG, "logs").report)),
        lambda: (request.content, request.protected_ranges, request.protected_line_markers, request.budget_tokens),
        lambda: expect(tersewright.UnknownProfileError, tersewright.fold, "x", "nope"),
        lambda: expect(tersewright.UnknownProfileError, tersewright.profile_info, "nope"),
        lambda: expect(ValueError, engine.fold, "x", language="cobol"),
        lambda: expect(TypeError, tersewright.fold, "x", protected_ranges=[[0, 1]]),
        lambda: expect(ValueError, tersewright.fold, "x", protected_ranges=[(0, 1, 2)]),
        lambda: expect(TypeError, tersewright.fold, "x", protected_line_markers=["a", 1]),
        lambda: expect(TypeError, tersewright.fold, "x", nope=1),
        lambda: expect(TypeError, tersewright.fold),
        lambda: expect(TypeError, tersewright.fold, "x", "safe", *([None] * 12)),
        lambda: expect(TypeError, tersewright.fold, "x", content="y"),
        lambda: expect(TypeError, tersewright.Engine, 1),
        lambda: expect(TypeError, tersewright.FoldResult),
        lambda: expect(OverflowError, tersewright.fold, "x", budget_bytes=-1),
        lambda: expect(UnicodeEncodeError, tersewright.fold, "\ud800"),
        lambda: expect(tersewright.InvalidConfigError, engine.fold_request,
                       tersewright.FoldRequest("x", budget_bytes=1, budget_chars=1)),
        lambda: expect(tersewright.InvalidConfigError, engine.fold_request,
                       tersewright.FoldRequest("x", budget_tokens=1)),
        lambda: expect(OSError, tersewright.fold_file, path + ".missing"),
        lambda: expect(OSError, tersewright.fold_file, "a\x00b"),
        lambda: expect(TypeError, engine.fold_file, 42),
    ]


def rss():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def blocks_after_collection():
    sys._clear_type_cache()
    gc.collect()
    return sys.getallocatedblocks()


def test_many_folds_through_every_entry_point_do_not_leak(capsys):
    with tempfile.NamedTemporaryFile("w", suffix=".py", delete=False) as handle:
        handle.write(PYTHON)
    try:
        engine = tersewright.Engine()
        ops = operations(handle.name, engine)
        window = ITERATIONS // 2
        for i in range(WARMUP):
            ops[i % len(ops)]()
        gc.collect()
        rss_before = rss()
        marks = [blocks_after_collection()]
        for _ in range(2):
            for i in range(window):
                ops[i % len(ops)]()
            marks.append(blocks_after_collection())
        rss_growth = rss() - rss_before
    finally:
        os.unlink(handle.name)
    growth = [after - before for before, after in zip(marks, marks[1:])]
    calls_per_operation = window // len(ops)
    # Shown even when the test passes, so that the margin can be read from any run's log.
    with capsys.disabled():
        print(f"\n{2 * window} calls in two windows ({calls_per_operation} per entry point or error path in each): "
              f"RSS growth {rss_growth / 1024:.0f} KiB, allocated blocks growth {growth[0]} then {growth[1]}")
    assert rss_growth < RSS_LIMIT
    # One object leaked by a single entry point on each of its calls adds calls_per_operation blocks
    # to each window (312 at 20,000 calls); what drift there is settles in the first window.
    assert min(growth) < calls_per_operation // 2, f"allocated blocks kept growing: {growth}"

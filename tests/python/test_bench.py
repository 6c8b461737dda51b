"""The benchmark's corpora and its table: deterministic, of the asked size, and really foldable.

A corpus that does not parse would make the benchmark time the fallback instead of the fold, so
every generated source text must parse cleanly and be detected as its own kind from its extension.
"""

import re
import subprocess
import sys
from pathlib import Path

import pytest

import tersewright

BENCH = Path(__file__).resolve().parents[2] / "bench"
sys.path.insert(0, str(BENCH))
import corpus  # noqa: E402

SIZE = 40_000


@pytest.mark.parametrize("kind", corpus.KINDS)
def test_generated_corpus_is_deterministic_sized_and_foldable(kind):
    text = corpus.generate(kind, SIZE)
    assert text == corpus.generate(kind, SIZE)
    assert text != corpus.generate(kind, SIZE, seed=corpus.DEFAULT_SEED + 1)
    assert SIZE <= len(text.encode()) < SIZE + 4_000
    report = tersewright.fold(text, profile="budgeted", path=f"corpus.{corpus.EXTENSIONS[kind]}").report
    assert report.detected_language == kind
    if kind in corpus.SOURCE_KINDS or kind == "json":
        assert (report.parse_status, report.syntax_valid) == ("parsed", True)
    assert report.reduction_ratio > 0  # every kind carries something the profile removes


def test_corpus_files_are_reused_and_named_by_kind_size_and_seed(tmp_path):
    first = corpus.corpus_file(str(tmp_path), "log", 0.01)
    Path(first).write_text("changed")  # a present file is taken as it is, not regenerated
    assert corpus.corpus_file(str(tmp_path), "log", 0.01) == first
    assert Path(first).read_text() == "changed"
    assert Path(first).name == f"log-0_01mb-seed{corpus.DEFAULT_SEED}-v{corpus.GENERATOR_VERSION}.log"
    older = tmp_path / f"log-0_02mb-seed{corpus.DEFAULT_SEED}-v0.log"
    other_seed = tmp_path / "log-0_02mb-seed7-v0.log"
    older.write_text("old")
    other_seed.write_text("old")
    corpus.corpus_file(str(tmp_path), "log", 0.02)
    assert not older.exists() and other_seed.exists()  # only the superseded version goes


def test_run_bench_prints_one_row_per_kind_and_profile(tmp_path):
    build = Path(tersewright.__file__).resolve().parents[2]
    if not (build / "bench" / "parse_bench").exists():
        pytest.skip("parse_bench is not built")
    done = subprocess.run(
        [sys.executable, str(BENCH / "run_bench.py"), "--build-dir", str(build), "--kinds", "go,log,markdown",
         "--profiles", "safe,logs", "--size-mb", "0.02", "--repeat", "1", "--skip-rss",
         "--corpus-cache", str(tmp_path)],
        capture_output=True, text=True, timeout=600,
    )
    assert done.returncode == 0, done.stderr
    row = re.compile(r"^(per call|\S+)\s+(\S+)\s+[\d.]+ M?B\s+\S+\s+\S+%\s+(.+?)\s+\S+\s+\S+$")
    rows = [m.groups() for m in map(row.match, done.stdout.splitlines()) if m]
    assert rows == [
        ("go", "safe", "tree-sitter parse"), ("go", "logs", "tree-sitter parse"),
        ("log", "safe", "naive dedupe loop"), ("log", "logs", "naive dedupe loop"),
        ("markdown", "safe", "wc -l"), ("markdown", "logs", "wc -l"),
        ("per call", "safe", "str.rstrip"), ("per call", "logs", "str.rstrip"),
    ]

"""Folding the sources, one after another or in worker processes, with the same results either way.

A fold in a worker returns plain data (the output text and the report as the run needs it), so that
only what is printed or counted crosses the process boundary.
"""

from __future__ import annotations

import itertools
from concurrent.futures import ProcessPoolExecutor
from dataclasses import dataclass
from multiprocessing import get_context
from typing import Generator, List, Optional, Sequence, Tuple, Union

from .. import Engine, detect_language, profile_info
from ..directives import directive_ranges
from .reporting import ReportDigest, digest, not_folded_line
from .sources import Source, SourceChanged, path_hint, read_source, stat_failure


@dataclass(frozen=True)
class FoldOptions:
    """Everything a fold is asked for, the same for every file of a run."""

    profile: str
    language: Optional[str]
    allow_lossy: Optional[bool]
    budget_bytes: Optional[int]
    budget_chars: Optional[int]
    markers: Optional[Tuple[str, ...]]
    directives: bool = False
    report: str = "none"

    @property
    def budgeted(self) -> bool:
        return self.budget_bytes is not None or self.budget_chars is not None


@dataclass(frozen=True)
class Folded:
    output: str
    report: ReportDigest


@dataclass(frozen=True)
class NotFolded:
    """A source left alone: skipped on purpose, or failed (reported, and the run ends with status 2).

    message is the line that says so, without the program's name.
    """

    message: str
    failed: bool = False

    @classmethod
    def of(cls, source: Source, why: str, failed: bool) -> "NotFolded":
        return cls(not_folded_line(source.shown, why, failed), failed)


Outcome = Union[Folded, NotFolded]
BINARY = "binary file"


def _directive_ranges(text: str, path: Optional[str], options: FoldOptions) -> Optional[List[Tuple[int, int]]]:
    """The ranges that keep directives no marker can name, with the profile's own; None when there are none."""
    if '"C"' not in text:  # the only such directive today is the cgo preamble
        return None
    language = options.language if options.language is not None else detect_language(text, path)
    ranges = directive_ranges(text, language)
    if not ranges:
        return None
    # Ranges given to a fold replace the profile's: keep those too.
    own = [(r["start"], r["end"]) for r in profile_info(options.profile)["preservation"]["protected_ranges"]]
    return own + ranges


def fold_text(engine: Engine, text: str, name: str, path: Optional[str], options: FoldOptions) -> Folded:
    """Fold one text; name is how its report calls it, path the hint for detecting its language."""
    ranges = _directive_ranges(text, path, options) if options.directives else None
    result = engine.fold(
        text,
        profile=options.profile,
        path=path,
        language=options.language,
        allow_lossy=options.allow_lossy,
        budget_bytes=options.budget_bytes,
        budget_chars=options.budget_chars,
        protected_ranges=ranges,
        protected_line_markers=None if options.markers is None else list(options.markers),
    )
    return Folded(result.output, digest(result.report, name, options.report, options.budgeted))


def fold_source(source: Source, options: FoldOptions) -> Outcome:
    """Read and fold one file. Runs in worker processes too, so it only returns data.

    A file holding a NUL byte is binary and skipped; one that is not UTF-8, or that cannot be read
    whole and unchanged, fails.
    """
    if source.skip:
        return NotFolded.of(source, source.skip, source.failed)
    try:
        data = read_source(source.location)
    except OSError as error:
        return NotFolded.of(source, stat_failure(error), failed=True)
    except SourceChanged as change:
        return NotFolded.of(source, str(change), failed=True)
    if b"\0" in data:
        return NotFolded.of(source, BINARY, failed=False)
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError:
        return NotFolded.of(source, "not UTF-8 text", failed=True)
    # Building an engine costs about a microsecond, so each file gets its own.
    return fold_text(Engine(), text, source.shown, path_hint(source.path), options)


def fold_sources(sources: Sequence[Source], options: FoldOptions, jobs: int) -> Generator[Outcome, None, None]:
    """The outcome of each source, in the order of sources; close() stops the workers early."""
    if jobs <= 1 or len(sources) <= 1:
        for source in sources:
            yield fold_source(source, options)
        return
    # Processes, not threads: a fold holds the interpreter lock from start to end. Results come back
    # in submission order, so the output does not depend on which worker finished first.
    executor = ProcessPoolExecutor(max_workers=min(jobs, len(sources)), mp_context=get_context("spawn"))
    try:
        yield from executor.map(fold_source, sources, itertools.repeat(options))
    finally:
        executor.shutdown(wait=True, cancel_futures=True)

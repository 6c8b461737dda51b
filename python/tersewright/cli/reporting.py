"""What a run says on standard error: notices, per-file reports, the summary, a progress bar."""

from __future__ import annotations

import os
import stat
import sys
import time
from dataclasses import dataclass
from typing import Any, Dict, Optional, TextIO, Tuple

from .. import Report
from ..bundle import quote_path  # noqa: F401  (the paths every line shows)

PROG = "tersewright"
REPORT_MODES = ("none", "text", "json")
# How much a run says on standard error besides failures: -q, the default, -v.
QUIET, NORMAL, VERBOSE = -1, 0, 1
# A progress bar only pays for the noise when a run has more than a handful of files or takes a while.
PROGRESS_MIN_FILES = 8
PROGRESS_DELAY = 1.0
PROGRESS_WIDTH = 24


def _isatty(stream: TextIO) -> bool:
    try:
        return stream.isatty()
    except (AttributeError, ValueError):
        return False


def _same_terminal(stream: TextIO, other: TextIO) -> bool:
    try:
        mine, theirs = os.fstat(stream.fileno()), os.fstat(other.fileno())
    except (AttributeError, ValueError, OSError):
        return False
    if (mine.st_dev, mine.st_ino) == (theirs.st_dev, theirs.st_ino):
        return True
    # /dev/tty and /dev/pts/N are two names of one terminal: the device numbers tell.
    return stat.S_ISCHR(mine.st_mode) and stat.S_ISCHR(theirs.st_mode) and mine.st_rdev == theirs.st_rdev


def progress_wanted(stream: TextIO, output: TextIO) -> bool:
    """A bar on a terminal that does not also show the output, and that can move its cursor."""
    return _isatty(stream) and not _same_terminal(stream, output) and os.environ.get("TERM") != "dumb"


class Diagnostics:
    """Standard error: failures, notices, reports, the summary and, on a terminal, a progress bar.

    Failures and the reports asked for with --report always come; notices (the summary among them)
    unless quiet; details (each skip and each folded file) only when verbose.
    """

    def __init__(self, stream: TextIO, total: int = 0, verbosity: int = NORMAL, output: Optional[TextIO] = None):
        self.stream = stream
        self.total = total
        self.verbosity = verbosity
        self.done = 0
        self.bar = total > 0 and verbosity > QUIET and progress_wanted(stream, output or sys.stdout)
        self._started = time.monotonic()
        self._drawn = False

    def line(self, text: str) -> None:
        self._erase()
        self.stream.write(text + "\n")
        self.stream.flush()

    def failure(self, text: str) -> None:
        self.line(f"{PROG}: {text}")

    def notice(self, text: str) -> None:
        if self.verbosity >= NORMAL:
            self.line(f"{PROG}: {text}")

    def detail(self, text: str) -> None:
        if self.verbosity >= VERBOSE:
            self.line(f"{PROG}: {text}")

    def advance(self, label: str) -> None:
        self.done += 1
        if not self.bar:
            return
        if self.total <= PROGRESS_MIN_FILES and time.monotonic() - self._started <= PROGRESS_DELAY:
            return
        import shutil  # only a drawn bar needs it

        columns = shutil.get_terminal_size((80, 24)).columns
        filled = PROGRESS_WIDTH * self.done // self.total
        text = f"[{'#' * filled}{'.' * (PROGRESS_WIDTH - filled)}] {self.done}/{self.total} {label}"
        self.stream.write("\r\x1b[K" + text[: max(columns - 1, 1)])
        self.stream.flush()
        self._drawn = True

    def finish(self) -> None:
        self._erase()

    def _erase(self) -> None:
        if self._drawn:
            self.stream.write("\r\x1b[K")
            self._drawn = False


def _int(value: Any) -> int:
    # Report counts of 2**63 and more come out of to_dict() as floats.
    return int(value)


def format_text_report(name: str, report: Dict[str, Any]) -> str:
    """A report as a few lines for people, from the dictionary of Report.to_dict()."""
    traits = [report["detected_language"], report["parse_status"], f"profile {report['profile']}"]
    if "syntax_valid" in report:
        traits.append("syntax valid" if report["syntax_valid"] else "syntax invalid")
    traits.append("behaviour preserved" if report["behavior_preserving"] else "lossy")
    source, folded = report["input"], report["output"]
    lines = [
        f"{name}: {', '.join(traits)}",
        f"  {source['bytes']} -> {folded['bytes']} bytes, {source['lines']} -> {folded['lines']} lines,"
        f" {report['reduction_ratio']:.1%} reduction",
    ]
    for rule in report["rules"]:
        lossy = " (lossy)" if rule["lossy"] else ""
        lines.append(
            f"  {rule['rule']}: {rule['changes']} change(s), {rule['bytes_removed']} byte(s) removed{lossy}"
        )
    for warning in report["warnings"]:
        lines.append(f"  warning {warning['code']}: {warning['message']}")
    budget = report.get("budget")
    if budget is not None:
        verdict = "met" if budget["met"] else "NOT met"
        lines.append(f"  budget: {_int(budget['output'])} of {_int(budget['limit'])} {budget['metric']}, {verdict}")
    if report["protected_bytes"]:
        lines.append(f"  protected: {_int(report['protected_bytes'])} bytes")
    return "\n".join(lines)


@dataclass(frozen=True)
class ReportDigest:
    """What a run keeps of one fold's report: the report as the caller asked for it, and the counts."""

    text: str
    input_bytes: int
    output_bytes: int
    over_budget: bool
    name: str = ""
    language: str = ""
    profile: str = ""
    input_lines: int = 0
    # With a budget: the output's size, the limit and their unit ("bytes" or "characters").
    budget: Optional[Tuple[int, int, str]] = None
    # The whole report as JSON, for a bundle that carries each file's report (the json style).
    report_json: str = ""


def digest(report: Report, name: str, mode: str, budgeted: bool, keep_json: bool = False) -> ReportDigest:
    """Render the report in the chosen mode, building only what that mode and the budget need."""
    # Each of to_dict() and to_json() walks the whole report into new objects: a run that prints no
    # report and has no budget needs neither.
    details: Optional[Dict[str, Any]] = report.to_dict() if mode == "text" or budgeted else None
    budget = None if details is None else details.get("budget")
    whole = report.to_json() if mode == "json" or keep_json else ""
    if mode == "json":
        text = whole
    elif mode == "text" and details is not None:
        text = format_text_report(name, details)
    else:
        text = ""
    return ReportDigest(
        text=text,
        input_bytes=report.input_bytes,
        output_bytes=report.output_bytes,
        over_budget=budget is not None and not budget["met"],
        name=name,
        language=str(report.detected_language),
        profile=report.profile,
        input_lines=report.input_lines,
        budget=None if budget is None else (_int(budget["output"]), _int(budget["limit"]), budget["metric"]),
        report_json=whole if keep_json else "",
    )


def budget_phrase(report: ReportDigest) -> str:
    """How far a fold missed its budget, as a phrase: 'output 120 bytes is over the budget of 100'."""
    if report.budget is None:
        return ""
    size, limit, unit = report.budget
    return f"output {size} {unit} is over the budget of {limit}"


def not_folded_line(shown: str, why: str, failed: bool) -> str:
    """The line for a path left alone: 'PATH: REASON' for a failure, 'PATH: skipped (REASON)' else."""
    return f"{shown}: {why}" if failed else f"{shown}: skipped ({why})"


# The kinds content detection can name; none of them is a programming language, which only a file
# name or --language can tell.
NOT_CODE = frozenset({"unknown", "text", "markdown", "log", "json"})
# Below this many lines a text is too short to be worth a word about its language.
FEW_LINES = 3


def language_hint(report: ReportDigest) -> str:
    """For standard input folded without --language as something other than code: how to name it."""
    if report.language not in NOT_CODE or report.input_lines <= FEW_LINES:
        return ""
    found = "no language detected" if report.language == "unknown" else f"detected as {report.language}"
    return f"standard input: {found}; if it is source code, name its language with --language"


def folded_line(report: ReportDigest) -> str:
    """One file's fold in a line: its path, language, sizes and profile."""
    text = (
        f"{report.name}: {report.language}, {report.input_bytes} -> {report.output_bytes} bytes,"
        f" profile {report.profile}"
    )
    return f"{text}, {budget_phrase(report)}" if report.over_budget else text


@dataclass
class Tally:
    """The counts behind the summary line that ends a run over several files; failed counts every path
    that could not be read, a directory as one."""

    files: int = 0
    skipped: int = 0
    failed: int = 0
    bytes_in: int = 0
    bytes_out: int = 0
    over_budget: int = 0

    def add(self, report: ReportDigest) -> None:
        self.files += 1
        self.bytes_in += report.input_bytes
        self.bytes_out += report.output_bytes
        self.over_budget += report.over_budget

    def summary(self) -> str:
        reduction = 0.0 if self.bytes_in == 0 else max(0.0, 1.0 - self.bytes_out / self.bytes_in)
        files = "file" if self.files == 1 else "files"
        return (
            f"{self.files} {files} folded, {self.skipped} skipped, {self.failed} failed,"
            f" {self.bytes_in} bytes in, {self.bytes_out} bytes out, {reduction:.1%} reduction, {self.over_budget} over budget"
        )

"""What a run says on standard error: notices, per-file reports, the summary, a progress bar."""

from __future__ import annotations

import shutil
from dataclasses import dataclass
from typing import Any, Dict, Optional, TextIO

from .. import Report

PROG = "tersewright"
REPORT_MODES = ("none", "text", "json")
# A progress bar only pays for the noise when a run has more than a handful of files.
PROGRESS_MIN_FILES = 8
PROGRESS_WIDTH = 24


def _isatty(stream: TextIO) -> bool:
    try:
        return stream.isatty()
    except (AttributeError, ValueError):
        return False


class Diagnostics:
    """Standard error: notices, reports, the summary and, on a terminal, a progress bar."""

    def __init__(self, stream: TextIO, total: int = 0):
        self.stream = stream
        self.total = total
        self.done = 0
        self.bar = total > PROGRESS_MIN_FILES and _isatty(stream)
        self._drawn = False

    def line(self, text: str) -> None:
        self._erase()
        self.stream.write(text + "\n")
        self.stream.flush()

    def notice(self, text: str) -> None:
        self.line(f"{PROG}: {text}")

    def advance(self, label: str) -> None:
        self.done += 1
        if not self.bar:
            return
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


def digest(report: Report, name: str, mode: str, budgeted: bool) -> ReportDigest:
    """Render the report in the chosen mode, building only what that mode and the budget need."""
    # Each of to_dict() and to_json() walks the whole report into new objects: a run that prints no
    # report and has no budget needs neither.
    details: Optional[Dict[str, Any]] = report.to_dict() if mode == "text" or budgeted else None
    budget = None if details is None else details.get("budget")
    if mode == "json":
        text = report.to_json()
    elif mode == "text" and details is not None:
        text = format_text_report(name, details)
    else:
        text = ""
    return ReportDigest(
        text=text,
        input_bytes=report.input_bytes,
        output_bytes=report.output_bytes,
        over_budget=budget is not None and not budget["met"],
    )


@dataclass
class Tally:
    """The counts behind the summary line that ends a run over several files."""

    files: int = 0
    skipped: int = 0
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
            f"{PROG}: {self.files} {files} folded, {self.skipped} skipped, {self.bytes_in} bytes in,"
            f" {self.bytes_out} bytes out, {reduction:.1%} reduction, {self.over_budget} over budget"
        )

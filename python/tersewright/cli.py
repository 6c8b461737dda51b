"""The ``tersewright`` command line: fold files and trees, describe profiles, detect languages.

Exit status: 0 on success; 1 when ``--fail-over-budget`` is given and some file missed its budget;
2 for usage errors, unknown profiles or languages, unreadable inputs and unwritable outputs, each
reported as one line on standard error.
"""

from __future__ import annotations

import argparse
import itertools
import json
import os
import shutil
import stat
import sys
import tempfile
from concurrent.futures import ProcessPoolExecutor
from dataclasses import dataclass
from multiprocessing import get_context
from typing import IO, Iterable, Iterator, List, Optional, Sequence, Tuple

from . import (
    Engine,
    UnknownProfileError,
    __version__,
    detect_language,
    profile_info,
    profiles,
)
from .directives import DEFAULT_MARKERS, DIRECTIVE_MARKERS

EXIT_OK = 0
EXIT_OVER_BUDGET = 1
EXIT_ERROR = 2

PROG = "tersewright"
# A progress bar only pays for the noise when a run has more than a handful of files.
PROGRESS_MIN_FILES = 8
# Repository metadata is never what a caller means by "the files of this tree".
SKIPPED_DIRECTORIES = frozenset({".git", ".hg", ".svn", ".bzr"})
# Detection looks at no more than this many leading bytes of a text.
DETECTION_SAMPLE = 4096
MAX_COUNT = 2**64 - 1


class CliError(Exception):
    """A problem reported as one line and exit status 2."""


# --------------------------------------------------------------------------- inputs


@dataclass(frozen=True)
class Source:
    """One file to fold: how it is shown, where it is read, where it lands under --output-dir.

    A source found by the walk but not to be read carries the reason in skip, so that its notice
    comes out in walk order, among the other files' notices and reports.
    """

    shown: str
    location: str
    relative: str
    skip: str = ""


@dataclass(frozen=True)
class FoldOptions:
    profile: str
    language: Optional[str]
    allow_lossy: Optional[bool]
    budget_bytes: Optional[int]
    budget_chars: Optional[int]
    markers: Optional[Tuple[str, ...]]


@dataclass(frozen=True)
class Outcome:
    """What folding one source gave; plain data so that it can cross a process boundary."""

    kind: str  # "folded", "skipped" or "failed"
    message: str = ""
    output: str = ""
    report_json: str = ""
    report: Optional[dict] = None


def _decode_text(data: bytes) -> Optional[str]:
    # A NUL byte is valid UTF-8 but marks a binary file; folding one would only produce noise.
    if b"\0" in data:
        return None
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError:
        return None


def _path_hint(shown: str) -> str:
    # File names that are not UTF-8 reach Python with surrogate escapes, which the engine cannot take;
    # the hint is only used for its extension, so a replacement character does no harm.
    try:
        shown.encode("utf-8")
        return shown
    except UnicodeEncodeError:
        return shown.encode("utf-8", "surrogateescape").decode("utf-8", "replace")


def _reason(error: OSError) -> str:
    return error.strerror or str(error)


def fold_text(engine: Engine, text: str, path: Optional[str], options: FoldOptions) -> Outcome:
    result = engine.fold(
        text,
        profile=options.profile,
        path=path,
        language=options.language,
        allow_lossy=options.allow_lossy,
        budget_bytes=options.budget_bytes,
        budget_chars=options.budget_chars,
        protected_line_markers=None if options.markers is None else list(options.markers),
    )
    report = result.report
    return Outcome("folded", output=result.output, report_json=report.to_json(), report=report.to_dict())


def fold_source(source: Source, options: FoldOptions) -> Outcome:
    """Read and fold one file. Runs in worker processes too, so it only returns data."""
    if source.skip:
        return Outcome("skipped", message=f"skipping {source.shown}: {source.skip}")
    try:
        with open(source.location, "rb") as handle:
            data = handle.read()
    except OSError as error:
        return Outcome("failed", message=f"cannot read {source.shown}: {_reason(error)}")
    text = _decode_text(data)
    if text is None:
        return Outcome("skipped", message=f"skipping {source.shown}: not UTF-8 text")
    # Building an engine costs about a microsecond, so each file gets its own.
    return fold_text(Engine(), text, _path_hint(source.shown), options)


def _shown_under(root: str, relative: str) -> str:
    return relative if os.path.normpath(root) == "." else os.path.join(root, relative)


def _within(path: str, root: str) -> bool:
    try:
        return os.path.commonpath([path, root]) == root
    except ValueError:
        return False


def _identity(path: Optional[str]) -> Optional[Tuple[int, int]]:
    if path is None:
        return None
    try:
        st = os.stat(path)
    except OSError:
        return None
    return (st.st_dev, st.st_ino)


def walk_tree(root: str, excluded: frozenset) -> Iterator[Source]:
    """Yield the regular files under root, depth first with the entries of each directory sorted.

    Symbolic links are followed only while they stay inside root; directories already walked (a
    link back up the tree) are not walked again; excluded holds (device, inode) pairs of our own
    outputs so that a second run does not fold the first run's results.
    """
    root_real = os.path.realpath(root)
    root_stat = os.stat(root)
    visited = {(root_stat.st_dev, root_stat.st_ino)}

    def listing(location: str, shown: str) -> Iterator[os.DirEntry]:
        try:
            with os.scandir(location) as entries:
                return iter(sorted(entries, key=lambda entry: entry.name))
        except OSError as error:
            raise CliError(f"cannot read {shown}: {_reason(error)}") from None

    stack: List[Tuple[str, Iterator[os.DirEntry]]] = [("", listing(root, root))]
    while stack:
        relative_dir, entries = stack[-1]
        entry = next(entries, None)
        if entry is None:
            stack.pop()
            continue
        relative = os.path.join(relative_dir, entry.name) if relative_dir else entry.name
        shown = _shown_under(root, relative)
        try:
            if entry.is_symlink():
                target = os.path.realpath(entry.path)
                if not _within(target, root_real):
                    yield Source(shown, entry.path, relative, skip=f"symbolic link leads out of {root}")
                    continue
                try:
                    st = os.stat(target)
                except OSError:
                    yield Source(shown, entry.path, relative, skip="broken symbolic link")
                    continue
            else:
                st = entry.stat(follow_symlinks=False)
        except OSError as error:
            raise CliError(f"cannot read {shown}: {_reason(error)}") from None
        identity = (st.st_dev, st.st_ino)
        if stat.S_ISDIR(st.st_mode):
            if entry.name in SKIPPED_DIRECTORIES or identity in excluded or identity in visited:
                continue
            visited.add(identity)
            stack.append((relative, listing(entry.path, shown)))
        elif stat.S_ISREG(st.st_mode):
            if identity not in excluded:
                yield Source(shown, entry.path, relative)
        else:
            yield Source(shown, entry.path, relative, skip="not a regular file")


def collect_sources(paths: Sequence[str], excluded: frozenset) -> Tuple[List[Source], bool]:
    """The files named by paths, in order, without duplicates; and whether a directory was given."""
    sources: List[Source] = []
    seen = set()
    any_directory = False
    for path in paths:
        try:
            st = os.stat(path)
        except OSError as error:
            raise CliError(f"cannot read {path}: {_reason(error)}") from None
        if stat.S_ISDIR(st.st_mode):
            any_directory = True
            found: Iterable[Source] = walk_tree(path, excluded)
        else:
            found = [Source(path, path, os.path.basename(os.path.normpath(path)))]
        for source in found:
            key = os.path.normpath(source.shown)
            if key not in seen:
                seen.add(key)
                sources.append(source)
    return sources, any_directory


# --------------------------------------------------------------------------- reporting


def _isatty(stream: IO) -> bool:
    try:
        return stream.isatty()
    except (AttributeError, ValueError):
        return False


class Diagnostics:
    """Standard error: notices, reports, the summary and, on a terminal, a progress bar."""

    def __init__(self, stream: IO, total: int = 0):
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
        width = 24
        filled = width * self.done // self.total
        text = f"[{'#' * filled}{'.' * (width - filled)}] {self.done}/{self.total} {label}"
        self.stream.write("\r\x1b[K" + text[: max(columns - 1, 1)])
        self.stream.flush()
        self._drawn = True

    def finish(self) -> None:
        self._erase()

    def _erase(self) -> None:
        if self._drawn:
            self.stream.write("\r\x1b[K")
            self._drawn = False


def _int(value) -> int:
    # Report counts of 2**63 and more come out of to_dict() as floats.
    return int(value)


def format_text_report(name: str, report: dict) -> str:
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


def _over_budget(report: dict) -> bool:
    budget = report.get("budget")
    return budget is not None and not budget["met"]


@dataclass
class Tally:
    files: int = 0
    skipped: int = 0
    bytes_in: int = 0
    bytes_out: int = 0
    over_budget: int = 0

    def add(self, report: dict) -> None:
        self.files += 1
        self.bytes_in += _int(report["input"]["bytes"])
        self.bytes_out += _int(report["output"]["bytes"])
        self.over_budget += _over_budget(report)

    def summary(self) -> str:
        reduction = 0.0 if self.bytes_in == 0 else max(0.0, 1.0 - self.bytes_out / self.bytes_in)
        files = "file" if self.files == 1 else "files"
        return (
            f"{PROG}: {self.files} {files} folded, {self.skipped} skipped, {self.bytes_in} bytes in,"
            f" {self.bytes_out} bytes out, {reduction:.1%} reduction, {self.over_budget} over budget"
        )


def _emit_report(diagnostics: Diagnostics, mode: str, name: str, outcome: Outcome) -> None:
    if mode == "json":
        diagnostics.line(outcome.report_json)
    elif mode == "text":
        diagnostics.line(format_text_report(name, outcome.report))


# --------------------------------------------------------------------------- outputs


class OutputFile:
    """A named output replaced only once the run succeeds; standard output when no name is given."""

    def __init__(self, path: Optional[str]):
        self.path = path
        self._temp: Optional[str] = None
        self._mode = 0o644
        self.stream: IO[bytes] = sys.stdout.buffer
        if path is None:
            return
        try:
            existing = os.stat(path) if os.path.exists(path) else None
            if existing is None or stat.S_ISREG(existing.st_mode):
                directory = os.path.dirname(os.path.abspath(path))
                fd, self._temp = tempfile.mkstemp(prefix=".tersewright-", dir=directory)
                # mkstemp creates the file private; give it the mode the replaced file had, or the
                # mode a new file would get.
                self._mode = stat.S_IMODE(existing.st_mode) if existing else 0o666 & ~_umask()
                self.stream = os.fdopen(fd, "wb")
            else:
                # A device or a pipe (/dev/stdout, a FIFO) cannot be replaced by renaming.
                self.stream = open(path, "wb")
        except OSError as error:
            raise CliError(f"cannot write {path}: {_reason(error)}") from None

    def write(self, data: bytes) -> None:
        try:
            self.stream.write(data)
        except BrokenPipeError:
            raise
        except OSError as error:
            raise CliError(f"cannot write {self.path or 'standard output'}: {_reason(error)}") from None

    def commit(self) -> None:
        try:
            self.stream.flush()
            if self.path is None:
                return
            self.stream.close()
            if self._temp is not None:
                os.chmod(self._temp, self._mode)
                os.replace(self._temp, self.path)
                self._temp = None
        except BrokenPipeError:
            raise
        except OSError as error:
            raise CliError(f"cannot write {self.path or 'standard output'}: {_reason(error)}") from None

    def discard(self) -> None:
        if self.path is None:
            return
        try:
            self.stream.close()
        except OSError:
            pass
        if self._temp is not None:
            try:
                os.unlink(self._temp)
            except OSError:
                pass
            self._temp = None


def _umask() -> int:
    mask = os.umask(0)
    os.umask(mask)
    return mask


def _write_into(directory: str, relative: str, data: bytes) -> None:
    target = os.path.join(directory, relative)
    try:
        os.makedirs(os.path.dirname(target) or ".", exist_ok=True)
        with open(target, "wb") as handle:
            handle.write(data)
    except OSError as error:
        raise CliError(f"cannot write {target}: {_reason(error)}") from None


def _plan_destinations(sources: Sequence[Source], directory: str) -> None:
    """Refuse, before anything is written, runs that would overwrite an input or write a file twice."""
    claimed = {}
    for source in sources:
        if source.skip:
            continue
        target = os.path.normpath(os.path.join(directory, source.relative))
        if target in claimed:
            raise CliError(f"{claimed[target]} and {source.shown} would both be written to {target}")
        claimed[target] = source.shown
        if os.path.exists(target) and os.path.samefile(target, source.location):
            raise CliError(f"refusing to overwrite the input {source.shown} with its folded text")


# --------------------------------------------------------------------------- fold command


def _fold_options(args: argparse.Namespace) -> FoldOptions:
    if args.no_protect_markers:
        markers: Optional[List[str]] = []
    elif args.protect_marker is not None:
        markers = list(args.protect_marker)
    else:
        markers = None
    if args.keep_directives:
        base = list(DEFAULT_MARKERS) if markers is None else markers
        extra = [m for m in DIRECTIVE_MARKERS if m not in DEFAULT_MARKERS]
        markers = list(dict.fromkeys(base + extra))
    return FoldOptions(
        profile=args.profile,
        language=args.language,
        allow_lossy=args.allow_lossy,
        budget_bytes=args.budget_bytes,
        budget_chars=args.budget_chars,
        markers=None if markers is None else tuple(markers),
    )


def check_profile_and_language(profile: str, language: Optional[str]) -> None:
    """Report a bad profile or language name before any input is read."""
    try:
        Engine().fold("", profile, None, language)
    except UnknownProfileError:
        raise CliError(f"unknown profile '{profile}' (choose from {', '.join(profiles())})") from None
    except ValueError as error:
        raise CliError(str(error)) from None


def _fold_stdin(args: argparse.Namespace, options: FoldOptions) -> int:
    if args.output_dir is not None:
        raise CliError("--output-dir needs files or directories, not standard input")
    text = _decode_text(sys.stdin.buffer.read())
    if text is None:
        raise CliError("standard input is not UTF-8 text")
    outcome = fold_text(Engine(), text, None, options)
    return _finish_single(args, "<stdin>", outcome)


def _finish_single(args: argparse.Namespace, name: str, outcome: Outcome) -> int:
    output = OutputFile(args.output)
    try:
        output.write(outcome.output.encode("utf-8"))
        output.commit()
    finally:
        output.discard()
    _emit_report(Diagnostics(sys.stderr), args.report, name, outcome)
    if args.fail_over_budget and _over_budget(outcome.report):
        return EXIT_OVER_BUDGET
    return EXIT_OK


def _outcomes(sources: Sequence[Source], options: FoldOptions, jobs: int) -> Iterator[Outcome]:
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


def _fold_many(args: argparse.Namespace, options: FoldOptions, paths: Sequence[str]) -> int:
    excluded = frozenset(i for i in (_identity(args.output), _identity(args.output_dir)) if i is not None)
    sources, any_directory = collect_sources(paths, excluded)

    if not any_directory and len(sources) == 1 and args.output_dir is None:
        outcome = fold_source(sources[0], options)
        if outcome.kind == "failed":
            raise CliError(outcome.message)
        if outcome.kind == "skipped":
            raise CliError(f"cannot fold {sources[0].shown}: not UTF-8 text")
        return _finish_single(args, sources[0].shown, outcome)

    if args.output_dir is not None:
        if os.path.exists(args.output_dir) and not os.path.isdir(args.output_dir):
            raise CliError(f"cannot write into {args.output_dir}: not a directory")
        _plan_destinations(sources, args.output_dir)

    diagnostics = Diagnostics(sys.stderr, len(sources))
    tally = Tally()
    bundle = OutputFile(args.output) if args.output_dir is None else None
    outcomes = _outcomes(sources, options, args.jobs)
    try:
        for source, outcome in zip(sources, outcomes):
            if outcome.kind == "failed":
                raise CliError(outcome.message)
            if outcome.kind == "skipped":
                tally.skipped += 1
                diagnostics.notice(outcome.message)
            else:
                data = outcome.output.encode("utf-8")
                if bundle is not None:
                    bundle.write(b"==> " + os.fsencode(source.shown) + b" <==\n")
                    bundle.write(data)
                    if data and not data.endswith(b"\n"):
                        bundle.write(b"\n")
                else:
                    _write_into(args.output_dir, source.relative, data)
                tally.add(outcome.report)
                _emit_report(diagnostics, args.report, source.shown, outcome)
            diagnostics.advance(source.shown)
        if bundle is not None:
            bundle.commit()
    finally:
        outcomes.close()
        diagnostics.finish()
        if bundle is not None:
            bundle.discard()
    diagnostics.line(tally.summary())
    if args.fail_over_budget and tally.over_budget:
        return EXIT_OVER_BUDGET
    return EXIT_OK


def command_fold(args: argparse.Namespace) -> int:
    options = _fold_options(args)
    check_profile_and_language(options.profile, options.language)
    paths = args.paths or ["-"]
    if "-" in paths:
        if len(paths) > 1:
            raise CliError("'-' (standard input) cannot be combined with other paths")
        return _fold_stdin(args, options)
    return _fold_many(args, options, paths)


# --------------------------------------------------------------------------- other commands


def profile_table() -> str:
    """The profiles as a Markdown table, built from profile_info so that it cannot drift."""
    rows = [
        "| profile | comments | docstrings | blank lines | interface only | log repeats kept |"
        " Markdown dedupe | lossy rules allowed |",
        "|---|---|---|---|---|---|---|---|",
    ]
    for name in profiles():
        info = profile_info(name)
        rules = info["rules"]
        kept = rules["collapse_log_repeats"]
        cells = [
            f"`{name}`",
            rules["comments"],
            "remove" if rules["docstrings"] else "keep",
            rules["blank_lines"].replace("_", " "),
            "yes" if rules["interface_only"] else "no",
            "all" if kept is None else str(kept),
            "yes" if rules["markdown_dedupe"] else "no",
            "yes" if info["loss"]["allow_lossy"] else "no",
        ]
        rows.append("| " + " | ".join(cells) + " |")
    rows.append("")
    for name in profiles():
        rows.append(f"- `{name}`: {profile_info(name)['description']}")
    return "\n".join(rows)


def command_profiles(args: argparse.Namespace) -> int:
    if args.markdown:
        if args.name is not None:
            raise CliError("--markdown describes every profile; give no NAME with it")
        print(profile_table())
        return EXIT_OK
    if args.name is not None:
        try:
            info = profile_info(args.name)
        except UnknownProfileError:
            raise CliError(f"unknown profile '{args.name}' (choose from {', '.join(profiles())})") from None
        print(json.dumps(info, indent=2, ensure_ascii=False))
        return EXIT_OK
    names = profiles()
    width = max(len(name) for name in names)
    for name in names:
        print(f"{name:<{width}}  {profile_info(name)['description']}")
    return EXIT_OK


def _detection_head(data: bytes) -> str:
    # Only the leading bytes matter; cut at a character boundary so that nothing is mis-decoded.
    head = data[: DETECTION_SAMPLE + 4]
    return head.decode("utf-8", "replace") if len(head) <= DETECTION_SAMPLE else _cut(head)


def _cut(head: bytes) -> str:
    end = DETECTION_SAMPLE
    while end > 0 and (head[end] & 0xC0) == 0x80:
        end -= 1
    return head[:end].decode("utf-8", "replace")


def _read_head(location: str) -> bytes:
    with open(location, "rb") as handle:
        return handle.read(DETECTION_SAMPLE + 4)


def command_detect(args: argparse.Namespace) -> int:
    diagnostics = Diagnostics(sys.stderr)
    if "-" in args.paths:
        if len(args.paths) > 1:
            raise CliError("'-' (standard input) cannot be combined with other paths")
        head = sys.stdin.buffer.read(DETECTION_SAMPLE + 4)
        print(f"-\t{detect_language(_detection_head(head))}")
        return EXIT_OK
    sources, _ = collect_sources(args.paths, frozenset())
    for source in sources:
        if source.skip:
            diagnostics.notice(f"skipping {source.shown}: {source.skip}")
            continue
        try:
            head = _read_head(source.location)
        except OSError as error:
            raise CliError(f"cannot read {source.shown}: {_reason(error)}") from None
        language = detect_language(_detection_head(head), _path_hint(source.shown))
        # Bytes, so that a file name that is not UTF-8 comes out as it is on disk.
        sys.stdout.buffer.write(os.fsencode(source.shown) + b"\t" + language.encode() + b"\n")
    sys.stdout.flush()
    return EXIT_OK


# --------------------------------------------------------------------------- arguments


def _count(text: str) -> int:
    try:
        value = int(text, 10)
    except ValueError:
        raise argparse.ArgumentTypeError(f"not a whole number: '{text}'") from None
    if not 0 <= value <= MAX_COUNT:
        raise argparse.ArgumentTypeError(f"must be between 0 and {MAX_COUNT}: {text}")
    return value


def _jobs(text: str) -> int:
    value = _count(text)
    return value if value > 0 else (os.cpu_count() or 1)


def build_parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        prog=PROG,
        description="Fold source code, logs, Markdown, JSON and text into smaller, reported texts.",
    )
    parser.add_argument("--version", action="version", version=f"{PROG} {__version__}")
    commands = parser.add_subparsers(dest="command", metavar="COMMAND")
    commands.required = True

    fold = commands.add_parser(
        "fold",
        help="fold files, directories or standard input",
        description=(
            "Fold one input to standard output, or several files and directories into one bundle"
            " (each file preceded by a '==> PATH <==' line) or into --output-dir. Directories are"
            " walked in sorted order; files that are not UTF-8 text are skipped with a notice;"
            " symbolic links are followed only inside the tree; .git, .hg, .svn and .bzr are not"
            " walked."
        ),
    )
    fold.add_argument("paths", nargs="*", metavar="PATH", help="files or directories; '-' or none for standard input")
    fold.add_argument("--profile", default="safe", help="profile name (default: safe; see 'tersewright profiles')")
    fold.add_argument("--language", metavar="NAME", help="language instead of detection (python, go, log, ...)")
    fold.add_argument(
        "--allow-lossy",
        action=argparse.BooleanOptionalAction,
        default=None,
        help="let the profile's lossy rules run, or forbid them (default: the profile decides)",
    )
    budget = fold.add_mutually_exclusive_group()
    budget.add_argument("--budget-bytes", type=_count, metavar="N", help="report whether each output fits N bytes")
    budget.add_argument("--budget-chars", type=_count, metavar="N", help="report whether each output fits N characters")
    markers = fold.add_mutually_exclusive_group()
    markers.add_argument(
        "--protect-marker",
        action="append",
        metavar="TEXT",
        help="protect every line containing TEXT; repeatable; replaces the default markers",
    )
    markers.add_argument(
        "--no-protect-markers", action="store_true", help="protect no line by marker, not even the default ones"
    )
    fold.add_argument(
        "--keep-directives",
        action="store_true",
        help="also protect comments that tools act on (# type:, //go:build, eslint-disable, ...)",
    )
    fold.add_argument(
        "--report",
        choices=("none", "text", "json"),
        default="none",
        help="write each file's report to standard error (json: one line per file)",
    )
    outputs = fold.add_mutually_exclusive_group()
    outputs.add_argument("-o", "--output", metavar="FILE", help="write the folded text or bundle to FILE")
    outputs.add_argument("--output-dir", metavar="DIR", help="write each folded file under DIR, mirroring the tree")
    fold.add_argument(
        "-j", "--jobs", type=_jobs, default=1, metavar="N", help="fold in N worker processes (0: one per CPU)"
    )
    fold.add_argument(
        "--fail-over-budget", action="store_true", help="exit with status 1 when some output misses its budget"
    )
    fold.set_defaults(handler=command_fold)

    describe = commands.add_parser("profiles", help="list the profiles, or describe one as JSON")
    describe.add_argument("name", nargs="?", metavar="NAME")
    describe.add_argument("--markdown", action="store_true", help="print the profiles as a Markdown table")
    describe.set_defaults(handler=command_profiles)

    detect = commands.add_parser("detect", help="print the detected language of each file")
    detect.add_argument("paths", nargs="+", metavar="PATH", help="files or directories; '-' for standard input")
    detect.set_defaults(handler=command_detect)
    return parser


def main(argv: Optional[Sequence[str]] = None) -> int:
    args = build_parser().parse_args(argv)
    try:
        return args.handler(args)
    except CliError as error:
        sys.stdout.flush()
        print(f"{PROG}: {error}", file=sys.stderr)
        return EXIT_ERROR
    except KeyboardInterrupt:
        return 130
    except BrokenPipeError:
        # The reader went away (``| head``); say nothing more and keep the interpreter from
        # complaining about the unflushed standard output at exit.
        devnull = os.open(os.devnull, os.O_WRONLY)
        os.dup2(devnull, sys.stdout.fileno())
        return EXIT_ERROR

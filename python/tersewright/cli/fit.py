"""``tersewright fold --fit N``: one bundle that fits a limit, each file on the least lossy fold that gets there.

The search is tersewright.fit's; this module turns the command line into its arguments, loads a
tokenizer named as MODULE:ATTR, writes the bundle through the command line's output, and says on
standard error what was given up: a summary line, or with -v the plan as a table.
"""

from __future__ import annotations

import argparse
import importlib
import os
import sys
from dataclasses import dataclass
from typing import Any, Dict, List, Optional, Sequence, Tuple

from .errors import CliError, UsageError
from .outputs import OutputFile
from .parallel import NotFolded, in_workers
from .reporting import QUIET, VERBOSE, Diagnostics, not_folded_line, quote_path
from .sources import WalkOptions

EXIT_OK, EXIT_NOT_MET, EXIT_ERROR = 0, 1, 2

# Options that choose a fold for every file alike; --fit chooses each file's fold itself.
_CHOSEN_BY_FIT = (
    ("profile", None, "--profile"),
    ("language", None, "--language"),
    ("allow_lossy", None, "--allow-lossy/--no-allow-lossy"),
    ("budget_bytes", None, "--budget-bytes"),
    ("budget_chars", None, "--budget-chars"),
    ("report", "none", "--report"),
)


def check_fit_arguments(args: argparse.Namespace) -> None:
    """Refuse, before anything is read, options that cannot go with --fit or need it."""
    if args.fit is None:
        for name, flag in (("metric", "--metric"), ("tokenizer", "--tokenizer"), ("keep", "--keep")):
            if getattr(args, name) is not None:
                raise UsageError(f"{flag} goes with --fit N")
        return
    if args.output_dir is not None or args.in_place:
        raise UsageError(f"--fit writes one bundle; it cannot go with {'--in-place' if args.in_place else '--output-dir'}")
    if args.scheduler is not None:
        raise UsageError("--fit folds on this machine (--jobs N for workers); it cannot go with --scheduler")
    for name, default, flag in _CHOSEN_BY_FIT:
        if getattr(args, name) != default:
            raise UsageError(f"--fit chooses the fold of each file; it cannot go with {flag}")
    if args.metric is None:
        args.metric = "tokens" if args.tokenizer is not None else "bytes"
    if args.metric == "tokens" and args.tokenizer is None:
        raise UsageError("--metric tokens needs --tokenizer MODULE:ATTR (or use --metric bytes or characters)")
    if args.metric != "tokens" and args.tokenizer is not None:
        raise UsageError(f"--tokenizer counts tokens; it cannot go with --metric {args.metric}")


# --------------------------------------------------------------------------- the tokenizer


class _Counting:
    """A tokenizer whose own failures end the run in one line, not a traceback."""

    def __init__(self, tokenizer: Any, spec: str):
        self._count = tokenizer.count
        self._spec = spec
        name = getattr(tokenizer, "name", None)
        if isinstance(name, str) and name:
            self.name = name

    def count(self, text: str) -> Any:
        try:
            return self._count(text)
        except Exception as error:  # the tokenizer's own code: any error it raises is its failure
            raise CliError(f"the tokenizer {self._spec} failed: {type(error).__name__}: {error}") from None


def load_tokenizer(spec: str) -> Any:
    """The object MODULE:ATTR names (ATTR may be dotted), with count(text).

    A class is instantiated, and a callable without count() is taken as a factory and called with no
    arguments. The current directory is searched last for the module, so that a tokenizer kept beside
    the project is found however the command was started.
    """
    module_name, colon, attribute = spec.partition(":")
    if not colon or not module_name or not attribute:
        raise UsageError(f"--tokenizer takes MODULE:ATTR (as in mypackage.tokens:Counter), not '{spec}'")
    if os.getcwd() not in sys.path and "" not in sys.path:
        sys.path.append(os.getcwd())
    try:
        found: Any = importlib.import_module(module_name)
    except ModuleNotFoundError as error:
        if error.name is not None and (module_name == error.name or module_name.startswith(error.name + ".")):
            raise UsageError(f"--tokenizer {spec}: no module named '{error.name}'") from None
        raise CliError(f"--tokenizer {spec}: importing {module_name} failed: {error}") from None
    except Exception as error:  # the module's own code ran and failed
        raise CliError(f"--tokenizer {spec}: importing {module_name} failed: {type(error).__name__}: {error}") from None
    where = module_name
    for part in attribute.split("."):
        if not hasattr(found, part):
            raise UsageError(f"--tokenizer {spec}: {where} has no attribute '{part}'")
        found = getattr(found, part)
        where += f".{part}" if where != module_name else f":{part}"
    if isinstance(found, type) or (not callable(getattr(found, "count", None)) and callable(found)):
        try:
            found = found()
        except Exception as error:
            raise CliError(f"--tokenizer {spec}: calling {attribute}() failed: {type(error).__name__}: {error}") from None
    if not callable(getattr(found, "count", None)):
        raise UsageError(f"--tokenizer {spec}: {type(found).__name__} object has no count(text) method")
    return _Counting(found, spec)


# --------------------------------------------------------------------------- folds made in workers
# With --jobs N the folds are made in N worker processes and the search runs in this process on what
# they send back. The engine's reports do not pickle, so a worker sends each fold's text and its report
# as a dictionary, and the search gets them from an engine that looks them up. The search makes the
# same calls with the same arguments, so the bundle is the same byte for byte as with one process.

FoldKey = Tuple[Any, ...]


def _key(text: str, options: Dict[str, Any]) -> FoldKey:
    import hashlib  # only fitting needs it; a plain fold starts without it

    ranges = options.get("protected_ranges")
    markers = options.get("protected_line_markers")
    return (
        hashlib.sha256(text.encode("utf-8", "surrogatepass")).digest(), options.get("profile"), options.get("path"),
        options.get("language"), None if ranges is None else tuple(map(tuple, ranges)),
        None if markers is None else tuple(markers),
    )  # fmt: skip


class _Report:
    """A fold's report as a worker sent it: what the search and the bundle read of a report."""

    def __init__(self, details: Dict[str, Any]):
        self._details = details
        self.behavior_preserving: bool = details["behavior_preserving"]
        self.profile: str = details["profile"]

    def to_dict(self) -> Dict[str, Any]:
        return self._details


class _Result:
    def __init__(self, output: str, details: Dict[str, Any]):
        self.output = output
        self.report = _Report(details)


class _Recording:
    """An engine that folds and keeps every fold it made, as plain data; folds already known (made by
    an earlier round of workers) are given back, not made again."""

    def __init__(self, known: Dict[FoldKey, Tuple[str, Dict[str, Any]]]) -> None:
        from .. import Engine

        self.engine = Engine()
        self.known = known
        self.folds: Dict[FoldKey, Tuple[str, Dict[str, Any]]] = {}

    def fold(self, text: str, **options: Any) -> Any:
        found = self.known.get(_key(text, options))
        if found is not None:
            return _Result(*found)
        result = self.engine.fold(text, **options)
        self.folds[_key(text, options)] = (result.output, result.report.to_dict())
        return result


class _Missing(Exception):
    """The search asked for a fold the workers have not made."""


class _Replaying:
    """An engine that gives back the folds the workers made; a fold it lacks raises _Missing, or, once
    every fold was asked of the workers, is made here (a file changed between two reads)."""

    def __init__(self, folds: Dict[FoldKey, Tuple[str, Dict[str, Any]]], complete: bool):
        self.folds = folds
        self.complete = complete

    def fold(self, text: str, **options: Any) -> Any:
        found = self.folds.get(_key(text, options))
        if found is not None:
            return _Result(*found)
        if not self.complete:
            raise _Missing()
        from .. import Engine

        result = Engine().fold(text, **options)
        return _Result(result.output, result.report.to_dict())


def _folds_in_workers(
    walked: Sequence[Any], every_rung: bool, options: Dict[str, Any], jobs: int, known: Dict[FoldKey, Any]
) -> Dict[FoldKey, Any]:
    """The folds of each walked file, made in jobs workers, with those known: its first rung, or with
    every_rung all of its ladder (a limit of 0 takes each file through every rung). A file that cannot
    be read has none; the search reads it again and reports it."""
    from ..fitting import fit, read_text

    def task(index: int) -> Any:
        found = walked[index]
        if found.skip:
            return {}
        text, _, _ = read_text(found.location)
        if text is None:
            return {}
        engine: Any = _Recording(known)  # fit takes any object that folds as an engine does
        fit([(found.label, text)], 0 if every_rung else 2**62, metric="characters", engine=engine, **options)
        return engine.folds

    folds: Dict[FoldKey, Any] = dict(known)
    outcomes = in_workers(task, [w.shown for w in walked], jobs)  # type: ignore[arg-type]
    try:
        for outcome in outcomes:
            if isinstance(outcome, dict):  # a worker that died leaves its file to the search
                folds.update(outcome)
    finally:
        outcomes.close()
    return folds


# --------------------------------------------------------------------------- what the run says


@dataclass(frozen=True)
class Fitted:
    """What the command line keeps of a fit: plain data, so that it can come back from a worker process
    (the engine's reports do not pickle)."""

    text: str
    met: bool
    size: int
    limit: int
    metric: str
    tokenizer: Optional[str]
    rungs: Dict[str, int]
    # path, profile, before, after, lossy, omitted
    plan: Tuple[Tuple[str, str, int, int, bool, bool], ...]
    # the path as shown, the reason, whether it failed
    skipped: Tuple[Tuple[str, str, bool], ...]

    @classmethod
    def of(cls, result: Any) -> "Fitted":
        return cls(
            result.text, result.met, result.size, result.limit, result.metric, result.tokenizer, result.rungs(),
            tuple((e.path, e.profile, e.before, e.after, e.lossy, e.omitted) for e in result.plan),
            tuple((s.shown or quote_path(s.path), s.reason, s.failed) for s in result.skipped),
        )  # fmt: skip


def plan_table(result: Fitted) -> List[str]:
    """The plan as aligned lines: file, profile, before, after, lossy, omitted; then the totals."""
    unit = result.metric
    rows = [["file", "profile", f"before ({unit})", f"after ({unit})", "lossy", "omitted"]]
    for path, profile, before, after, lossy, omitted in result.plan:
        rows.append([quote_path(path), profile, str(before), str(after), "yes" if lossy else "no", "yes" if omitted else "no"])
    rows.append(["total", "", str(sum(e[2] for e in result.plan)), str(sum(e[3] for e in result.plan)), "", ""])
    widths = [max(len(row[column]) for row in rows) for column in range(6)]
    lines = []
    for row in rows:
        cells = [cell.rjust(width) if column in (2, 3) else cell.ljust(width)
                 for column, (cell, width) in enumerate(zip(row, widths))]  # fmt: skip
        lines.append("  ".join(cells).rstrip())
    return lines


def summary_line(result: Fitted, failed: int) -> str:
    """Inputs, files per rung, the bundle against the limit."""
    files = len(result.plan)
    rungs = ", ".join(f"{count} {rung}" for rung, count in result.rungs.items())
    unit = result.metric if result.tokenizer is None else f"{result.metric} (tokenizer {result.tokenizer})"
    skipped = len(result.skipped) - failed
    return (f"fit {files} file{'' if files == 1 else 's'}{f' ({rungs})' if rungs else ''}, {skipped} skipped,"
            f" {failed} failed: bundle {result.size} of {result.limit} {unit}, limit {'met' if result.met else 'NOT met'}")  # fmt: skip


# --------------------------------------------------------------------------- the run


def fold_to_fit(
    args: argparse.Namespace, paths: Sequence[str], markers: Optional[List[str]], walk: WalkOptions
) -> int:
    """Fit the files under paths into args.fit, write the bundle, and say what was given up."""
    from ..fitting import fit  # the search and its bundles load only for runs that fit

    if "-" in paths:
        raise UsageError("--fit needs files or directories, not standard input")
    tokenizer = load_tokenizer(args.tokenizer) if args.tokenizer is not None else None

    options: Dict[str, Any] = {"protected_line_markers": markers, "keep_directives": not args.strip_directives}

    def fitted(engine: Any = None) -> Fitted:
        try:
            result = fit(
                list(paths),
                args.fit,
                metric=args.metric,
                tokenizer=tokenizer,
                keep=tuple(args.keep or ()),
                style=args.style or "plain",
                tree=args.tree,
                walk=walk,
                strict_paths=False,
                engine=engine,
                **options,
            )
        except (TypeError, ValueError) as error:  # what a tokenizer returned, or two inputs with one label
            raise CliError(str(error)) from None
        return Fitted.of(result)

    def in_one_worker(_: int) -> Any:
        try:
            return fitted()
        except CliError as error:  # said as it would be in this process
            return NotFolded(str(error), failed=True)

    output = OutputFile(args.output)  # an output that cannot be written fails before the work
    try:
        if args.jobs > 1:
            # The first rung of every file first: a limit that fits them needs nothing more.
            from ..fitting import walk_paths

            walked = walk_paths(list(paths), walk, strict=False)
            first = _folds_in_workers(walked, False, options, args.jobs, {})
            try:
                result = fitted(_Replaying(first, complete=False))
            except _Missing:
                result = fitted(_Replaying(_folds_in_workers(walked, True, options, args.jobs, first), complete=True))
        else:
            # The fit runs in a worker process, so that a signal stops even the fold of a large file
            # at once: a fold holds the interpreter lock to its end.
            runs = in_workers(in_one_worker, ["--fit"], 1)
            try:
                outcome: Any = next(runs)
            finally:
                runs.close()
            if isinstance(outcome, NotFolded):
                raise CliError(outcome.message)
            result = outcome
        output.write(result.text.encode("utf-8"))
        output.commit()
    finally:
        output.discard()

    diagnostics = Diagnostics(sys.stderr, verbosity=args.verbosity)
    failed = 0
    for shown, why, failure in result.skipped:
        line = not_folded_line(shown, why, failure)
        if failure:
            failed += 1
            diagnostics.failure(line)
        else:
            diagnostics.detail(line)
    if args.verbosity >= VERBOSE:
        for line in plan_table(result):
            diagnostics.line(line)
    if args.verbosity > QUIET:
        diagnostics.notice(summary_line(result, failed))
    if failed:
        return EXIT_ERROR
    return EXIT_OK if result.met else EXIT_NOT_MET

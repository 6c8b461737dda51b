"""The ``tersewright`` command line: fold files and trees, describe profiles, detect languages.

Exit status: 0 on success; 1 when ``--fail-over-budget`` is given and some file missed its budget;
2 for usage errors, unknown profiles or languages, unreadable inputs and unwritable outputs, each
reported as one line on standard error; 128 plus the signal's number for a run stopped by SIGINT,
SIGTERM or SIGHUP, after its workers are stopped and its temporary files removed.
"""

from __future__ import annotations

import argparse
import json
import os
import sys
from typing import Callable, Dict, List, NoReturn, Optional, Sequence, Union

from .. import UnknownProfileError, __version__, detect_language, fold, profile_info, profiles
from ..directives import DEFAULT_MARKERS, DIRECTIVE_MARKERS
from .errors import CliError, Stopped, UsageError, reason, stopping_signals
from .outputs import (
    Bundle,
    InPlace,
    Mirror,
    OutputFile,
    checked_standard_streams,
    keep_standard_descriptors_taken,
    refuse_output_over_inputs,
    standard_error_failed,
)
from .parallel import FoldOptions, Folded, NotFolded, fold_one, fold_sources, fold_stdin
from .reporting import PROG, REPORT_MODES, Diagnostics, Tally
from .sources import collect_sources, identity, path_hint, read_detection_text

EXIT_OK = 0
EXIT_OVER_BUDGET = 1
EXIT_ERROR = 2
EXIT_INTERRUPTED = 130
MAX_COUNT = 2**64 - 1


def _unknown_profile(name: str) -> CliError:
    return CliError(f"unknown profile '{name}' (choose from {', '.join(profiles())})")


def _only_stdin(paths: Sequence[str]) -> bool:
    """Whether the paths ask for standard input; '-' stands alone."""
    if "-" not in paths:
        return False
    if len(paths) > 1:
        raise UsageError("'-' (standard input) cannot be combined with other paths")
    return True


# --------------------------------------------------------------------------- fold


def _fold_options(args: argparse.Namespace) -> FoldOptions:
    markers: Optional[List[str]]
    if args.no_protect_markers:
        markers = []
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
        report=args.report,
    )


def check_profile_and_language(profile: str, language: Optional[str]) -> None:
    """Report a bad profile or language name before any input is read.

    The checks come in the order of a fold's own: a name that is not valid text, then the language,
    then whether the profile exists.
    """
    try:
        profile_info(profile)
        unknown_profile = False
    except UnknownProfileError:
        unknown_profile = True
    except ValueError as error:
        raise CliError(str(error)) from None
    if language is not None:
        try:
            # Which names mean a language (ids, aliases, extensions) is the engine's to say; folding
            # nothing under the name is how to ask it.
            fold("", language=language)
        except ValueError as error:
            raise CliError(str(error)) from None
    if unknown_profile:
        raise _unknown_profile(profile)


def _finish_single(args: argparse.Namespace, outcome: Folded) -> int:
    output = OutputFile(args.output)
    try:
        output.write(outcome.output)
        output.commit()
    finally:
        output.discard()
    if outcome.report.text:
        Diagnostics(sys.stderr).line(outcome.report.text)
    if args.fail_over_budget and outcome.report.over_budget:
        return EXIT_OVER_BUDGET
    return EXIT_OK


def _fold_stdin(args: argparse.Namespace, options: FoldOptions) -> int:
    if args.output_dir is not None:
        raise UsageError("--output-dir needs files or directories, not standard input")
    outcome = fold_stdin(options)
    if isinstance(outcome, NotFolded):
        raise CliError(outcome.message)
    return _finish_single(args, outcome)


def _fold_many(args: argparse.Namespace, options: FoldOptions, paths: Sequence[str]) -> int:
    excluded = frozenset(i for i in (identity(args.output), identity(args.output_dir)) if i is not None)
    sources, any_directory = collect_sources(paths, excluded)

    if not any_directory and len(sources) == 1 and args.output_dir is None:
        outcome = fold_one(sources[0], options)
        if isinstance(outcome, NotFolded):
            # A file named on its own is only skipped for not being text.
            raise CliError(outcome.message if outcome.failed else f"cannot fold {sources[0].shown}: not UTF-8 text")
        return _finish_single(args, outcome)

    destination: Union[Bundle, Mirror] = (
        Bundle(args.output) if args.output_dir is None else Mirror(args.output_dir, sources)
    )
    diagnostics = Diagnostics(sys.stderr, len(sources))
    tally = Tally()
    outcomes = fold_sources(sources, options, args.jobs)
    try:
        for source, outcome in zip(sources, outcomes):
            if isinstance(outcome, NotFolded):
                if outcome.failed:
                    raise CliError(outcome.message)
                tally.skipped += 1
                diagnostics.notice(outcome.message)
            else:
                destination.add(source, outcome.output)
                tally.add(outcome.report)
                if outcome.report.text:
                    diagnostics.line(outcome.report.text)
            diagnostics.advance(source.shown)
        destination.commit()
    finally:
        outcomes.close()
        diagnostics.finish()
        destination.discard()
    diagnostics.line(tally.summary())
    if args.fail_over_budget and tally.over_budget:
        return EXIT_OVER_BUDGET
    return EXIT_OK


def _fold_in_place(args: argparse.Namespace, options: FoldOptions, paths: Sequence[str]) -> int:
    """Replace each file named by its folded text; a file that fails is reported and the others go on."""
    if not paths or "-" in paths:
        raise UsageError("--in-place folds files, not standard input")
    for path in paths:
        if os.path.isdir(path):
            raise UsageError(f"--in-place folds the files it is given, and {path} is a directory")
    sources, _ = collect_sources(paths, frozenset())
    replacer = InPlace(sources)
    diagnostics = Diagnostics(sys.stderr)
    failed = over_budget = False
    outcomes = fold_sources(sources, options, args.jobs)
    try:
        for source, outcome in zip(sources, outcomes):
            if isinstance(outcome, NotFolded):
                failed = True
                diagnostics.notice(outcome.message if outcome.failed else f"cannot fold {source.shown}: not UTF-8 text")
                continue
            if outcome.report.text:
                diagnostics.line(outcome.report.text)
            over_budget = over_budget or outcome.report.over_budget
            if outcome.changed:
                try:
                    replacer.replace(source, outcome.output)
                except CliError as error:
                    failed = True
                    diagnostics.notice(str(error))
    finally:
        outcomes.close()
    if failed:
        return EXIT_ERROR
    return EXIT_OVER_BUDGET if args.fail_over_budget and over_budget else EXIT_OK


def _terminal(fd: int) -> bool:
    try:
        return os.isatty(fd)
    except OSError:
        return False


def command_fold(args: argparse.Namespace) -> int:
    options = _fold_options(args)
    check_profile_and_language(options.profile, options.language)
    if args.in_place:
        return _fold_in_place(args, options, args.paths)
    if not args.paths and _terminal(0):
        # Waiting for a text to be typed is never what a bare `tersewright fold` means.
        raise UsageError("no PATH given, and standard input is a terminal ('-' reads it)", show_usage=True)
    paths = args.paths or ["-"]
    refuse_output_over_inputs(args.output, paths)
    if _only_stdin(paths):
        return _fold_stdin(args, options)
    return _fold_many(args, options, paths)


# --------------------------------------------------------------------------- profiles


def profile_table() -> str:
    """The profiles as a Markdown table, built from profile_info so that it cannot drift."""
    rows = [
        "| profile | comments | docstrings | blank lines | interface only | log repeats kept |"
        " Markdown dedupe | lossy rules allowed |",
        "|---|---|---|---|---|---|---|---|",
    ]
    described = [(name, profile_info(name)) for name in profiles()]
    for name, info in described:
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
    rows.extend(f"- `{name}`: {info['description']}" for name, info in described)
    return "\n".join(rows)


def command_profiles(args: argparse.Namespace) -> int:
    if args.markdown:
        if args.name is not None:
            raise UsageError("--markdown describes every profile; give no NAME with it")
        print(profile_table())
        return EXIT_OK
    if args.name is not None:
        try:
            info = profile_info(args.name)
        except UnknownProfileError:
            raise _unknown_profile(args.name) from None
        print(json.dumps(info, indent=2, ensure_ascii=False))
        return EXIT_OK
    names = profiles()
    width = max(len(name) for name in names)
    for name in names:
        print(f"{name:<{width}}  {profile_info(name)['description']}")
    return EXIT_OK


# --------------------------------------------------------------------------- detect


def command_detect(args: argparse.Namespace) -> int:
    if _only_stdin(args.paths):
        print(f"-\t{detect_language(read_detection_text(sys.stdin.buffer))}")
        return EXIT_OK
    diagnostics = Diagnostics(sys.stderr)
    sources, _ = collect_sources(args.paths, frozenset())
    for source in sources:
        if source.skip:
            diagnostics.notice(f"skipping {source.shown}: {source.skip}")
            continue
        try:
            with open(source.location, "rb") as handle:
                text = read_detection_text(handle)
        except OSError as error:
            raise CliError(f"cannot read {source.shown}: {reason(error)}") from None
        language = detect_language(text, path_hint(source.shown))
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


def usable_cpus() -> int:
    """The CPUs this process may run on."""
    try:
        return len(os.sched_getaffinity(0)) or 1
    except (AttributeError, OSError):
        return os.cpu_count() or 1


def _jobs(text: str) -> int:
    # More workers than CPUs only add processes that wait for one.
    value = _count(text)
    return usable_cpus() if value == 0 else min(value, usable_cpus())


class _Parser(argparse.ArgumentParser):
    """Arguments whose errors are one line and a pointer to the help, not the whole usage."""

    def __init__(self, *args: object, **kwargs: object) -> None:
        super().__init__(*args, **kwargs)  # type: ignore[arg-type]
        self.commands: Dict[str, "_Parser"] = {}

    def error(self, message: str) -> NoReturn:
        command = self.prog[len(PROG) :].strip() or None
        raise UsageError(message, command)


def build_parser() -> _Parser:
    parser = _Parser(
        prog=PROG,
        description="Fold source code, logs, Markdown, JSON and text into smaller, reported texts.",
    )
    parser.add_argument("--version", action="version", version=f"{PROG} {__version__}")
    commands = parser.add_subparsers(dest="command", metavar="COMMAND")
    commands.required = True

    fold_command = commands.add_parser(
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
    fold_command.add_argument(
        "paths", nargs="*", metavar="PATH", help="files or directories; '-' or none for standard input"
    )
    fold_command.add_argument(
        "--profile", default="safe", help="profile name (default: safe; see 'tersewright profiles')"
    )
    fold_command.add_argument("--language", metavar="NAME", help="language instead of detection (python, go, log, ...)")
    fold_command.add_argument(
        "--allow-lossy",
        action=argparse.BooleanOptionalAction,
        default=None,
        help="let the profile's lossy rules run, or forbid them (default: the profile decides)",
    )
    budget = fold_command.add_mutually_exclusive_group()
    budget.add_argument("--budget-bytes", type=_count, metavar="N", help="report whether each output fits N bytes")
    budget.add_argument("--budget-chars", type=_count, metavar="N", help="report whether each output fits N characters")
    markers = fold_command.add_mutually_exclusive_group()
    markers.add_argument(
        "--protect-marker",
        action="append",
        metavar="TEXT",
        help="protect every line containing TEXT; repeatable; replaces the default markers",
    )
    markers.add_argument(
        "--no-protect-markers", action="store_true", help="protect no line by marker, not even the default ones"
    )
    fold_command.add_argument(
        "--keep-directives",
        action="store_true",
        help="also protect comments that tools act on (# type:, //go:build, eslint-disable, ...)",
    )
    fold_command.add_argument(
        "--report",
        choices=REPORT_MODES,
        default="none",
        help="write each file's report to standard error (json: one line per file)",
    )
    outputs = fold_command.add_mutually_exclusive_group()
    outputs.add_argument(
        "-o", "--output", metavar="FILE", help="write the folded text or bundle to FILE ('-': standard output)"
    )
    outputs.add_argument("--output-dir", metavar="DIR", help="write each folded file under DIR, mirroring the tree")
    outputs.add_argument(
        "--in-place",
        action="store_true",
        help="replace each FILE by its folded text (each in one step; a file the fold leaves as it is is not touched)",
    )
    fold_command.add_argument(
        "-j",
        "--jobs",
        type=_jobs,
        default=1,
        metavar="N",
        help="fold in N worker processes, at most one per CPU (0: one per CPU)",
    )
    fold_command.add_argument(
        "--fail-over-budget", action="store_true", help="exit with status 1 when some output misses its budget"
    )
    fold_command.set_defaults(handler=command_fold)

    describe = commands.add_parser("profiles", help="list the profiles, or describe one as JSON")
    describe.add_argument("name", nargs="?", metavar="NAME")
    describe.add_argument("--markdown", action="store_true", help="print the profiles as a Markdown table")
    describe.set_defaults(handler=command_profiles)

    detect = commands.add_parser("detect", help="print the detected language of each file")
    detect.add_argument("paths", nargs="+", metavar="PATH", help="files or directories; '-' for standard input")
    detect.set_defaults(handler=command_detect)
    parser.commands.update(fold=fold_command, profiles=describe, detect=detect)
    return parser


def _say(*lines: str) -> None:
    """Write lines to standard error, unless standard error itself is what fails."""
    try:
        sys.stderr.write("".join(line + "\n" for line in lines))
        sys.stderr.flush()
    except (OSError, CliError):
        pass


def _run(parser: _Parser, argv: Optional[Sequence[str]]) -> int:
    command: Optional[str] = None
    try:
        try:
            args = parser.parse_args(argv)
        except SystemExit as leaving:  # --help and --version, once printed
            status = leaving.code if isinstance(leaving.code, int) else EXIT_OK
        else:
            command = args.command
            handler: Callable[[argparse.Namespace], int] = args.handler
            status = handler(args)
        sys.stdout.flush()
        sys.stderr.flush()
        return status
    except UsageError as error:
        named = error.command or command
        lines = [f"{PROG}: {error}", f"Try '{PROG}{' ' + named if named else ''} --help' for more information."]
        if error.show_usage:
            lines.insert(0, parser.commands.get(named or "", parser).format_usage().rstrip("\n"))
        _say(*lines)
        return EXIT_ERROR
    except CliError as error:
        if not standard_error_failed(error):
            _say(f"{PROG}: {error}")
        return EXIT_ERROR
    except Stopped as stop:
        return 128 + stop.signum
    except KeyboardInterrupt:
        return EXIT_INTERRUPTED
    except BrokenPipeError:
        # The reader went away (``| head``): nothing more to say, and nothing left to write.
        return EXIT_ERROR


def main(argv: Optional[Sequence[str]] = None) -> int:
    """Run one command; returns the exit status.

    Every write to standard output and standard error is complete or reported, and a stopping signal
    ends the run through its cleanup: workers stopped, temporary files removed.
    """
    keep_standard_descriptors_taken()
    with stopping_signals(), checked_standard_streams():
        try:
            return _run(build_parser(), argv)
        except Stopped as stop:  # a signal during the report of a failure
            return 128 + stop.signum

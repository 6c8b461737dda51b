"""The ``tersewright`` command line: fold files and trees, describe profiles, detect languages.

Exit status: 0 on success; 1 when ``--fail-over-budget`` is given and some file missed its budget,
or when ``--fit``'s limit cannot be met;
2 for usage errors, unknown profiles or languages, unreadable inputs and unwritable outputs, each
reported as one line on standard error (an input that cannot be read does not stop the others: the
run folds the rest and ends with status 2); 128 plus the signal's number for a run stopped by SIGINT,
SIGTERM or SIGHUP, after its workers are stopped and its temporary files removed.
"""

from __future__ import annotations

import argparse
import os
import sys
from typing import Callable, Dict, Generator, List, NoReturn, Optional, Sequence, Union

from .. import UnknownProfileError, __version__, detect_language, fold, profile_info, profiles
from ..bundle import STYLES, label_base
from ..directives import DEFAULT_MARKERS, DIRECTIVE_MARKERS
from .errors import CliError, Stopped, UsageError, stopping_signals
from .fit import check_fit_arguments, fold_to_fit
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
from .cluster import fold_on_cluster, fold_one_on_cluster, scheduler_address
from .parallel import BINARY, FoldOptions, Folded, NotFolded, Outcome, fold_one, fold_sources, fold_stdin
from .reporting import (
    NORMAL,
    PROG,
    QUIET,
    REPORT_MODES,
    VERBOSE,
    Diagnostics,
    Tally,
    budget_phrase,
    folded_line,
    language_hint,
    not_folded_line,
)
from .sources import Source, WalkOptions, collect_sources, identity, path_hint, read_detection_text, stat_failure

EXIT_OK = 0
EXIT_OVER_BUDGET = 1
EXIT_ERROR = 2
EXIT_INTERRUPTED = 130
MAX_COUNT = 2**64 - 1


def _unknown_profile(name: str) -> CliError:
    return CliError(f"unknown profile '{_escaped(name)}' (choose from {', '.join(profiles())})")


def _escaped(name: str) -> str:
    """A name from the command line as it can be shown: bytes that are not UTF-8 as \\xNN."""
    return name.encode("utf-8", "surrogateescape").decode("utf-8", "backslashreplace")


def _is_text(name: str) -> bool:
    """Whether a name from the command line is UTF-8; other bytes reach Python as surrogate escapes."""
    try:
        name.encode("utf-8")
        return True
    except UnicodeEncodeError:
        return False


def _only_stdin(paths: Sequence[str]) -> bool:
    """Whether the paths ask for standard input; '-' stands alone."""
    if "-" not in paths:
        return False
    if len(paths) > 1:
        raise UsageError("'-' (standard input) cannot be combined with other paths")
    return True


# --------------------------------------------------------------------------- fold


def _asked_markers(args: argparse.Namespace) -> Optional[List[str]]:
    """The markers the command line names, before directives are added; None for the defaults."""
    if args.no_protect_markers:
        return []
    if args.protect_marker is not None:
        return list(args.protect_marker)
    return None


def _fold_options(args: argparse.Namespace) -> FoldOptions:
    markers = _asked_markers(args)
    # Directives are kept unless asked otherwise: losing one changes how the file builds or is checked.
    if not args.strip_directives:
        base = list(DEFAULT_MARKERS) if markers is None else markers
        extra = [m for m in DIRECTIVE_MARKERS if m not in DEFAULT_MARKERS]
        markers = list(dict.fromkeys(base + extra))
    return FoldOptions(
        profile=args.profile or "safe",
        language=args.language,
        allow_lossy=args.allow_lossy,
        budget_bytes=args.budget_bytes,
        budget_chars=args.budget_chars,
        markers=None if markers is None else tuple(markers),
        directives=not args.strip_directives,
        report=args.report,
        bundle_reports=args.style == "json",
    )


def check_profile_and_language(profile: str, language: Optional[str]) -> None:
    """Report a bad profile or language name before any input is read.

    The checks come in the order of a fold's own: a name that is not valid text, then the language,
    then whether the profile exists.
    """
    try:
        # No profile is named by bytes that are not UTF-8 text.
        unknown_profile = not _is_text(profile)
        if not unknown_profile:
            profile_info(profile)
    except UnknownProfileError:
        unknown_profile = True
    except ValueError as error:
        raise CliError(str(error)) from None
    if language is not None and not _is_text(language):
        raise CliError(f"unknown language: {_escaped(language).lower()}")
    if language is not None:
        try:
            # Which names mean a language (ids, aliases, extensions) is the engine's to say; folding
            # nothing under the name is how to ask it.
            fold("", language=language)
        except ValueError as error:
            raise CliError(str(error)) from None
    if unknown_profile:
        raise _unknown_profile(profile)


def _finish_single(args: argparse.Namespace, outcome: Folded, name: str) -> int:
    output = OutputFile(args.output)
    try:
        output.write(outcome.output)
        output.commit()
    finally:
        output.discard()
    diagnostics = Diagnostics(sys.stderr, verbosity=args.verbosity)
    if outcome.report.text:
        diagnostics.line(outcome.report.text)
    diagnostics.detail(folded_line(outcome.report))
    if outcome.report.over_budget:
        diagnostics.notice(f"{name}: {budget_phrase(outcome.report)}")
    if args.fail_over_budget and outcome.report.over_budget:
        return EXIT_OVER_BUDGET
    return EXIT_OK


def _fold_stdin(args: argparse.Namespace, options: FoldOptions) -> int:
    if args.output_dir is not None:
        raise UsageError("--output-dir needs files or directories, not standard input")
    if args.scheduler is not None:
        raise UsageError("--scheduler folds files and directories, not standard input")
    if args.style is not None or args.tree:
        raise UsageError("--style and --tree shape a bundle of files, not standard input")
    outcome = fold_stdin(options)
    if isinstance(outcome, NotFolded):
        raise CliError(outcome.message)
    hint = "" if options.language is not None else language_hint(outcome.report)
    if hint:
        Diagnostics(sys.stderr, verbosity=args.verbosity).notice(hint)
    return _finish_single(args, outcome, "standard input")


def _outcomes(args: argparse.Namespace, sources: List[Source], options: FoldOptions) -> Generator[Outcome, None, None]:
    """Where the outcomes come from: this machine's worker processes, or the Dask cluster of --scheduler."""
    if args.scheduler is None:
        return fold_sources(sources, options, args.jobs)
    return fold_on_cluster(sources, options, args.scheduler)


def _fold_many(args: argparse.Namespace, options: FoldOptions, paths: Sequence[str]) -> int:
    excluded = frozenset(i for i in (identity(args.output), identity(args.output_dir)) if i is not None)
    sources, any_directory = collect_sources(paths, excluded, _walk_options(args))

    bundled = args.style is not None or args.tree  # asked for a bundle, even of one file
    if not any_directory and len(sources) == 1 and args.output_dir is None and not bundled:
        if args.scheduler is None:
            outcome = fold_one(sources[0], options)
        else:
            outcome = fold_one_on_cluster(sources[0], options, args.scheduler)
        if isinstance(outcome, NotFolded):
            # A file named on its own that cannot be folded fails, a binary one too: nothing would be written.
            raise CliError(outcome.message if outcome.failed else not_folded_line(sources[0].shown, BINARY, True))
        return _finish_single(args, outcome, sources[0].shown)

    if args.output_dir is None:
        destination: Union[Bundle, Mirror] = Bundle(args.output, label_base(paths, strict=False), args.style or "plain", args.tree)
    else:
        destination = Mirror(args.output_dir, sources)
    diagnostics = Diagnostics(sys.stderr, len(sources), args.verbosity)
    tally = Tally()
    outcomes = _outcomes(args, sources, options)
    try:
        for source, outcome in zip(sources, outcomes):
            if isinstance(outcome, NotFolded):
                # A file that cannot be read is reported and counted; the others are still folded.
                if outcome.failed:
                    tally.failed += 1
                    diagnostics.failure(outcome.message)
                else:
                    tally.skipped += 1
                    diagnostics.detail(outcome.message)
            else:
                destination.add(source, outcome.output, outcome.report)
                tally.add(outcome.report)
                if outcome.report.text:
                    diagnostics.line(outcome.report.text)
                diagnostics.detail(folded_line(outcome.report))
            diagnostics.advance(source.shown)
        destination.commit()
    finally:
        outcomes.close()
        diagnostics.finish()
        destination.discard()
    diagnostics.notice(tally.summary())
    if tally.failed:
        return EXIT_ERROR
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
    diagnostics = Diagnostics(sys.stderr, verbosity=args.verbosity)
    failed = over_budget = False
    outcomes = _outcomes(args, sources, options)
    try:
        for source, outcome in zip(sources, outcomes):
            if isinstance(outcome, NotFolded):
                failed = True
                # A file named to be replaced and left alone (a binary one) is a failure too.
                diagnostics.failure(outcome.message)
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
    check_fit_arguments(args)
    if (args.style is not None or args.tree) and (args.output_dir is not None or args.in_place):
        flag = "--in-place" if args.in_place else "--output-dir"
        raise UsageError(f"--style and --tree shape a bundle; {flag} writes each file on its own")
    options = _fold_options(args)
    check_profile_and_language(options.profile, options.language)
    if args.in_place:
        return _fold_in_place(args, options, args.paths)
    if not args.paths and _terminal(0):
        # Waiting for a text to be typed is never what a bare `tersewright fold` means.
        raise UsageError("no PATH given, and standard input is a terminal ('-' reads it)", show_usage=True)
    paths = args.paths or ["-"]
    refuse_output_over_inputs(args.output, paths)
    if args.fit is not None:
        return fold_to_fit(args, paths, _asked_markers(args), _walk_options(args))
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
            if not _is_text(args.name):
                raise UnknownProfileError(args.name)
            info = profile_info(args.name)
        except UnknownProfileError:
            raise _unknown_profile(args.name) from None
        import json  # only this listing writes JSON here

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
    diagnostics = Diagnostics(sys.stderr, verbosity=args.verbosity)
    sources, _ = collect_sources(args.paths, frozenset(), _walk_options(args))
    failed = False
    for source in sources:
        if source.skip:
            failed = failed or source.failed
            (diagnostics.failure if source.failed else diagnostics.detail)(
                not_folded_line(source.shown, source.skip, source.failed)
            )
            continue
        try:
            with open(source.location, "rb") as handle:
                text = read_detection_text(handle)
        except OSError as error:
            failed = True
            diagnostics.failure(not_folded_line(source.shown, stat_failure(error), True))
            continue
        language = detect_language(text, path_hint(source.path))
        sys.stdout.buffer.write(source.shown.encode("utf-8") + b"\t" + language.encode() + b"\n")
    sys.stdout.flush()
    return EXIT_ERROR if failed else EXIT_OK


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


SIZE_SUFFIXES = {"": 1, "K": 1024, "M": 1024**2, "G": 1024**3}


def _size(text: str) -> int:
    """A size in bytes, with an optional K, M or G suffix in units of 1024."""
    number, suffix = (text[:-1], text[-1:].upper()) if text[-1:].isalpha() else (text, "")
    if suffix not in SIZE_SUFFIXES or not number.isdigit():
        raise argparse.ArgumentTypeError(f"not a size (bytes, or a number with K, M or G): '{text}'")
    return int(number) * SIZE_SUFFIXES[suffix]


def _walk_options(args: argparse.Namespace) -> WalkOptions:
    return WalkOptions(
        ignore_files=not args.no_ignore,
        hidden=args.hidden,
        globs=tuple(args.glob or ()),
        max_filesize=args.max_filesize,
    )


def _add_walk_options(parser: argparse.ArgumentParser) -> None:
    """The options of commands that walk directories: what to take, and how much to say."""
    parser.add_argument(
        "--no-ignore", action="store_true", help="take files that .gitignore, .ignore and .git/info/exclude leave out"
    )
    parser.add_argument("--hidden", action="store_true", help="take hidden files and directories (.git stays out)")
    parser.add_argument(
        "-g",
        "--glob",
        action="append",
        metavar="PATTERN",
        help="take only files matching this gitignore-style pattern, relative to each directory walked;"
        " a leading '!' leaves matches out; repeatable, later ones win",
    )
    parser.add_argument(
        "--max-filesize", type=_size, metavar="SIZE", help="skip files larger than SIZE bytes (suffixes K, M, G)"
    )
    verbosity = parser.add_mutually_exclusive_group()
    verbosity.add_argument(
        "-q", "--quiet", dest="verbosity", action="store_const", const=QUIET, default=NORMAL,
        help="say nothing on standard error but failures (and the reports asked for with --report)",
    )
    verbosity.add_argument(
        "-v", "--verbose", dest="verbosity", action="store_const", const=VERBOSE,
        help="also list every file skipped, with the reason, and every file folded",
    )


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
            " (each file preceded by a '==> PATH <==' line, PATH relative to the folder named; see"
            " --style and --tree) or into --output-dir; with --fit N, into one bundle of at most N,"
            " each file folded as little as the limit allows. Directories are"
            " walked in sorted order, leaving out what .gitignore, .ignore and .git/info/exclude"
            " ignore and hidden entries; binary files are skipped; symbolic links are followed only"
            " inside the tree; .git, .hg, .svn and .bzr are not walked. Paths named on the command"
            " line are always taken. A file that cannot be read, or is not UTF-8 text, is reported"
            " and the others are still folded; the run then ends with status 2."
        ),
    )
    fold_command.add_argument(
        "paths", nargs="*", metavar="PATH", help="files or directories; '-' or none for standard input"
    )
    fold_command.add_argument("--profile", help="profile name (default: safe; see 'tersewright profiles')")
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
        "--no-protect-markers",
        action="store_true",
        help="protect no line by marker, not even the default ones (directives stay kept unless --strip-directives)",
    )
    directives = fold_command.add_mutually_exclusive_group()
    directives.add_argument(
        "--strip-directives",
        action="store_true",
        help="let comments that tools act on (# type:, //go:build, the cgo preamble, eslint-disable, ...)"
        " be removed like any other comment; they are kept by default",
    )
    directives.add_argument(
        "--keep-directives", action="store_true", help="keep comments that tools act on (the default)"
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
        "--scheduler",
        type=scheduler_address,
        metavar="ADDRESS",
        help="fold on the Dask cluster whose scheduler is at ADDRESS (tcp://HOST:PORT), or on a cluster of"
        " N worker processes started here for the run (local:N); the files must be readable by its"
        " workers; --jobs then has no effect",
    )
    fold_command.add_argument(
        "--fail-over-budget", action="store_true", help="exit with status 1 when some output misses its budget"
    )
    fitting = fold_command.add_argument_group(
        "fitting a limit",
        "Fold the files into one bundle no larger than N: each file takes the least lossy fold of its"
        " kind's ladder that lets the bundle fit (behaviour-preserving folds first, then lossy ones, then"
        " leaving a file out with a note of its size). Exit status 1 when not even that meets N.",
    )
    fitting.add_argument("--fit", type=_count, metavar="N", help="the limit for the whole bundle, header included")
    fitting.add_argument(
        "--metric", choices=("tokens", "bytes", "characters"),
        help="what N counts (default: tokens with --tokenizer, bytes otherwise)",
    )
    fitting.add_argument(
        "--tokenizer", metavar="MODULE:ATTR",
        help="an object with count(text), or a class or factory making one, to count tokens with",
    )
    fitting.add_argument(
        "--keep", action="append", metavar="GLOB",
        help="files (paths, folders or glob patterns) only folded without loss and never left out; repeatable",
    )
    bundles = fold_command.add_argument_group("bundles")
    bundles.add_argument(
        "--style", choices=STYLES,
        help="how a bundle shows its files: plain ('==> PATH <==' lines, the default), markdown (fenced"
        " blocks), xml (<file path=...>) or json (one object, with each file's report)",
    )
    bundles.add_argument("--tree", action="store_true", help="start the bundle with a directory tree of its files")
    _add_walk_options(fold_command)
    fold_command.set_defaults(handler=command_fold)

    describe = commands.add_parser("profiles", help="list the profiles, or describe one as JSON")
    describe.add_argument("name", nargs="?", metavar="NAME")
    describe.add_argument("--markdown", action="store_true", help="print the profiles as a Markdown table")
    describe.set_defaults(handler=command_profiles)

    detect = commands.add_parser("detect", help="print the detected language of each file")
    detect.add_argument("paths", nargs="+", metavar="PATH", help="files or directories; '-' for standard input")
    _add_walk_options(detect)
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

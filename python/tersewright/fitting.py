"""Fitting a set of inputs into a size limit: for each file the least lossy fold that lets the bundle fit.

Every input climbs a ladder of folds chosen by its kind of content, from the least reducing rung to the
most, and finally to "omitted" (its header stays in the bundle with a note of its size). The search
starts every input on its first rung and, while the bundle is over the limit, moves one input one rung
up: behaviour-preserving moves before lossy ones, lossy ones before omissions, and among equals the
move that saves most, then the earlier input. The same inputs and limit always give the same bundle.

The engine itself only folds and measures; the search, the ladder and the bundle live here.
"""

from __future__ import annotations

import fnmatch
import heapq
import json
import operator
import os
from dataclasses import dataclass, field
from typing import TYPE_CHECKING, Any, Callable, Dict, Iterable, List, Mapping, Optional, Sequence, Tuple, Union

from . import _core
from .bundle import (
    BundleFile,
    check_style,
    directory_tree,
    display_path,
    label_base,
    label_of,
    render_bundle,
    render_file,
    render_head,
    render_tail,
    separator,
)
from .directives import DEFAULT_MARKERS, DIRECTIVE_MARKERS, directive_ranges

if TYPE_CHECKING:
    from .cli.sources import WalkOptions

OMITTED = "omitted"
BINARY = "binary file"
NOT_UTF8 = "not UTF-8 text"
METRICS = ("tokens", "bytes", "characters")
KINDS = ("source", "markdown", "log", "json", "text")
SOURCE_LANGUAGES = ("python", "rust", "javascript", "typescript", "tsx", "go")

# From least to most reducing. Each rung is a profile, or a chain of profiles each folding the
# previous one's output: interface-only on its own keeps comments and docstrings, so after budgeted
# it leaves far less than alone.
DEFAULT_LADDER: Dict[str, Tuple[Union[str, Tuple[str, ...]], ...]] = {
    "source": ("code-review", "safe", "budgeted", ("budgeted", "interface-only")),
    "markdown": ("code-review", "safe", "documentation"),
    "log": ("safe", "logs"),
    "json": ("safe",),
    "text": ("safe",),
}

Chain = Tuple[str, ...]
Rung = Union[str, Sequence[str]]
Source = Union[str, "os.PathLike[str]", Tuple[str, str]]


def kind_of(language: str) -> str:
    """The ladder a detected language climbs."""
    if language in SOURCE_LANGUAGES:
        return "source"
    if language in ("markdown", "log", "json"):
        return language
    return "text"


# --------------------------------------------------------------------------- results


@dataclass(frozen=True)
class FitEntry:
    """Where one input ended: the rung (a profile, a chain "a+b", or "omitted") and its size before and after.

    text is its folded text as the bundle holds it (None when omitted); reports holds one Report per
    fold of the chain, the last one being report, and none when omitted.
    """

    path: str
    language: str
    profile: str
    before: int
    after: int
    behavior_preserving: bool
    kept: bool = False
    reports: Tuple[_core.Report, ...] = ()
    text: Optional[str] = None

    @property
    def report(self) -> Optional[_core.Report]:
        return self.reports[-1] if self.reports else None

    @property
    def omitted(self) -> bool:
        return self.profile == OMITTED

    @property
    def lossy(self) -> bool:
        """Folded with a loss, short of being omitted."""
        return not self.behavior_preserving and not self.omitted

    def to_dict(self) -> Dict[str, Any]:
        return {
            "path": display_path(self.path),
            "language": self.language,
            "profile": self.profile,
            "before": self.before,
            "after": self.after,
            "behavior_preserving": self.behavior_preserving,
            "kept": self.kept,
            "report": None if self.report is None else self.report.to_dict(),
            "reports": [r.to_dict() for r in self.reports],
            "text": self.text,
        }

    def to_json(self) -> str:
        return json.dumps(self.to_dict(), ensure_ascii=False, separators=(",", ":"))


@dataclass(frozen=True)
class FitSkip:
    """An input left out of the plan: binary (skipped), or not UTF-8 or not readable (failed).

    shown is the path as messages name it: as given on the command line, or under the named folder.
    """

    path: str
    reason: str
    failed: bool = False
    shown: str = ""

    def to_dict(self) -> Dict[str, Any]:
        return {"path": display_path(self.path), "reason": self.reason, "failed": self.failed}


@dataclass(frozen=True)
class FitResult:
    """The bundle, whether it met the limit, its size measured as a whole, and the plan that made it."""

    text: str
    met: bool
    size: int
    limit: int
    metric: str
    tokenizer: Optional[str]
    plan: Tuple[FitEntry, ...]
    skipped: Tuple[FitSkip, ...] = ()
    style: str = "plain"

    @property
    def lossy(self) -> int:
        """How many files were folded with a loss (not counting omitted ones)."""
        return sum(entry.lossy for entry in self.plan)

    @property
    def omitted(self) -> int:
        return sum(entry.omitted for entry in self.plan)

    def rungs(self) -> Dict[str, int]:
        """How many files ended on each rung, in the order the rungs were first reached in the plan."""
        counts: Dict[str, int] = {}
        for entry in self.plan:
            counts[entry.profile] = counts.get(entry.profile, 0) + 1
        return counts

    def to_dict(self) -> Dict[str, Any]:
        return {
            "met": self.met,
            "size": self.size,
            "limit": self.limit,
            "metric": self.metric,
            "tokenizer": self.tokenizer,
            "style": self.style,
            "lossy": self.lossy,
            "omitted": self.omitted,
            "plan": [entry.to_dict() for entry in self.plan],
            "skipped": [skip.to_dict() for skip in self.skipped],
            "text": self.text,
        }

    def to_json(self) -> str:
        return json.dumps(self.to_dict(), ensure_ascii=False, separators=(",", ":"))


# --------------------------------------------------------------------------- arguments


def _check_limit(limit: Any) -> int:
    if isinstance(limit, bool):
        raise TypeError("limit must be a whole number, not bool")
    try:
        value = operator.index(limit)
    except TypeError:
        raise TypeError(f"limit must be a whole number, not {type(limit).__name__}") from None
    if value < 0:
        raise ValueError(f"limit must not be negative: {value}")
    return value


def _tokenizer_name(tokenizer: Any) -> str:
    name = getattr(tokenizer, "name", None)
    # The engine's reports call a tokenizer without a name the same.
    return name if isinstance(name, str) and name else "caller-supplied"


def _measure(metric: str, tokenizer: Any) -> Callable[[str], int]:
    if metric not in METRICS:
        raise ValueError(f"unknown metric {metric!r} (choose from {', '.join(METRICS)})")
    if metric == "bytes":
        if tokenizer is not None:
            raise ValueError("a tokenizer is only used with metric='tokens'")
        return lambda text: len(text.encode("utf-8"))
    if metric == "characters":
        if tokenizer is not None:
            raise ValueError("a tokenizer is only used with metric='tokens'")
        return len
    if tokenizer is None:
        raise ValueError("metric 'tokens' needs a tokenizer (an object with count(text)); or use metric='bytes'")
    method = getattr(tokenizer, "count", None)
    if not callable(method):
        raise TypeError(f"the tokenizer has no count(text) method: {type(tokenizer).__name__}")
    count: Callable[[str], Any] = method

    def tokens(text: str) -> int:
        value = count(text)
        if isinstance(value, bool):
            raise TypeError("tokenizer count() returned bool, not a whole number")
        try:
            value = operator.index(value)
        except TypeError:
            raise TypeError(f"tokenizer count() returned {type(value).__name__}, not a whole number") from None
        if value < 0:
            raise ValueError(f"tokenizer count() returned a negative number: {value}")
        return value

    return tokens


def _chain(rung: Any, where: str) -> Chain:
    names = (rung,) if isinstance(rung, str) else tuple(rung) if isinstance(rung, (list, tuple)) else None
    if not names or not all(isinstance(name, str) for name in names):
        raise TypeError(f"ladder {where}: a rung is a profile name or a non-empty sequence of them, not {rung!r}")
    for name in names:
        if name == OMITTED:
            raise ValueError(f"ladder {where}: 'omitted' is always the last rung and is not named")
        _core.profile_info(name)  # UnknownProfileError for a name that is not a profile
    return names


def resolve_ladder(ladder: Optional[Mapping[str, Iterable[Rung]]]) -> Dict[str, Tuple[Chain, ...]]:
    """The ladder to use: the default, with the kinds (or single languages) that ladder names replaced."""
    resolved = {kind: tuple(_chain(rung, kind) for rung in rungs) for kind, rungs in DEFAULT_LADDER.items()}
    if ladder is None:
        return resolved
    if not isinstance(ladder, Mapping):
        raise TypeError(f"ladder must be a mapping from kind or language to rungs, not {type(ladder).__name__}")
    languages = set(SOURCE_LANGUAGES) | {"unknown"}
    for key, rungs in ladder.items():
        if key not in KINDS and key not in languages:
            raise ValueError(f"ladder: unknown kind or language {key!r} (kinds: {', '.join(KINDS)})")
        if isinstance(rungs, str):
            rungs = (rungs,)
        chains = tuple(_chain(rung, key) for rung in rungs)
        if not chains:
            raise ValueError(f"ladder {key}: needs at least one rung")
        resolved[key] = chains
    return resolved


def _patterns(keep: Union[str, Iterable[Any]]) -> Tuple[str, ...]:
    # One string is one pattern, not a sequence of one-letter patterns.
    items = [keep] if isinstance(keep, (str, os.PathLike)) else list(keep)
    patterns = []
    for item in items:
        pattern = os.fspath(item)
        if not isinstance(pattern, str):
            raise TypeError(f"keep patterns are text, not {type(pattern).__name__}")
        patterns.append(pattern)
    return tuple(patterns)


def keeps(patterns: Sequence[str], *paths: str) -> bool:
    """Whether a pattern names one of the paths: the path itself, a folder above it, or a glob matching it."""
    for pattern in patterns:
        clean = os.path.normpath(pattern).replace(os.sep, "/") if pattern else pattern
        if clean == ".":
            return True
        for path in paths:
            path = os.path.normpath(path).replace(os.sep, "/")
            if path == clean or path.startswith(clean.rstrip("/") + "/") or fnmatch.fnmatchcase(path, pattern):
                return True
    return False


# --------------------------------------------------------------------------- inputs


@dataclass
class _Input:
    label: str
    text: str
    language: str
    kept: bool
    shown: str


@dataclass(frozen=True)
class Walked:
    """One file found by walk_paths: its label in the bundle, the path as messages show it, where it is
    read, and, for a file not to be read, why, and whether that is a failure."""

    label: str
    shown: str
    location: str
    skip: str = ""
    failed: bool = False


def walk_paths(paths: Sequence[str], walk: Optional["WalkOptions"] = None, strict: bool = True) -> List[Walked]:
    """The files named by paths, walked as the command line walks them, with its walk options.

    Labels are relative to the named folder or to the folder of the named file; with several named
    paths, to the deepest folder holding them all. A named path that is not there raises its OSError
    when strict; otherwise it is one failed entry, as a file that cannot be read is.
    """
    # Imported here: the command line is not loaded by `import tersewright`.
    from .cli.errors import CliError
    from .cli.sources import WalkOptions, collect_sources

    base = label_base(paths, strict)
    if base is None and strict:
        return []
    try:
        sources, _ = collect_sources(list(paths), frozenset(), walk or WalkOptions())
    except CliError as error:
        raise OSError(str(error)) from None
    return [Walked(label_of(s.path, base), s.shown, s.location, s.skip, s.failed) for s in sources]


def read_text(location: str) -> Tuple[Optional[str], str, bool]:
    """A file's text; or None, the reason and whether it is a failure, in the command line's words: a
    binary file (a NUL byte) is skipped; one that is not UTF-8, cannot be read, or changes while it is
    read fails."""
    from .cli.sources import SourceChanged, read_source, stat_failure

    try:
        data = read_source(location)
    except OSError as error:
        return None, stat_failure(error), True
    except SourceChanged as change:
        return None, str(change), True
    if b"\0" in data:
        return None, BINARY, False
    try:
        return data.decode("utf-8"), "", False
    except UnicodeDecodeError:
        return None, NOT_UTF8, True


def _gather(
    sources: Any, patterns: Sequence[str], walk: Optional["WalkOptions"] = None, strict: bool = True
) -> Tuple[List[_Input], List[FitSkip]]:
    if isinstance(sources, (str, os.PathLike)):
        sources = [sources]
    items: List[Any] = []
    paths: List[str] = []
    for item in sources:
        if isinstance(item, (str, os.PathLike)):
            path = os.fspath(item)
            if not isinstance(path, str):
                raise TypeError(f"paths are text, not bytes: {path!r}")
            if not paths:
                items.append(paths)  # every path input takes the place of the first one
            paths.append(path)
        elif isinstance(item, tuple) and len(item) == 2:
            name, text = item
            name = os.fspath(name)
            if not isinstance(name, str) or not isinstance(text, str):
                raise TypeError(f"an input given as a pair is (name, text), both str: {item!r:.60}")
            items.append((name, text))
        else:
            raise TypeError(f"an input is a path or a (name, text) pair, not {type(item).__name__}")

    inputs: List[_Input] = []
    skipped: List[FitSkip] = []
    labels: Dict[str, str] = {}

    def add(label: str, shown: str, text: Optional[str], reason: str, failed: bool = False) -> None:
        if text is None:
            skipped.append(FitSkip(label, reason, failed, shown))
            return
        if label in labels:
            raise ValueError(f"two inputs would be shown as {label!r}: {labels[label]!r} and {shown!r}")
        labels[label] = shown
        language = _core.detect_language(text, display_path(label))
        inputs.append(_Input(label, text, language, keeps(patterns, label, shown), shown))

    for item in items:
        if isinstance(item, tuple):
            name, text = item
            try:
                text.encode("utf-8")
            except UnicodeEncodeError:
                add(name, name, None, NOT_UTF8, failed=True)
                continue
            if "\0" in text:
                add(name, name, None, BINARY)
                continue
            add(name, name, text, "")
            continue
        for found in walk_paths(item, walk, strict):
            if found.skip:
                add(found.label, found.shown, None, found.skip, found.failed)
                continue
            text, reason, failed = read_text(found.location)
            add(found.label, found.shown, text, reason, failed)
    return inputs, skipped


# --------------------------------------------------------------------------- the search


@dataclass
class _Folded:
    """One input on one rung: its text, the reports of the chain, and its sizes."""

    text: Optional[str]  # None when omitted
    reports: Tuple[_core.Report, ...]
    preserving: bool
    size: int  # the text (or the omission note) in the metric
    piece: int  # the file's part of the bundle in the metric
    note: Optional[str] = None


@dataclass
class _Climb:
    chains: Tuple[Chain, ...]
    rung: int = 0  # index into chains; len(chains) is "omitted"
    at: Optional[_Folded] = None
    folds: Dict[Chain, _Folded] = field(default_factory=dict)


class _Search:
    def __init__(
        self,
        inputs: List[_Input],
        ladder: Mapping[str, Tuple[Chain, ...]],
        measure: Callable[[str], int],
        engine: Any,
        markers: Optional[List[str]],
        directives: bool,
        style: str,
        metric: str,
    ):
        self.inputs = inputs
        self.measure = measure
        self.engine = engine
        self.markers = markers
        self.directives = directives
        self.style = style
        self.metric = metric
        self.before = [measure(item.text) for item in inputs]
        self.climbs: List[_Climb] = []
        for item in inputs:
            chains = ladder.get(item.language) or ladder[kind_of(item.language)]
            self.climbs.append(_Climb(chains))

    # ---- folding, each (input, chain) at most once

    def _ranges(self, text: str, item: _Input, profile: str) -> Optional[List[Tuple[int, int]]]:
        if not self.directives or '"C"' not in text:
            return None
        ranges = directive_ranges(text, item.language)
        if not ranges:
            return None
        # Ranges given to a fold replace the profile's own: keep those too.
        own = [(r["start"], r["end"]) for r in _core.profile_info(profile)["preservation"]["protected_ranges"]]
        return own + ranges

    def _fold(self, index: int, chain: Chain) -> _Folded:
        climb = self.climbs[index]
        done = climb.folds.get(chain)
        if done is not None:
            return done
        item = self.inputs[index]
        if len(chain) > 1:
            previous = self._fold(index, chain[:-1])
            text, reports, preserving = previous.text or "", previous.reports, previous.preserving
        else:
            text, reports, preserving = item.text, (), True
        profile = chain[-1]
        result = self.engine.fold(
            text,
            profile=profile,
            path=display_path(item.label),
            language=item.language,
            protected_ranges=self._ranges(text, item, profile),
            protected_line_markers=self.markers,
        )
        report = result.report
        folded = self._sized(index, "+".join(chain), result.output, reports + (report,), preserving and report.behavior_preserving)
        climb.folds[chain] = folded
        return folded

    def _sized(self, index, profile, text, reports, preserving, note=None) -> _Folded:
        file = self.bundle_file(index, profile, text, reports, note)
        piece = self.measure(render_file(self.style, file))
        return _Folded(text, reports, preserving, self.measure(text if note is None else note), piece, note)

    def bundle_file(self, index, profile, text, reports, note=None) -> BundleFile:
        item = self.inputs[index]
        report = reports[-1].to_dict() if reports and self.style == "json" else None
        return BundleFile(item.label, text, item.language, profile, note, report)

    def _omission(self, index: int) -> _Folded:
        note = f"omitted: {self.before[index]} {self.metric}"
        return self._sized(index, OMITTED, None, (), False, note)

    def profile_of(self, index: int) -> str:
        climb = self.climbs[index]
        return OMITTED if climb.rung == len(climb.chains) else "+".join(climb.chains[climb.rung])

    # ---- moves

    def candidate(self, index: int) -> Optional[Tuple[int, int, int, int]]:
        """The next move of an input as a heap entry: (class, -saving, index, rung), or None."""
        climb, item = self.climbs[index], self.inputs[index]
        at = climb.at
        assert at is not None
        rung = climb.rung + 1
        while rung < len(climb.chains):
            folded = self._fold(index, climb.chains[rung])
            if folded.piece < at.piece:  # a rung that makes the file no smaller is passed over
                if item.kept and not folded.preserving:
                    return None
                return (0 if folded.preserving else 1, folded.piece - at.piece, index, rung)
            rung += 1
        if item.kept or climb.rung >= len(climb.chains):
            return None
        omitted = self._omission(index)
        if omitted.piece >= at.piece:
            return None
        return (2, omitted.piece - at.piece, index, len(climb.chains))

    def place(self, index: int, rung: int) -> None:
        climb = self.climbs[index]
        climb.rung = rung
        climb.at = self._omission(index) if rung == len(climb.chains) else self._fold(index, climb.chains[rung])


def fit(
    sources: Union[Source, Iterable[Source]],
    limit: int,
    *,
    metric: str = "tokens",
    tokenizer: Any = None,
    engine: Optional[_core.Engine] = None,
    ladder: Optional[Mapping[str, Iterable[Rung]]] = None,
    keep: Union[str, Iterable[str]] = (),
    protected_line_markers: Optional[Sequence[str]] = None,
    keep_directives: bool = False,
    style: str = "plain",
    tree: bool = False,
    walk: Optional["WalkOptions"] = None,
    strict_paths: bool = True,
) -> FitResult:
    """Fold every input with the least lossy rung of its ladder that lets the whole bundle fit in limit.

    sources are paths (files and folders, walked as the command line walks them) or (name, text)
    pairs. metric is "tokens" (with a tokenizer: any object with count(text)), "bytes" or
    "characters"; the limit applies to the bundle as a whole, header and tree included. ladder maps a
    kind ("source", "markdown", "log", "json", "text") or a single language to its rungs, each a
    profile or a sequence of profiles folded one after another; "omitted" always comes last. Inputs
    matched by keep (paths, folders or glob patterns) only take behaviour-preserving rungs and are
    never omitted. protected_line_markers is passed to every fold; keep_directives protects the
    comments that tools act on, as the command line does by default. style is the bundle's style
    (plain, markdown, xml, json) and tree puts a directory tree of the files under the header. walk
    (a tersewright.cli.sources.WalkOptions) chooses what folders give, as the command line's --hidden,
    --no-ignore, --glob and --max-filesize do.

    Binary files (holding a NUL byte) are left out and listed in skipped; so are files that are not
    UTF-8 text, cannot be read or change while they are read, marked failed. A named path that is not
    there raises its OSError, or with strict_paths=False is listed in skipped as failed. When not even omitting everything that may be omitted meets the limit, the
    result says so (met is False) and holds the smallest bundle found.
    """
    limit = _check_limit(limit)
    measure = _measure(metric, tokenizer)
    check_style(style)
    resolved = resolve_ladder(ladder)
    patterns = _patterns(keep)
    if isinstance(protected_line_markers, str):
        raise TypeError("protected_line_markers is a sequence of markers, not one str")
    markers: Optional[List[str]] = None if protected_line_markers is None else list(protected_line_markers)
    if keep_directives:
        base = list(DEFAULT_MARKERS) if markers is None else markers
        markers = list(dict.fromkeys(base + [m for m in DIRECTIVE_MARKERS if m not in DEFAULT_MARKERS]))
    inputs, skipped = _gather(sources, patterns, walk, strict_paths)
    search = _Search(inputs, resolved, measure, engine if engine is not None else _core.Engine(),
                     markers, keep_directives, style, metric)  # fmt: skip
    tokenizer_name = _tokenizer_name(tokenizer) if metric == "tokens" else None
    tree_text = directory_tree([item.label for item in inputs]) if tree else None

    lossy = omitted = 0

    def header(met: bool) -> Dict[str, Any]:
        return _header(limit, metric, tokenizer_name, met, len(inputs), lossy, omitted, len(skipped))

    head_sizes: Dict[Tuple[int, int], int] = {}

    # What does not depend on the plan but the header's counts: the tree (measured once, since it can
    # be long), the separators between files and the end.
    count = len(inputs)
    constant = measure(render_tail(style, count)) + max(count - 1, 0) * measure(separator(style))
    if tree_text:
        constant += measure(render_head(style, None, tree_text)) - measure(render_head(style, None, None))

    def fixed() -> int:
        key = (lossy, omitted)
        if key not in head_sizes:
            head_sizes[key] = measure(render_head(style, header(True), None)) + constant
        return head_sizes[key]

    pieces = 0
    moves: List[Tuple[int, int, int, int]] = []
    for index in range(len(inputs)):
        search.place(index, 0)
        pieces += search.climbs[index].at.piece  # type: ignore[union-attr]
        if not search.climbs[index].at.preserving:  # type: ignore[union-attr]
            lossy += 1
    candidates_ready = False

    def move() -> bool:
        nonlocal pieces, lossy, omitted, candidates_ready
        if not candidates_ready:
            for index in range(len(inputs)):
                entry = search.candidate(index)
                if entry is not None:
                    moves.append(entry)
            heapq.heapify(moves)
            candidates_ready = True
        if not moves:
            return False
        _, _, index, rung = heapq.heappop(moves)
        climb = search.climbs[index]
        was = climb.at
        assert was is not None
        search.place(index, rung)
        now = climb.at
        assert now is not None
        pieces += now.piece - was.piece
        lossy += (not now.preserving and now.note is None) - (not was.preserving and was.note is None)
        omitted += (now.note is not None) - (was.note is not None)
        entry = search.candidate(index)
        if entry is not None:
            heapq.heappush(moves, entry)
        return True

    # The per-file sizes add up to an estimate of the bundle; the bundle is then measured whole, and
    # when it is still over (token counts do not add up exactly) the search goes on, with the
    # estimate corrected by what the whole showed.
    correction = 0
    while True:
        while fixed() + pieces + correction > limit and move():
            pass
        files = [search.bundle_file(i, search.profile_of(i), c.at.text, c.at.reports, c.at.note)  # type: ignore[union-attr]
                 for i, c in enumerate(search.climbs)]  # fmt: skip
        text = render_bundle(files, style, header(True), tree)
        size = measure(text)
        if size <= limit:
            met = True
            break
        correction = max(correction + 1, size - fixed() - pieces)
        if not move():
            met = False
            text = render_bundle(files, style, header(False), tree)
            size = measure(text)
            break

    plan = []
    for index, (item, climb) in enumerate(zip(inputs, search.climbs)):
        at = climb.at
        assert at is not None
        plan.append(FitEntry(item.label, item.language, search.profile_of(index), search.before[index],
                             0 if at.note is not None else at.size, at.preserving, item.kept, at.reports, at.text))  # fmt: skip
    return FitResult(text, met, size, limit, metric, tokenizer_name, tuple(plan), tuple(skipped), style)


def _header(limit, metric, tokenizer, met, files, lossy, omitted, skipped) -> Dict[str, Any]:
    unit = metric if tokenizer is None else f"{metric} (tokenizer {tokenizer})"
    summary = (f"tersewright fit: {files} file{'' if files == 1 else 's'} in a limit of {limit} {unit},"
               f" limit {'met' if met else 'NOT met'}; {lossy} folded lossily, {omitted} omitted")  # fmt: skip
    if skipped:
        summary += f", {skipped} skipped (not text or unreadable)"
    return {"summary": summary, "limit": limit, "metric": metric, "tokenizer": tokenizer, "met": met,
            "files": files, "lossy": lossy, "omitted": omitted, "skipped": skipped}  # fmt: skip



"""Folding corpora on a Dask cluster: trees of files, or texts held in a ``dask.dataframe`` column.

The engine folds one text on one thread; a corpus of many files scales out over the workers of a
Dask cluster the caller already runs. Files are grouped into partitions of a few megabytes of input,
each folded as one task, and the results come back in the order of the walk whatever order
the tasks finished in, so the outputs and the summary are the same as a serial run's.

Nothing is lost when a worker dies: the scheduler runs its tasks again elsewhere, and every file a
task writes goes through a temporary file in the target's folder that is renamed into place, so a
task killed mid-write leaves no half file (the attempt that runs again takes over its temporary
file). Trees are walked, and files folded, skipped and failed, exactly as the command line does: a
file that cannot be read, is not UTF-8 text or cannot be written is reported with its reason in the
command line's words and the rest goes on; a binary file is skipped.

Dask is optional: ``pip install 'tersewright[distributed]'`` (on Debian: python3-dask,
python3-distributed and, for the data frame functions, python3-pandas). ``import tersewright``
never imports this module. The workers need tersewright installed, in the same version.
"""

from __future__ import annotations

import contextlib
import fcntl
import hashlib
import itertools
import json
import os
import stat
import tempfile
import uuid
from collections import deque
from dataclasses import dataclass, replace
from typing import TYPE_CHECKING, Any, Deque, Dict, Generator, Iterator, List, Optional, Sequence, Tuple, Union

try:
    import distributed
except ImportError as error:  # the message says how to get the optional dependency
    raise ImportError(
        "tersewright.distributed needs Dask: pip install 'tersewright[distributed]'"
        " (on Debian: apt install python3-dask python3-distributed python3-pandas)"
    ) from error

from . import Engine
from .cli.errors import reason
from .cli.parallel import Folded, FoldOptions, NotFolded, Outcome, fold_source, fold_text
from .cli.reporting import Tally, not_folded_line
from .cli.sources import Source, StrPath, WalkOptions, collect_sources, decode_text, identity, path_hint
from .directives import DEFAULT_MARKERS, DIRECTIVE_MARKERS

if TYPE_CHECKING:  # pragma: no cover
    import pandas

__all__ = [
    "DEFAULT_PARTITION_BYTES",
    "FOLDED_COLUMNS",
    "FoldSummary",
    "FoldedFile",
    "SkippedFile",
    "connect",
    "fold_options",
    "fold_partition",
    "fold_paths",
    "fold_series",
    "fold_sources_on_cluster",
    "folded_meta",
]

# Large enough that a task's scheduling cost (a few milliseconds) is small beside its folding
# (several seconds at a few megabytes per second), small enough to spread a corpus over many workers.
DEFAULT_PARTITION_BYTES = 16 * 1024 * 1024
# Unless asked for a size, a corpus small for the cluster is cut finer, so that each worker thread
# gets a few partitions (and a slow one is not left with a large share at the end), down to a size
# whose task still costs far more than its scheduling.
PARTITIONS_PER_THREAD = 4
MIN_PARTITION_BYTES = 1024 * 1024
# Partitions submitted ahead of the one being collected when the texts come back to the caller:
# enough per worker thread to keep it busy, few enough that the results waiting their turn stay small.
WINDOW_PER_THREAD = 4
FOLDED_COLUMNS = ("output", "input_bytes", "output_bytes", "behavior_preserving", "syntax_valid", "report_json")
TEMP_SUFFIX = ".tersewright-partial"
NAME_MAX = 255  # bytes in a file name on the usual Linux file systems
# How long connecting to a scheduler may take before the run gives up.
CONNECT_TIMEOUT = 5


# --------------------------------------------------------------------------- options


def fold_options(
    profile: str = "safe",
    *,
    language: Optional[str] = None,
    allow_lossy: Optional[bool] = None,
    budget_bytes: Optional[int] = None,
    budget_chars: Optional[int] = None,
    protected_line_markers: Optional[Sequence[str]] = None,
    keep_directives: bool = True,
    report: str = "json",
) -> FoldOptions:
    """The options of a fold as the command line takes them, checked before any task is sent.

    The keywords are those of ``tersewright.fold``. As on the command line, comments that tools act
    on are kept unless ``keep_directives`` is false: their markers join ``protected_line_markers``
    (or the default markers) and the cgo preamble is protected. An unknown profile raises
    ``UnknownProfileError``, an unknown language ``ValueError``, like a fold would.
    """
    if report not in ("none", "text", "json"):
        raise ValueError(f"report must be 'none', 'text' or 'json', not {report!r}")
    if isinstance(protected_line_markers, str):
        raise TypeError("protected_line_markers must be a sequence of strings, not one string")
    markers = None if protected_line_markers is None else list(protected_line_markers)
    # A fold of nothing checks every option the engine takes, with the engine's own errors.
    Engine().fold(
        "",
        profile=profile,
        language=language,
        allow_lossy=allow_lossy,
        budget_bytes=budget_bytes,
        budget_chars=budget_chars,
        protected_line_markers=markers,
    )
    if keep_directives:
        base = list(DEFAULT_MARKERS) if markers is None else markers
        markers = list(dict.fromkeys(base + [m for m in DIRECTIVE_MARKERS if m not in DEFAULT_MARKERS]))
    return FoldOptions(
        profile=profile,
        language=language,
        allow_lossy=allow_lossy,
        budget_bytes=budget_bytes,
        budget_chars=budget_chars,
        markers=None if markers is None else tuple(markers),
        directives=keep_directives,
        report=report,
    )


# --------------------------------------------------------------------------- the walk and the fold
# The two places that know how the command line finds and folds files.


def walk(paths: Sequence[StrPath], excluded: frozenset = frozenset(), options: WalkOptions = WalkOptions()) -> List[Source]:
    """The files named by paths, in the command line's order; a path that cannot be read is a failed source."""
    sources, _ = collect_sources(paths, excluded, options)
    return sources


def fold_one(source: Source, options: FoldOptions) -> Outcome:
    """Read and fold one file as the command line does; an error of the fold fails that file only."""
    try:
        return fold_source(source, options)
    except Exception as error:  # as a worker process of the command line reports it
        what = "out of memory" if isinstance(error, MemoryError) else str(error) or type(error).__name__
        return NotFolded(not_folded_line(source.shown, what, True), failed=True)


def fold_one_text(engine: Engine, text: str, path: Optional[str], options: FoldOptions) -> Folded:
    """Fold one text as the command line folds a file's."""
    return fold_text(engine, text, path or "<text>", path, options)


# --------------------------------------------------------------------------- writing outputs

_umask: Optional[int] = None


def _file_mode(target: str) -> int:
    """The mode of the file target replaces, or the one a new file gets in this process."""
    global _umask
    try:
        return stat.S_IMODE(os.stat(target).st_mode)
    except OSError:
        pass
    if _umask is None:
        _umask = os.umask(0)
        os.umask(_umask)
    return 0o666 & ~_umask


def _temp_stem(name: str) -> str:
    """A hidden name for target's temporary files: the target's own when it leaves room for more."""
    encoded = os.fsencode(name)
    if len(encoded) + 1 + 16 + len(TEMP_SUFFIX) <= NAME_MAX:
        return f".{name}"
    return f".{hashlib.sha256(encoded).hexdigest()[:32]}"


def _claim_temp(target: str) -> Tuple[int, str]:
    """Open the temporary file target is written through, locked and empty.

    Its name is fixed per target, so that an attempt run again after a worker died takes over what
    the dead attempt left instead of leaving it beside the output. The lock (released by the kernel
    when its holder dies) keeps two live attempts apart: the second one uses a name of its own.
    """
    directory, name = os.path.split(target)
    stem = _temp_stem(name)
    temp = os.path.join(directory, stem + TEMP_SUFFIX)
    for _ in range(3):
        try:
            # Never through a symbolic link: whatever it leads to is not ours to truncate.
            fd = os.open(temp, os.O_WRONLY | os.O_CREAT | os.O_CLOEXEC | os.O_NOFOLLOW, 0o600)
        except OSError:
            break  # not a file we can take over: write through a name of our own
        try:
            fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except BlockingIOError:
            os.close(fd)
            break
        except BaseException:
            os.close(fd)
            raise
        # The holder of the lock before us may have renamed the file into place since we opened it:
        # it is ours only while the name still leads to it.
        try:
            st = os.stat(temp)
            mine = os.fstat(fd)
            if (st.st_dev, st.st_ino) == (mine.st_dev, mine.st_ino):
                os.ftruncate(fd, 0)
                return fd, temp
        except FileNotFoundError:
            pass
        except BaseException:
            os.close(fd)
            raise
        os.close(fd)
    return tempfile.mkstemp(prefix=stem + ".", suffix=TEMP_SUFFIX, dir=directory)


def write_atomically(target: str, data: Union[bytes, bytearray]) -> None:
    """Write data to target through a temporary file renamed into place: target is whole or untouched."""
    os.makedirs(os.path.dirname(target) or ".", exist_ok=True)
    fd, temp = _claim_temp(target)
    renamed = False
    try:
        with open(fd, "wb", closefd=False) as handle:
            handle.write(data)
        os.fchmod(fd, _file_mode(target))
        # Renamed while the lock is held, so that no other attempt writes into it meanwhile.
        os.replace(temp, target)
        renamed = True
    finally:
        if not renamed:
            with contextlib.suppress(OSError):
                os.unlink(temp)
        os.close(fd)


# --------------------------------------------------------------------------- tasks


def _fold_partition_task(sources: Sequence[Source], options: FoldOptions, output_dir: Optional[str]) -> List[Outcome]:
    """Fold one partition on a worker; with output_dir, write each output there and return the reports."""
    outcomes: List[Outcome] = []
    for source in sources:
        outcome = fold_one(source, options)
        if output_dir is not None and isinstance(outcome, Folded):
            target = os.path.join(output_dir, source.relative)
            try:
                write_atomically(target, outcome.output)
            except OSError as error:
                outcome = NotFolded(f"cannot write {target}: {reason(error)}", failed=True)
            else:
                outcome = replace(outcome, output=b"")  # on disk: only the report travels back
        outcomes.append(outcome)
    return outcomes


def _size(source: Source) -> int:
    if source.skip:
        return 0
    try:
        return os.stat(source.location).st_size
    except OSError:
        return 0  # the worker reports why it cannot read the file


def _check_partition_bytes(partition_bytes: Optional[int]) -> None:
    if partition_bytes is not None and partition_bytes < 1:
        raise ValueError(f"partition_bytes must be at least 1, not {partition_bytes}")


def partitions(sources: Sequence[Source], partition_bytes: Optional[int], threads: int = 1) -> List[List[Source]]:
    """Consecutive runs of sources of about partition_bytes of input each; a larger file stands alone.

    Without a size: DEFAULT_PARTITION_BYTES, or less when that would leave worker threads idle.
    """
    _check_partition_bytes(partition_bytes)
    sizes = [_size(source) for source in sources]
    if partition_bytes is None:
        share = -(-sum(sizes) // (PARTITIONS_PER_THREAD * max(1, threads)))
        partition_bytes = min(DEFAULT_PARTITION_BYTES, max(MIN_PARTITION_BYTES, share))
    groups: List[List[Source]] = []
    current: List[Source] = []
    filled = 0
    for source, size in zip(sources, sizes):
        if current and filled + size > partition_bytes:
            groups.append(current)
            current, filled = [], 0
        current.append(source)
        filled += size
    if current:
        groups.append(current)
    return groups


def _absolute(source: Source) -> Source:
    # Workers need not share the caller's working directory.
    return replace(source, location=os.path.abspath(source.location))


def _threads(client: distributed.Client) -> int:
    return max(1, sum(client.nthreads().values()))


def _outcomes(
    client: distributed.Client,
    sources: Sequence[Source],
    options: FoldOptions,
    output_dir: Optional[str],
    partition_bytes: Optional[int],
) -> Generator[Outcome, None, None]:
    """The outcome of each source, in the order of sources, from one task per partition."""
    threads = _threads(client)
    groups = partitions([_absolute(s) for s in sources], partition_bytes, threads)
    # Outputs written by the workers leave only reports to collect: every task can be in flight.
    # Texts coming back wait for their turn in the caller's memory: keep a window of them.
    window = len(groups) if output_dir is not None else WINDOW_PER_THREAD * threads
    run = uuid.uuid4().hex
    tasks = itertools.count()
    pending: Deque[Tuple[distributed.Future, List[Source]]] = deque()
    queued = iter(groups)

    def submit(group: List[Source], priority: int = 0) -> distributed.Future:
        key = f"tersewright-fold-{run}-{next(tasks)}"
        return client.submit(_fold_partition_task, group, options, output_dir, key=key, priority=priority)

    def collect(future: distributed.Future, group: List[Source]) -> List[Outcome]:
        try:
            return future.result()
        except distributed.KilledWorker:
            pass
        finally:
            future.release()
        # The scheduler gave up on the task after workers died running it. One file can do that (one
        # too large for a worker's memory, say): fold the files one at a time, ahead of the other
        # tasks, so that only the culprit is reported and the others are folded all the same.
        return [alone(source) for source in group]

    def alone(source: Source) -> Outcome:
        # A task waiting on a worker that another task took down counts as having died with it: a
        # file is blamed only when workers died on it twice.
        for _ in range(2):
            future = submit([source], priority=1)
            try:
                return future.result()[0]
            except distributed.KilledWorker:
                continue
            finally:
                future.release()
        return NotFolded(not_folded_line(source.shown, "the Dask workers folding it died", True), failed=True)

    try:
        for group in itertools.islice(queued, max(1, window)):
            pending.append((submit(group), group))
        while pending:
            future, group = pending.popleft()
            outcomes = collect(future, group)
            for group in itertools.islice(queued, 1):
                pending.append((submit(group), group))
            yield from outcomes
    finally:
        if pending:
            client.cancel([future for future, _ in pending])


# --------------------------------------------------------------------------- clients


@contextlib.contextmanager
def connect(scheduler: str) -> Iterator[distributed.Client]:
    """A client of the Dask scheduler at an address (``tcp://host:8786``), closed on leaving.

    ``local:N`` starts a cluster of N worker processes of one thread each on this machine for the
    duration (``local:0``: one per CPU), listening on the loopback interface only, its dashboard too.
    A scheduler that does not answer within CONNECT_TIMEOUT seconds raises OSError.
    """
    if scheduler.startswith("local:"):
        count = scheduler[len("local:") :]
        if not count.isdigit():
            raise ValueError(f"local:N needs a number of worker processes, not '{count}'")
        workers = int(count) or (os.cpu_count() or 1)
        with distributed.LocalCluster(
            n_workers=workers,
            threads_per_worker=1,
            processes=True,
            host="127.0.0.1",
            dashboard_address="127.0.0.1:0",
            worker_dashboard_address="127.0.0.1:0",
            preload=["tersewright._local_worker"],
        ) as cluster, distributed.Client(cluster) as client:
            yield client
        return
    try:
        client = distributed.Client(scheduler, timeout=CONNECT_TIMEOUT)
    except (OSError, ValueError, TypeError) as error:
        why = str(error).strip().splitlines()[0] if str(error).strip() else type(error).__name__
        raise OSError(f"cannot reach the Dask scheduler at {scheduler}: {why}") from None
    with client:
        yield client


@contextlib.contextmanager
def _client_for(client: Union[None, str, distributed.Client]) -> Iterator[distributed.Client]:
    """The client given, the current one for None, or one connected for the run to an address or local:N."""
    if isinstance(client, str):
        with connect(client) as connected:
            yield connected
        return
    if client is not None:
        yield client
        return
    try:
        current = distributed.default_client()
    except ValueError:
        raise ValueError("no Dask client: pass client=, or create a distributed.Client first") from None
    yield current


def fold_sources_on_cluster(
    sources: Sequence[Source],
    options: FoldOptions,
    scheduler: Union[str, distributed.Client],
    partition_bytes: Optional[int] = None,
) -> Generator[Outcome, None, None]:
    """What ``fold --scheduler`` needs: the outcome of each source, in the order of sources.

    The same outcomes as ``cli.parallel.fold_sources``, folded on the cluster at a scheduler address,
    on ``local:N`` (started for the run and stopped at the end) or through a client. close() stops
    the run early.
    """
    with _client_for(scheduler) as client:
        yield from _outcomes(client, sources, options, None, partition_bytes)


# --------------------------------------------------------------------------- fold_paths


@dataclass(frozen=True)
class FoldedFile:
    """One folded file: where it came from, its folded text as UTF-8 bytes (None when written out), its report."""

    path: str
    relative: str
    output: Optional[bytes]
    input_bytes: int
    output_bytes: int
    over_budget: bool
    report_json: str

    @property
    def report(self) -> Dict[str, Any]:
        """The report as ``Report.to_dict()`` gives it."""
        return json.loads(self.report_json)

    @property
    def text(self) -> Optional[str]:
        """The folded text as a string (None when written out)."""
        return None if self.output is None else self.output.decode("utf-8")


@dataclass(frozen=True)
class SkippedFile:
    """A file left alone, with the line the command line gives for it (without the program's name).

    failed tells a file that could not be read, decoded or written ('PATH: REASON') from one left
    out on purpose, a binary one say ('PATH: skipped (REASON)').
    """

    path: str
    message: str
    failed: bool


@dataclass(frozen=True)
class FoldSummary:
    """A run over paths: the folded, the skipped and the failed files, each in the order of the walk."""

    files: Tuple[FoldedFile, ...]
    skipped: Tuple[SkippedFile, ...]
    failed: Tuple[SkippedFile, ...]
    output_dir: Optional[str]

    def summary(self) -> str:
        """The line that ends the command line's run over the same files."""
        tally = Tally(files=len(self.files), skipped=len(self.skipped), failed=len(self.failed))
        tally.bytes_in, tally.bytes_out, tally.over_budget = self.bytes_in, self.bytes_out, self.over_budget
        return tally.summary()

    @property
    def bytes_in(self) -> int:
        return sum(f.input_bytes for f in self.files)

    @property
    def bytes_out(self) -> int:
        return sum(f.output_bytes for f in self.files)

    @property
    def over_budget(self) -> int:
        return sum(f.over_budget for f in self.files)

    @property
    def reduction_ratio(self) -> float:
        return 0.0 if self.bytes_in == 0 else max(0.0, 1.0 - self.bytes_out / self.bytes_in)


def _refuse_conflicts(output_dir: str, sources: Sequence[Source]) -> None:
    """Refuse, before anything is written, to overwrite an input or to write two inputs to one place."""
    if os.path.exists(output_dir) and not os.path.isdir(output_dir):
        raise NotADirectoryError(f"cannot write into {output_dir}: not a directory")
    claimed: Dict[str, str] = {}
    for source in sources:
        if source.skip:
            continue
        target = os.path.normpath(os.path.join(output_dir, source.relative))
        if target in claimed:
            raise ValueError(f"{claimed[target]} and {source.shown} would both be written to {target}")
        claimed[target] = source.shown
        if os.path.exists(target) and os.path.samefile(target, source.location):
            raise ValueError(f"refusing to overwrite the input {source.shown} with its folded text")


def fold_paths(
    paths: Union[StrPath, Sequence[StrPath]],
    *,
    profile: str = "safe",
    client: Union[None, str, distributed.Client] = None,
    output_dir: Optional[StrPath] = None,
    partition_bytes: Optional[int] = None,
    language: Optional[str] = None,
    allow_lossy: Optional[bool] = None,
    budget_bytes: Optional[int] = None,
    budget_chars: Optional[int] = None,
    protected_line_markers: Optional[Sequence[str]] = None,
    keep_directives: bool = True,
    ignore_files: bool = True,
    hidden: bool = False,
    globs: Sequence[str] = (),
    max_filesize: Optional[int] = None,
) -> FoldSummary:
    """Fold the files under paths on a Dask cluster, as ``tersewright fold`` would.

    The inputs are walked as the command line walks them: sorted, depth first, leaving out what the
    ignore files ignore (unless ``ignore_files`` is false, ``--no-ignore``), hidden entries (unless
    ``hidden``), files that ``globs`` leave out (``--glob``) and files over ``max_filesize`` bytes.
    They are folded in tasks of about ``partition_bytes`` of input each (by default 16 MB, or less when the
    corpus is small for the cluster, so that every worker thread gets a few tasks). With ``output_dir`` (a path every
    worker can reach) the workers write each folded file there, mirroring the trees as
    ``--output-dir`` does, and the summary holds the reports only; without it the folded texts come
    back in the summary. ``client=None`` uses the current Dask client; a scheduler address or
    ``local:N`` (see ``connect``) connects for the run.

    Options are checked before anything is walked. A path that cannot be read, a file that is not
    UTF-8 text or cannot be written is in ``summary.failed``, a file left out on purpose (a binary
    one) in ``summary.skipped``, each with the command line's line for it; the others are folded
    all the same. The folded outputs are the command line's bytes.
    """
    options = fold_options(
        profile,
        language=language,
        allow_lossy=allow_lossy,
        budget_bytes=budget_bytes,
        budget_chars=budget_chars,
        protected_line_markers=protected_line_markers,
        keep_directives=keep_directives,
        report="json",
    )
    _check_partition_bytes(partition_bytes)
    if isinstance(globs, str):
        raise TypeError("globs must be a sequence of patterns, not one string")
    walk_options = WalkOptions(ignore_files, hidden, tuple(globs), max_filesize)
    named = [os.fsdecode(p) for p in ([paths] if isinstance(paths, (str, bytes, os.PathLike)) else paths)]
    target_dir = None if output_dir is None else os.path.abspath(os.fspath(output_dir))
    # A second run into the same folder does not fold the first run's outputs.
    excluded = frozenset(i for i in [identity(target_dir)] if i is not None)
    sources = walk(named, excluded, walk_options)
    if target_dir is not None:
        _refuse_conflicts(target_dir, sources)

    files: List[FoldedFile] = []
    skipped: List[SkippedFile] = []
    failed: List[SkippedFile] = []
    with _client_for(client) as connected:
        outcomes = list(_outcomes(connected, sources, options, target_dir, partition_bytes))
    for source, outcome in zip(sources, outcomes):
        if isinstance(outcome, NotFolded):
            (failed if outcome.failed else skipped).append(SkippedFile(source.shown, outcome.message, outcome.failed))
            continue
        files.append(
            FoldedFile(
                path=source.shown,
                relative=source.relative,
                output=None if target_dir is not None else outcome.output,
                input_bytes=outcome.report.input_bytes,
                output_bytes=outcome.report.output_bytes,
                over_budget=outcome.report.over_budget,
                report_json=outcome.report.text,
            )
        )
    return FoldSummary(tuple(files), tuple(skipped), tuple(failed), target_dir)


# --------------------------------------------------------------------------- data frames


def folded_meta() -> "pandas.DataFrame":
    """The empty frame fold_partition returns: its columns and their types, for ``map_partitions(meta=)``."""
    import pandas as pd

    return pd.DataFrame(
        {
            "output": pd.Series(dtype=object),
            "input_bytes": pd.Series(dtype="Int64"),
            "output_bytes": pd.Series(dtype="Int64"),
            "behavior_preserving": pd.Series(dtype="boolean"),
            "syntax_valid": pd.Series(dtype="boolean"),
            "report_json": pd.Series(dtype=object),
        }
    )


def _text_of(value: Any, column: str) -> Optional[str]:
    """A cell as text to fold; None for a missing value or bytes that are not UTF-8 text."""
    if isinstance(value, str):
        return value
    if isinstance(value, (bytes, bytearray, memoryview)):
        return decode_text(bytes(value))
    import pandas as pd

    if value is None or (pd.api.types.is_scalar(value) and pd.isna(value)):
        return None
    raise TypeError(f"column '{column}' holds {type(value).__name__}, not text")


def _path_of(value: Any) -> Optional[str]:
    return path_hint(value) if isinstance(value, str) else None


def _fold_column(texts: "pandas.Series", paths: Optional["pandas.Series"], options: FoldOptions) -> "pandas.DataFrame":
    import pandas as pd

    engine = Engine()
    column = str(texts.name)
    rows: Dict[str, List[Any]] = {name: [] for name in FOLDED_COLUMNS}
    hints: List[Optional[str]] = [None] * len(texts) if paths is None else [_path_of(p) for p in paths]
    for value, path in zip(texts, hints):
        text = _text_of(value, column)
        if text is None:
            # Nothing to fold: every column of the row is missing.
            for name in FOLDED_COLUMNS:
                rows[name].append(None)
            continue
        folded = fold_one_text(engine, text, path, options)
        report = json.loads(folded.report.text)
        rows["output"].append(folded.output.decode("utf-8"))
        rows["input_bytes"].append(folded.report.input_bytes)
        rows["output_bytes"].append(folded.report.output_bytes)
        rows["behavior_preserving"].append(report["behavior_preserving"])
        rows["syntax_valid"].append(report.get("syntax_valid"))
        rows["report_json"].append(folded.report.text)
    meta = folded_meta()
    return pd.DataFrame(
        {name: pd.Series(rows[name], index=texts.index, dtype=meta[name].dtype) for name in FOLDED_COLUMNS},
        index=texts.index,
    )


def fold_partition(
    df: "pandas.DataFrame",
    text_column: str,
    *,
    path_column: Optional[str] = None,
    profile: str = "safe",
    language: Optional[str] = None,
    allow_lossy: Optional[bool] = None,
    budget_bytes: Optional[int] = None,
    budget_chars: Optional[int] = None,
    protected_line_markers: Optional[Sequence[str]] = None,
    keep_directives: bool = True,
) -> "pandas.DataFrame":
    """Fold the texts of one pandas frame's column; usable with ``ddf.map_partitions(fold_partition, ...)``.

    Returns a frame with the same index and the columns of FOLDED_COLUMNS: the folded text, the
    byte counts, ``behavior_preserving``, ``syntax_valid`` (missing for content that is not code or
    JSON) and the report as JSON. ``path_column`` names a column of file names, used to detect
    each text's language. Texts may be str or UTF-8 bytes; a missing value, or bytes that are not
    UTF-8 text, gives a row of missing values.
    """
    options = fold_options(
        profile,
        language=language,
        allow_lossy=allow_lossy,
        budget_bytes=budget_bytes,
        budget_chars=budget_chars,
        protected_line_markers=protected_line_markers,
        keep_directives=keep_directives,
    )
    return _fold_column(df[text_column], None if path_column is None else df[path_column], options)


def _fold_series_partition(texts: "pandas.Series", options: FoldOptions) -> "pandas.DataFrame":
    return _fold_column(texts, None, options)


def _fold_frame_partition(
    df: "pandas.DataFrame", text_column: str, path_column: Optional[str], options: FoldOptions
) -> "pandas.DataFrame":
    return _fold_column(df[text_column], None if path_column is None else df[path_column], options)


def fold_series(
    series: Any,
    *,
    profile: str = "safe",
    language: Optional[str] = None,
    text_column: Optional[str] = None,
    path_column: Optional[str] = None,
    allow_lossy: Optional[bool] = None,
    budget_bytes: Optional[int] = None,
    budget_chars: Optional[int] = None,
    protected_line_markers: Optional[Sequence[str]] = None,
    keep_directives: bool = True,
) -> Any:
    """Fold a column of texts: a frame of FOLDED_COLUMNS with the same index and partitions.

    ``series`` is a Dask (or pandas) Series of texts, or a data frame whose ``text_column`` holds the
    texts and whose ``path_column``, when given, the file names that tell each text's language. The
    result is lazy for Dask input (``.compute()`` runs it on the current scheduler); the options are
    checked at once.
    """
    import pandas as pd

    options = fold_options(
        profile,
        language=language,
        allow_lossy=allow_lossy,
        budget_bytes=budget_bytes,
        budget_chars=budget_chars,
        protected_line_markers=protected_line_markers,
        keep_directives=keep_directives,
    )
    is_frame = isinstance(series, pd.DataFrame)
    if not is_frame and not isinstance(series, pd.Series):
        import dask.dataframe as dd

        if not isinstance(series, (dd.Series, dd.DataFrame)):
            raise TypeError(f"fold_series takes a Series or a DataFrame, not {type(series).__name__}")
        is_frame = isinstance(series, dd.DataFrame)
    if is_frame:
        if text_column is None:
            raise TypeError("fold_series needs text_column to fold a DataFrame")
        columns = [text_column] + ([] if path_column is None else [path_column])
        missing = [c for c in columns if c not in series.columns]
        if missing:
            raise KeyError(f"no column {missing[0]!r} in the DataFrame")
        if isinstance(series, pd.DataFrame):
            return _fold_frame_partition(series, text_column, path_column, options)
        return series.map_partitions(_fold_frame_partition, text_column, path_column, options, meta=folded_meta())
    if text_column is not None or path_column is not None:
        raise TypeError("text_column and path_column name columns of a DataFrame; a Series is its own text column")
    if isinstance(series, pd.Series):
        return _fold_series_partition(series, options)
    return series.map_partitions(_fold_series_partition, options, meta=folded_meta())

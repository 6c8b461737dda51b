"""Folding the sources in worker processes, with the same results in the same order for any --jobs.

A fold holds the interpreter lock from start to end, so a process that folds cannot run a signal
handler until the fold returns. Folds that may take a while therefore run in worker processes, and
the main process only hands out work, collects results, writes them and, on a signal, stops the
workers and cleans up at once. Workers are forked: a fork costs a few milliseconds where starting an
interpreter costs a hundred, and a worker finds the sources and options already in its memory, so
only two indices go to it and only the folded text and the report it needs come back. A run whose
whole input is small folds in the main process: it is done before a signal would have to wait.
"""

from __future__ import annotations

import collections
import dataclasses
import os
import signal
import stat
import struct
import sys
from dataclasses import dataclass
from typing import Callable, Deque, Dict, Generator, List, Optional, Sequence, Tuple, Union

from .. import Engine, detect_language, profile_info
from ..directives import directive_ranges
from .errors import STOPPING_SIGNALS, CliError, reason, signals_deferred
from .reporting import ReportDigest, digest, not_folded_line
from .sources import Source, SourceChanged, decode_text, path_hint, read_source, stat_failure


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
    # Whether each file's whole report goes along with its text (for a bundle that carries reports).
    bundle_reports: bool = False

    @property
    def budgeted(self) -> bool:
        return self.budget_bytes is not None or self.budget_chars is not None


@dataclass(frozen=True)
class Folded:
    """A folded text, encoded as it is written; changed tells whether it differs from its input."""

    output: bytes
    report: ReportDigest
    changed: bool = True


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
    output = result.output
    # A JSON file keeps the line feed that ended it, as a JSON tool writes one after each document;
    # the report still describes the engine's output.
    if text.endswith("\n") and not output.endswith("\n") and result.report.detected_language == "json":
        output += "\n"
    return Folded(
        output.encode("utf-8"), digest(result.report, name, options.report, options.budgeted, options.bundle_reports),
        output != text,
    )


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
    del data  # the file's bytes are not needed during the fold: on a large file they are its size again
    # Building an engine costs about a microsecond, so each file gets its own.
    return fold_text(Engine(), text, source.shown, path_hint(source.path), options)


# Source code folds at 0.5 MB/s or more even on a busy machine, so this much input is folded in the
# main process in well under a second, and a signal waits no longer than that; a worker would cost a
# fork, about as much as the fold of a small file.
IN_PROCESS_LIMIT = 64 << 10


def _small(sources: Sequence[Source]) -> bool:
    """Whether the files of sources add up to little enough to be folded in the main process."""
    total = 0
    for source in sources:
        if source.skip:
            continue
        try:
            st = os.stat(source.location)
        except OSError:
            continue  # its read fails at once
        if not stat.S_ISREG(st.st_mode):
            return False  # a pipe or a device may take any time
        total += st.st_size
        if total > IN_PROCESS_LIMIT:
            return False
    return True


def _read_standard_input(limit: int = -1) -> bytes:
    """Standard input up to limit bytes (or to its end); OSError when it cannot be read."""
    chunks = []
    size = 0
    with open(0, "rb", buffering=0, closefd=False) as stream:
        while limit < 0 or size <= limit:
            chunk = stream.read(1 << 20 if limit < 0 else limit + 1 - size)
            if not chunk:
                break
            chunks.append(chunk)
            size += len(chunk)
    return b"".join(chunks)


def _fold_standard_input(head: bytes, rest: bool, options: FoldOptions) -> Outcome:
    try:
        data = head + _read_standard_input() if rest else head
    except OSError as error:
        return NotFolded(f"cannot read standard input: {reason(error)}", failed=True)
    text = decode_text(data)
    del data
    if text is None:
        return NotFolded("standard input is not UTF-8 text", failed=True)
    return fold_text(Engine(), text, "<stdin>", None, options)


def fold_sources(sources: Sequence[Source], options: FoldOptions, jobs: int) -> Generator[Outcome, None, None]:
    """The outcome of each source, in the order of sources; close() stops the workers at once."""
    if jobs <= 1 and _small(sources):
        return (fold_source(source, options) for source in sources)
    return in_workers(lambda index: fold_source(sources[index], options), [s.shown for s in sources], jobs)


def fold_one(source: Source, options: FoldOptions) -> Outcome:
    """The outcome of one source, folded in a worker unless it is small."""
    if _small([source]):
        return fold_source(source, options)
    return _only(in_workers(lambda _: fold_source(source, options), [source.shown], 1))


def fold_stdin(options: FoldOptions) -> Outcome:
    """The outcome of standard input; what goes past a small beginning is read and folded in a worker."""
    try:
        head = _read_standard_input(IN_PROCESS_LIMIT)
    except OSError as error:
        return NotFolded(f"cannot read standard input: {reason(error)}", failed=True)
    if len(head) <= IN_PROCESS_LIMIT:
        return _fold_standard_input(head, False, options)
    # The worker has the beginning in its copy of this process's memory and reads the rest itself.
    return _only(in_workers(lambda _: _fold_standard_input(head, True, options), ["standard input"], 1))


def _only(outcomes: Generator[Outcome, None, None]) -> Outcome:
    try:
        return next(outcomes)
    finally:
        outcomes.close()


# --------------------------------------------------------------------------- worker processes

Task = Callable[[int], Outcome]
_REQUEST = struct.Struct("!qq")  # the range of indices [start, end) a worker is to fold
_REPLY = struct.Struct("!QQ")  # the sizes of the pickled outcome and of the folded text after it
# Chunks shrink as the work runs out, so that the workers finish together; a cap keeps the results
# waiting for their turn few.
MAX_CHUNK = 32


def _can_fork() -> bool:
    # Forking a process that runs other threads can copy a lock another thread holds; such a caller
    # (main() called from a threaded program) folds in its own process instead. A process that never
    # imported threading runs no other Python thread.
    threading = sys.modules.get("threading")
    return hasattr(os, "fork") and (threading is None or threading.active_count() == 1)


def _read_exact(fd: int, size: int) -> Optional[bytearray]:
    """size bytes from fd, or None when it ends first."""
    buffer = bytearray(size)
    view = memoryview(buffer)
    got = 0
    while got < size:
        count = os.readv(fd, [view[got:]])
        if count == 0:
            return None
        got += count
    return buffer


def _write_all(fd: int, data: Union[bytes, bytearray]) -> None:
    view = memoryview(data)
    while view:
        view = view[os.write(fd, view):]


def _failure(label: str, error: BaseException) -> NotFolded:
    what = "out of memory" if isinstance(error, MemoryError) else str(error) or type(error).__name__
    return NotFolded(not_folded_line(label, what, True), failed=True)


def _serve(task: Task, labels: Sequence[str], requests: int, replies: int) -> None:
    """A worker's life: fold each range it is sent and send back one reply per index, until EOF."""
    import pickle
    while True:
        request = _read_exact(requests, _REQUEST.size)
        if request is None:
            return
        start, end = _REQUEST.unpack(request)
        for index in range(start, end):
            try:
                outcome = task(index)
            except Exception as error:  # a fold that fails must not take the others with it
                outcome = _failure(labels[index], error)
            text = outcome.output if isinstance(outcome, Folded) else b""
            if isinstance(outcome, Folded):
                outcome = dataclasses.replace(outcome, output=b"")
            meta = pickle.dumps(outcome, pickle.HIGHEST_PROTOCOL)
            _write_all(replies, _REPLY.pack(len(meta), len(text)) + meta)
            _write_all(replies, text)


class _Worker:
    def __init__(self, task: Task, labels: Sequence[str], inherited: List[int]):
        self.pending: Deque[int] = collections.deque()
        sys.stdout.flush()
        sys.stderr.flush()
        requests_read, self.requests = os.pipe()
        self.replies, replies_write = os.pipe()
        try:
            self.pid = os.fork()
        except OSError as error:  # out of processes or of memory
            for fd in (requests_read, self.requests, self.replies, replies_write):
                os.close(fd)
            raise CliError(f"cannot start a worker process: {reason(error)}") from None
        if self.pid == 0:  # pragma: no cover - runs in the child, whose exit ends the coverage
            status = 1
            try:
                # Ctrl-C and a closed terminal reach the whole process group: the main process
                # decides. SIGTERM keeps its default, so that the worker can be stopped from outside.
                for signum in STOPPING_SIGNALS:
                    signal.signal(signum, signal.SIG_DFL if signum == signal.SIGTERM else signal.SIG_IGN)
                # The fork ran with the stopping signals held back; the worker takes them as they come.
                signal.pthread_sigmask(signal.SIG_UNBLOCK, STOPPING_SIGNALS)
                for fd in [self.requests, self.replies, *inherited]:
                    os.close(fd)
                _serve(task, labels, requests_read, replies_write)
                status = 0
            except BaseException:  # noqa: B036 - nothing may return into the main process's code
                pass
            finally:
                os._exit(status)
        os.close(requests_read)
        os.close(replies_write)

    def send(self, start: int, end: int) -> bool:
        """Hand the range to the worker; False when it is gone."""
        try:
            _write_all(self.requests, _REQUEST.pack(start, end))
        except OSError:
            return False
        self.pending.extend(range(start, end))
        return True

    def receive(self) -> Optional[Outcome]:
        """The worker's next reply, or None when it died before sending it whole."""
        import pickle
        try:
            header = _read_exact(self.replies, _REPLY.size)
            if header is None:
                return None
            meta_size, text_size = _REPLY.unpack(header)
            meta = _read_exact(self.replies, meta_size)
            text = _read_exact(self.replies, text_size)
        except OSError:
            return None
        if meta is None or text is None:
            return None
        outcome: Outcome = pickle.loads(meta)
        if isinstance(outcome, Folded):
            # A bytearray, not bytes: converting would copy the text once more.
            outcome = dataclasses.replace(outcome, output=text)
        return outcome

    def fds(self) -> List[int]:
        return [self.requests, self.replies]

    def stop(self) -> str:
        """Stop the worker, wait for it, and say how it ended."""
        for fd in self.fds():
            try:
                os.close(fd)
            except OSError:
                pass
        try:
            os.kill(self.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        try:
            _, status = os.waitpid(self.pid, 0)
        except ChildProcessError:
            return "ended"
        if os.WIFSIGNALED(status):
            number = os.WTERMSIG(status)
            try:
                name = signal.Signals(number).name
            except ValueError:
                name = f"signal {number}"
            return f"was killed by {name}"
        return f"exited with status {os.WEXITSTATUS(status)}"


def in_workers(task: Task, labels: Sequence[str], jobs: int) -> Generator[Outcome, None, None]:
    """task(index) for each index of labels, run in up to jobs worker processes, yielded in order.

    labels name the items in the message for a worker that dies folding one (out of memory, a
    crash); the run goes on with the others in a new worker. close() stops the workers at once.
    """
    count = len(labels)
    if count == 0:
        return
    if not _can_fork():
        for index in range(count):
            yield task(index)
        return
    # Here, not at the top: a run that folds in one process needs neither. pickle is loaded before the
    # workers fork, so that each of them finds it loaded.
    import pickle  # noqa: F401
    import selectors

    workers: List[_Worker] = []
    selector = selectors.DefaultSelector()
    retry: Deque[int] = collections.deque()
    results: Dict[int, Outcome] = {}
    given = 0  # indices below this were handed out once
    done = 0  # indices below this were yielded
    width = max(1, min(jobs, count))

    def start() -> _Worker:
        with signals_deferred():
            worker = _Worker(task, labels, [fd for other in workers for fd in other.fds()])
            workers.append(worker)
        selector.register(worker.replies, selectors.EVENT_READ, worker)
        return worker

    def hand_out(worker: _Worker) -> None:
        nonlocal given
        if retry:
            index = retry.popleft()
            if not worker.send(index, index + 1):
                retry.appendleft(index)  # the worker is gone: its end is seen, and it is replaced
            return
        # Results wait in memory until their turn: keep how far the work runs ahead bounded.
        if given >= count or given - done >= MAX_CHUNK * width * 2:
            return
        size = max(1, min(MAX_CHUNK, (count - given) // (width * 4)))
        if worker.send(given, given + size):
            given += size

    def replace(worker: _Worker) -> None:
        selector.unregister(worker.replies)
        how = worker.stop()
        workers.remove(worker)
        if worker.pending:
            lost = worker.pending.popleft()
            results[lost] = NotFolded(not_folded_line(labels[lost], f"the worker process folding it {how}", True), failed=True)
            retry.extendleft(reversed(worker.pending))
        if retry or given < count:
            hand_out(start())

    try:
        for _ in range(width):
            hand_out(start())
        while done < count:
            if done in results:
                outcome = results.pop(done)
                done += 1
                yield outcome
                continue
            # A worker left idle while the results were too far ahead gets work again, before waiting:
            # once the results it waited for are taken, no reply may be coming to wake this loop.
            for worker in list(workers):
                if not worker.pending:
                    hand_out(worker)
            for key, _ in selector.select():
                worker = key.data
                outcome = worker.receive()
                if outcome is None:
                    replace(worker)
                    continue
                results[worker.pending.popleft()] = outcome
                if not worker.pending:
                    hand_out(worker)
    finally:
        with signals_deferred():
            for worker in workers:
                worker.stop()
            selector.close()

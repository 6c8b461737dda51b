"""Writing the folded texts, never short and never over an input.

Standard output and standard error are written to the last byte or fail with one line; a named output
that is a regular file (or a new one) is replaced in one step once the run succeeds, and anything else
it may name (a device, a pipe, a file in a folder that cannot take a temporary file) is written through
once the whole output is ready. A bundle goes to one output, a mirrored tree to a directory, and
--in-place replaces each file with its folded text.
"""

from __future__ import annotations

import contextlib
import errno
import io
import os
import stat
import sys
from typing import Any, Dict, Iterator, List, Optional, Sequence, TextIO, Tuple, Union

from .errors import CliError, WriteError, reason, signals_deferred
from .reporting import ReportDigest
from .sources import Source, StrPath

Data = Union[bytes, bytearray, memoryview]
STDOUT_NAME = "standard output"
TEMP_PREFIX = ".tersewright-"
# Outputs written through (not renamed) wait in memory up to this size, then in an unnamed file.
SPOOL_MEMORY = 16 << 20


def write_all(fd: int, data: Data) -> None:
    """Write every byte of data to fd: a short write is carried on, a failed one raises OSError."""
    view = memoryview(data).cast("B")
    while view:
        written = os.write(fd, view)
        if written <= 0:
            raise OSError(errno.EIO, os.strerror(errno.EIO))
        view = view[written:]


# --------------------------------------------------------------------------- standard streams


def keep_standard_descriptors_taken() -> None:
    """Keep descriptors 0, 1 and 2 taken, so that no file the run opens lands on one of them.

    A stream that was closed (``>&-``) gets /dev/null opened for reading in its place: standard input
    reads as empty, and writes to standard output or standard error fail as on a closed descriptor.
    """
    for fd in (0, 1, 2):
        try:
            os.fstat(fd)
        except OSError:
            placeholder = os.open(os.devnull, os.O_RDONLY)
            if placeholder != fd:
                os.dup2(placeholder, fd, inheritable=True)
                os.close(placeholder)
            else:
                os.set_inheritable(fd, True)


class _FullWriter(io.RawIOBase):
    """The raw layer of a standard stream: every write completes, or raises WriteError naming the stream.

    After a failure the rest is dropped: the failure has been reported, and the interpreter must not
    report it again when it flushes the stream at exit. A reader that went away raises
    BrokenPipeError, which ends the run quietly.
    """

    def __init__(self, fd: int, name: str):
        super().__init__()
        self._fd = fd
        self.name_shown = name
        self.failed = False

    def writable(self) -> bool:
        return True

    def fileno(self) -> int:
        return self._fd

    def isatty(self) -> bool:
        return os.isatty(self._fd)

    def write(self, data: Data) -> int:  # type: ignore[override]
        size = memoryview(data).nbytes
        if self.failed:
            return size
        try:
            write_all(self._fd, data)
        except BrokenPipeError:
            self.failed = True
            raise
        except OSError as error:
            self.failed = True
            raise WriteError(self.name_shown, error) from None
        return size


def _checked_stream(original: Optional[TextIO], fd: int, name: str, errors: str) -> Optional[TextIO]:
    """A text stream over fd that writes everything or fails; None where original is not fd."""
    if original is not None:
        try:
            if original.fileno() != fd:
                return None
        except (AttributeError, OSError, ValueError):
            return None  # a replaced stream (a capture): left as it is
    raw = _FullWriter(fd, name)
    terminal = raw.isatty()
    return io.TextIOWrapper(
        io.BufferedWriter(raw),
        encoding=getattr(original, "encoding", None) or "utf-8",
        errors=getattr(original, "errors", None) or errors,
        line_buffering=terminal or fd == 2,
    )


@contextlib.contextmanager
def checked_standard_streams() -> Iterator[None]:
    """Replace sys.stdout and sys.stderr with streams whose every write is complete or reported."""
    saved = sys.stdout, sys.stderr
    for stream in saved:
        if stream is not None:
            with contextlib.suppress(OSError, ValueError):
                stream.flush()
    stdout = _checked_stream(saved[0], 1, STDOUT_NAME, "strict")
    stderr = _checked_stream(saved[1], 2, "standard error", "backslashreplace")
    if stdout is not None:
        sys.stdout = stdout
    if stderr is not None:
        sys.stderr = stderr
    try:
        yield
    finally:
        for checked in (stdout, stderr):
            if checked is not None:
                # Whatever is left was already reported as failed, or belongs to a run cut short.
                with contextlib.suppress(Exception):
                    checked.flush()
        sys.stdout, sys.stderr = saved


def standard_error_failed(error: BaseException) -> bool:
    """Whether error is standard error's own failure, which cannot be reported on it."""
    return isinstance(error, WriteError) and error.name == "standard error"


# --------------------------------------------------------------------------- refusals


def _umask() -> int:
    mask = os.umask(0)
    os.umask(mask)
    return mask


def _regular_identity(path: str) -> Optional[Tuple[int, int]]:
    try:
        st = os.stat(path)
    except OSError:
        return None
    return (st.st_dev, st.st_ino) if stat.S_ISREG(st.st_mode) else None


def _within(path: str, root: str) -> bool:
    try:
        return os.path.commonpath([path, root]) == root
    except ValueError:
        return False


def refuse_output_over_inputs(output: Optional[StrPath], paths: Sequence[str]) -> None:
    """Refuse, before anything is read or written, an output that is an input or lies in a folded tree.

    The same file is the same device and inode, whatever links lead to it; a directory argument
    holds every path under its real location. Standard input is compared by what it is open on.
    """
    if output is None or os.fspath(output) == "-":
        return
    output = os.fspath(output)
    target = _regular_identity(output)
    real = os.path.realpath(output)
    for path in paths:
        if path == "-":
            try:
                st = os.fstat(0)
            except OSError:
                continue
            if target is not None and stat.S_ISREG(st.st_mode) and target == (st.st_dev, st.st_ino):
                raise CliError(f"refusing to write {output}: it is the file standard input reads")
            continue
        if os.path.isdir(path):
            if _within(real, os.path.realpath(path)):
                raise CliError(f"refusing to write {output} inside {path}, a tree being folded")
        elif target is not None and target == _regular_identity(path):
            raise CliError(
                f"refusing to overwrite the input {path} with its folded text (--in-place folds files in place)"
            )


# --------------------------------------------------------------------------- files


def _replaceable(path: str) -> Optional[str]:
    """The real location of path when its output can go through a temporary file and a rename.

    That is a regular file, or a name still free, in a folder we may write; not a device or a pipe,
    and not a descriptor of this process reached through /proc (``/dev/stdout``), whose file the
    shell opened: writing through it keeps what the shell asked for, appending included.
    """
    current = os.path.abspath(path)
    for _ in range(40):
        folder = os.path.realpath(os.path.dirname(current))
        if folder == "/proc" or folder.startswith("/proc/"):
            return None
        current = os.path.join(folder, os.path.basename(current))
        if not os.path.islink(current):
            break
        current = os.path.join(folder, os.readlink(current))
    else:
        return None  # a loop of links: opening the name reports it
    try:
        st: Optional[os.stat_result] = os.stat(current)
    except FileNotFoundError:
        st = None
    except OSError:
        return None
    if st is not None and not stat.S_ISREG(st.st_mode):
        return None
    if not os.access(os.path.dirname(current), os.W_OK | os.X_OK):
        return None
    return current


class AtomicFile:
    """A file replaced in one step: written under a temporary name in its folder, renamed on commit.

    The replacement keeps the mode (and, where allowed, the owner) of the file it replaces; a new file
    gets the mode the umask gives. discard() removes the temporary file, and is harmless after commit.
    """

    def __init__(self, target: str, shown: str):
        self.target = target
        self.shown = shown
        self._temp: Optional[str] = None
        self._fd = -1
        try:
            existing: Optional[os.stat_result] = os.stat(target)
        except FileNotFoundError:
            existing = None
        except OSError as error:
            raise CliError(f"cannot write {shown}: {reason(error)}") from None
        self._mode = stat.S_IMODE(existing.st_mode) if existing else 0o666 & ~_umask()
        self._owner = (existing.st_uid, existing.st_gid) if existing else None
        import tempfile  # only runs that write files need it, and its import costs a few milliseconds

        try:
            with signals_deferred():
                self._fd, self._temp = tempfile.mkstemp(prefix=TEMP_PREFIX, dir=os.path.dirname(target) or ".")
        except OSError as error:
            raise CliError(f"cannot write {shown}: {reason(error)}") from None

    def write(self, data: Data) -> None:
        try:
            write_all(self._fd, data)
        except OSError as error:
            raise WriteError(self.shown, error) from None

    def commit(self) -> None:
        try:
            with signals_deferred():
                os.fchmod(self._fd, self._mode)
                if self._owner is not None:
                    st = os.fstat(self._fd)
                    if (st.st_uid, st.st_gid) != self._owner:
                        with contextlib.suppress(OSError):
                            os.fchown(self._fd, *self._owner)
                os.close(self._fd)
                self._fd = -1
                assert self._temp is not None
                os.replace(self._temp, self.target)
                self._temp = None
        except OSError as error:
            raise WriteError(self.shown, error) from None

    def discard(self) -> None:
        with signals_deferred():
            if self._fd >= 0:
                with contextlib.suppress(OSError):
                    os.close(self._fd)
                self._fd = -1
            if self._temp is not None:
                with contextlib.suppress(OSError):
                    os.unlink(self._temp)
                self._temp = None


class _WrittenThrough:
    """An output that cannot be renamed over: held until commit, then written through its name."""

    def __init__(self, path: str):
        self.path = path
        # Fail now, not after the whole run, when the output cannot be opened at all.
        if os.path.isdir(path):
            raise WriteError(path, OSError(errno.EISDIR, os.strerror(errno.EISDIR)))
        if not os.path.exists(path):
            folder = os.path.dirname(os.path.abspath(path))
            code = errno.EACCES if os.path.isdir(folder) else errno.ENOENT
            raise WriteError(path, OSError(code, os.strerror(code)))
        if not os.access(path, os.W_OK):
            raise WriteError(path, OSError(errno.EACCES, os.strerror(errno.EACCES)))
        import tempfile

        self._held: Optional[tempfile.SpooledTemporaryFile[bytes]] = tempfile.SpooledTemporaryFile(SPOOL_MEMORY)

    def write(self, data: Data) -> None:
        assert self._held is not None
        try:
            self._held.write(data)
        except OSError as error:
            raise CliError(f"cannot hold the output for {self.path} in a temporary file: {reason(error)}") from None

    def commit(self) -> None:
        assert self._held is not None
        try:
            fd = os.open(self.path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o666)
        except OSError as error:
            raise WriteError(self.path, error) from None
        try:
            self._held.seek(0)
            while chunk := self._held.read(1 << 20):
                write_all(fd, chunk)
        except OSError as error:
            raise WriteError(self.path, error) from None
        finally:
            os.close(fd)
        self.discard()

    def discard(self) -> None:
        if self._held is not None:
            self._held.close()
            self._held = None


class OutputFile:
    """The one output of a run: a named file, or standard output when no name (or '-') is given."""

    def __init__(self, path: Optional[StrPath]):
        named = None if path is None or os.fspath(path) == "-" else os.fspath(path)
        self.path = named
        self._file: Union[AtomicFile, _WrittenThrough, None] = None
        if named is not None:
            real = _replaceable(named)
            self._file = _WrittenThrough(named) if real is None else AtomicFile(real, named)

    def write(self, data: Data) -> None:
        if self._file is not None:
            self._file.write(data)
            return
        # Through sys.stdout, so that what was printed before comes first; its raw layer is ours.
        try:
            sys.stdout.buffer.write(data)
        except (BrokenPipeError, WriteError):
            raise
        except OSError as error:
            raise WriteError(STDOUT_NAME, error) from None

    def commit(self) -> None:
        if self._file is not None:
            self._file.commit()
            return
        try:
            sys.stdout.flush()
        except (BrokenPipeError, WriteError):
            raise
        except OSError as error:
            raise WriteError(STDOUT_NAME, error) from None

    def discard(self) -> None:
        """Drop what commit did not keep; harmless after commit."""
        if self._file is not None:
            self._file.discard()


class Bundle:
    """Several folded files in one output, in a bundle style (plain: each after a '==> PATH <==' line).

    Each file is named relative to base, the folder the named paths share. With a tree, the files
    wait in a temporary file (in memory while small) until the tree of all of them can come first.
    """

    def __init__(self, path: Optional[StrPath], base: Optional[str] = None, style: str = "plain", tree: bool = False):
        from ..bundle import check_style  # only bundles need the styles

        self._output = OutputFile(path)
        self.base = base
        self.style = check_style(style)
        self.tree = tree
        self._labels: List[str] = []
        self._body: Optional[Any] = None
        self._begun = False
        if tree:
            import tempfile

            self._body = tempfile.SpooledTemporaryFile(SPOOL_MEMORY)

    def _begin(self) -> None:
        from ..bundle import directory_tree, render_head

        if not self._begun:
            self._begun = True
            head = render_head(self.style, None, directory_tree(self._labels) if self.tree else None)
            self._output.write(head.encode("utf-8"))

    def add(self, source: Source, data: Data, report: Optional[ReportDigest] = None) -> None:
        from ..bundle import BundleFile, label_of, render_file, separator

        label = label_of(source.path, self.base)
        details = None
        if report is not None and report.report_json:
            import json  # only bundles that carry reports read them

            details = json.loads(report.report_json)
        file = BundleFile(label, bytes(data).decode("utf-8"), report.language if report else "text",
                          report.profile if report else None, None, details)  # fmt: skip
        piece = (separator(self.style) if self._labels else "") + render_file(self.style, file)
        self._labels.append(label)
        if self._body is None:
            self._begin()
            self._output.write(piece.encode("utf-8"))
            return
        try:
            self._body.write(piece.encode("utf-8"))
        except OSError as error:
            raise CliError(f"cannot hold the bundle in a temporary file: {reason(error)}") from None

    def commit(self) -> None:
        from ..bundle import render_tail

        self._begin()
        if self._body is not None:
            try:
                self._body.seek(0)
                while chunk := self._body.read(1 << 20):
                    self._output.write(chunk)
            except OSError as error:
                raise CliError(f"cannot read back the bundle from its temporary file: {reason(error)}") from None
        self._output.write(render_tail(self.style, len(self._labels)).encode("utf-8"))
        self._output.commit()

    def discard(self) -> None:
        if self._body is not None:
            self._body.close()
            self._body = None
        self._output.discard()


class Mirror:
    """Each folded file written under a directory, at its place in the tree it came from."""

    def __init__(self, directory: StrPath, sources: Sequence[Source]):
        self.directory = os.fspath(directory)
        if os.path.exists(self.directory) and not os.path.isdir(self.directory):
            raise CliError(f"cannot write into {self.directory}: not a directory")
        self._refuse_conflicts(sources)
        self._current: Optional[AtomicFile] = None

    def _refuse_conflicts(self, sources: Sequence[Source]) -> None:
        """Refuse, before anything is written, runs that would overwrite an input or write a file twice."""
        claimed: Dict[str, str] = {}
        for source in sources:
            if source.skip:
                continue
            target = os.path.normpath(os.path.join(self.directory, source.relative))
            if target in claimed:
                raise CliError(f"{claimed[target]} and {source.shown} would both be written to {target}")
            claimed[target] = source.shown
            if os.path.exists(target) and os.path.samefile(target, source.location):
                raise CliError(f"refusing to overwrite the input {source.shown} with its folded text")

    def add(self, source: Source, data: Data, report: Optional[ReportDigest] = None) -> None:
        target = os.path.join(self.directory, source.relative)
        try:
            os.makedirs(os.path.dirname(target) or ".", exist_ok=True)
        except OSError as error:
            raise CliError(f"cannot write {target}: {reason(error)}") from None
        # Each file is replaced whole, so that a run cut short leaves no file half written.
        self._current = AtomicFile(target, target)
        try:
            self._current.write(data)
            self._current.commit()
        finally:
            self._current.discard()
            self._current = None

    def commit(self) -> None:
        """Every file is in place as soon as it is added."""

    def discard(self) -> None:
        """What was written stays: each file is complete."""
        if self._current is not None:
            self._current.discard()


class InPlace:
    """Files replaced by their folded text, each in one step, each left alone when nothing changes.

    A file is replaced only if it is still the file that was read: one changed meanwhile (by an
    editor, another run) is left as it is and reported.
    """

    def __init__(self, sources: Sequence[Source]):
        self._seen: Dict[str, Tuple[int, int, int, int]] = {}
        for source in sources:
            if source.skip:
                continue
            real = os.path.realpath(source.location)
            with contextlib.suppress(OSError):
                self._seen[source.location] = self._state(real)

    @staticmethod
    def _state(path: str) -> Tuple[int, int, int, int]:
        st = os.stat(path)
        return (st.st_dev, st.st_ino, st.st_size, st.st_mtime_ns)

    def replace(self, source: Source, data: Data) -> None:
        # A symbolic link stays a link: the file it leads to is the one replaced.
        real = os.path.realpath(source.location)
        try:
            unchanged = self._state(real) == self._seen.get(source.location)
        except OSError as error:
            raise CliError(f"cannot write {source.shown}: {reason(error)}") from None
        if not unchanged:
            raise CliError(f"{source.shown} changed while it was folded; left as it is")
        replacement = AtomicFile(real, source.shown)
        try:
            replacement.write(data)
            replacement.commit()
        finally:
            replacement.discard()

"""Writing the folded texts: one output file or standard output, a bundle, or a mirrored tree."""

from __future__ import annotations

import os
import stat
import sys
import tempfile
from typing import BinaryIO, Dict, Optional, Sequence

from .errors import CliError, reason
from .sources import Source, StrPath


def _umask() -> int:
    mask = os.umask(0)
    os.umask(mask)
    return mask


class OutputFile:
    """A named output replaced only once the run succeeds; standard output when no name is given."""

    def __init__(self, path: Optional[StrPath]):
        self.path = None if path is None else os.fspath(path)
        self._temp: Optional[str] = None
        self._mode = 0o644
        self.stream: BinaryIO = sys.stdout.buffer
        if self.path is None:
            return
        try:
            existing = os.stat(self.path) if os.path.exists(self.path) else None
            if existing is None or stat.S_ISREG(existing.st_mode):
                directory = os.path.dirname(os.path.abspath(self.path))
                fd, self._temp = tempfile.mkstemp(prefix=".tersewright-", dir=directory)
                # mkstemp creates the file private; give it the mode the replaced file had, or the
                # mode a new file would get.
                self._mode = stat.S_IMODE(existing.st_mode) if existing else 0o666 & ~_umask()
                self.stream = os.fdopen(fd, "wb")
            else:
                # A device or a pipe (/dev/stdout, a FIFO) cannot be replaced by renaming.
                self.stream = open(self.path, "wb")
        except OSError as error:
            raise CliError(f"cannot write {self.path}: {reason(error)}") from None

    def _failure(self, error: OSError) -> CliError:
        return CliError(f"cannot write {self.path or 'standard output'}: {reason(error)}")

    def write(self, data: bytes) -> None:
        try:
            self.stream.write(data)
        except BrokenPipeError:
            raise
        except OSError as error:
            raise self._failure(error) from None

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
            raise self._failure(error) from None

    def discard(self) -> None:
        """Drop what commit did not keep; harmless after commit."""
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


class Bundle:
    """Several folded files in one output, each after a '==> PATH <==' line."""

    def __init__(self, path: Optional[StrPath]):
        self._output = OutputFile(path)

    def add(self, source: Source, data: bytes) -> None:
        self._output.write(b"==> " + os.fsencode(source.shown) + b" <==\n")
        self._output.write(data)
        # The next header must start a line of its own.
        if data and not data.endswith(b"\n"):
            self._output.write(b"\n")

    def commit(self) -> None:
        self._output.commit()

    def discard(self) -> None:
        self._output.discard()


class Mirror:
    """Each folded file written under a directory, at its place in the tree it came from."""

    def __init__(self, directory: StrPath, sources: Sequence[Source]):
        self.directory = os.fspath(directory)
        if os.path.exists(self.directory) and not os.path.isdir(self.directory):
            raise CliError(f"cannot write into {self.directory}: not a directory")
        self._refuse_conflicts(sources)

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

    def add(self, source: Source, data: bytes) -> None:
        target = os.path.join(self.directory, source.relative)
        try:
            os.makedirs(os.path.dirname(target) or ".", exist_ok=True)
            with open(target, "wb") as handle:
                handle.write(data)
        except OSError as error:
            raise CliError(f"cannot write {target}: {reason(error)}") from None

    def commit(self) -> None:
        """Every file is in place as soon as it is added."""

    def discard(self) -> None:
        """What was written stays: each file is complete."""

"""How a run fails: one line on standard error and exit status 2, or a signal that ends it."""

from __future__ import annotations

import contextlib
import signal
from typing import Iterator, Optional

# The signals that end a run after its cleanup: Ctrl-C, a kill or a timeout, a closed terminal.
STOPPING_SIGNALS = tuple(
    getattr(signal, name) for name in ("SIGINT", "SIGTERM", "SIGHUP") if hasattr(signal, name)
)


class CliError(Exception):
    """A problem reported as one line and exit status 2."""


class UsageError(CliError):
    """A command line that cannot be run as written; reported with a pointer to the command's help.

    command names the subcommand whose help the pointer names, when it is not the one being run;
    show_usage adds the command's usage lines.
    """

    def __init__(self, message: str, command: Optional[str] = None, show_usage: bool = False):
        super().__init__(message)
        self.command = command
        self.show_usage = show_usage


class WriteError(CliError):
    """A write to a named output that failed; standard error's own failures cannot be reported."""

    def __init__(self, name: str, error: OSError):
        super().__init__(f"cannot write {name}: {reason(error)}")
        self.name = name


class Stopped(BaseException):
    """A stopping signal arrived; like KeyboardInterrupt, it unwinds the run through its cleanup."""

    def __init__(self, signum: int):
        super().__init__(signum)
        self.signum = signum


def reason(error: OSError) -> str:
    """What went wrong with a file, in the operating system's words."""
    return error.strerror or str(error)


def _stop(signum: int, frame: object) -> None:
    # The first signal decides; a second one must not cut the cleanup that the first one started.
    for other in STOPPING_SIGNALS:
        if signal.getsignal(other) is _stop:
            signal.signal(other, signal.SIG_IGN)
    raise Stopped(signum)


@contextlib.contextmanager
def stopping_signals() -> Iterator[None]:
    """Turn the stopping signals into Stopped for the length of a run.

    A signal ignored when the run starts (``nohup``, a background job) stays ignored. Handlers can
    only be set from the main thread; elsewhere the signals keep what they had.
    """
    previous = {}
    for signum in STOPPING_SIGNALS:
        if signal.getsignal(signum) is signal.SIG_IGN:
            continue
        try:
            previous[signum] = signal.signal(signum, _stop)
        except ValueError:  # not the main thread
            break
    try:
        yield
    finally:
        for signum, handler in previous.items():
            signal.signal(signum, handler)


@contextlib.contextmanager
def signals_deferred() -> Iterator[None]:
    """Hold the stopping signals back while a cleanup or a commit must run to its end.

    A signal that arrives meanwhile is delivered, and stops the run, once the block is over.
    """
    if not hasattr(signal, "pthread_sigmask"):
        yield
        return
    previous = signal.pthread_sigmask(signal.SIG_BLOCK, STOPPING_SIGNALS)
    try:
        yield
    finally:
        signal.pthread_sigmask(signal.SIG_SETMASK, previous)

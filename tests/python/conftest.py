import contextlib
import os
import pty
import subprocess
import sys
from pathlib import Path

import pytest

import tersewright

PACKAGE_ROOT = str(Path(tersewright.__file__).resolve().parent.parent)
PROFILES = ["safe", "code-review", "interface-only", "documentation", "logs", "budgeted"]
LANGUAGES = ["python", "rust", "javascript", "typescript", "tsx", "go", "markdown", "log", "json", "text", "unknown"]


@contextlib.contextmanager
def raises_exactly(exception_type, message):
    """Demands exactly this exception type (not a subclass) and exactly this message."""
    with pytest.raises(exception_type) as info:
        yield info
    assert info.type is exception_type
    assert str(info.value) == message


def plain(content, **options):
    """Folds as plain text, whose only rules are the two whitespace rules, so reports are predictable."""
    return tersewright.fold(content, language="text", **options)


def measures(text):
    """A text's size as a report gives it: UTF-8 bytes, characters and lines (a last unterminated one counts)."""
    return len(text.encode()), len(text), text.count("\n") + (1 if text and not text.endswith("\n") else 0)


def measured(report, side="output"):
    return tuple(getattr(report, f"{side}_{unit}") for unit in ("bytes", "chars", "lines"))


def fail(exception):
    raise exception


def run_cli(*args, cwd=None, stdin=b"", env=None, tty=None, python=("-m", "tersewright"), timeout=120):
    """Run `python -m tersewright ARGS` from the build; tty None, "stderr" (stdout piped) or "both" (one terminal for both)."""
    environment = {**os.environ, "PYTHONPATH": PACKAGE_ROOT, "TERM": "xterm", **(env or {})}
    command = [sys.executable, *python, *args]
    if tty is None:
        return subprocess.run(command, input=stdin, cwd=cwd, env=environment, capture_output=True, timeout=timeout)
    controller, terminal = pty.openpty()
    stdout = terminal if tty == "both" else subprocess.PIPE
    try:
        done = subprocess.run(command, input=stdin, cwd=cwd, env=environment, stdout=stdout, stderr=terminal,
                              timeout=timeout)
    finally:
        os.close(terminal)
    chunks = []
    try:
        while chunk := os.read(controller, 65536):
            chunks.append(chunk)
    except OSError:  # EIO: the terminal side is closed and everything has been read
        pass
    os.close(controller)
    done.stderr = b"".join(chunks)
    return done

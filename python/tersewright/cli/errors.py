"""The one failure the command line reports for itself: a line on standard error, exit status 2."""

from __future__ import annotations


class CliError(Exception):
    """A problem reported as one line and exit status 2."""


def reason(error: OSError) -> str:
    """What went wrong with a file, in the operating system's words."""
    return error.strerror or str(error)

import contextlib

import pytest

import tersewright

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

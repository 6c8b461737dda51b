import contextlib

import pytest

import tersewright


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

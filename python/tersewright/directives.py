"""Comments that tools act on, and how to keep them through a fold.

Comment stripping would silently change what a build tool, type checker, linter or coverage tool
does with a file: a Go build constraint disappears, a ``# type: ignore`` stops silencing an error,
an ``eslint-disable`` stops disabling. Every line that contains one of these markers is protected
whole when the tuple is passed as ``protected_line_markers``.

Markers given to a fold replace the default ones, so the tuple starts with the two defaults; pass it
as it is, or extend it.

Some directives are not a marker on a line: cgo reads the comment right before ``import "C"`` as C
source (the preamble), whatever it holds. ``directive_ranges`` finds those, as byte ranges to pass as
``protected_ranges``.
"""

from __future__ import annotations

import functools
import re
from typing import List, Optional, Tuple

DEFAULT_MARKERS = ("tersewright:keep", "@tersewright-keep")

# Grouped by the tool that reads them; a marker matches anywhere in a line, so each one is written
# as specifically as the tool's own syntax allows without missing its usual spellings.
_TOOL_MARKERS = (
    # interpreters and Python tooling
    "#!",
    "coding:",
    "coding=",
    "# type:",
    "# noqa",
    "# pragma",
    "# pylint:",
    "# pyright:",
    "# mypy:",
    "# fmt:",
    "# isort:",
    # Go toolchain and linters: every //go: directive (build, embed, generate, linkname, noinline,
    # nosplit, ...), old-style build constraints, line directives, cgo exports
    "//go:",
    "// +build",
    "//line ",
    "/*line ",
    "//export",
    "//nolint",
    "//lint:ignore",
    # TypeScript and JavaScript tooling
    "/// <reference",
    "@ts-ignore",
    "@ts-expect-error",
    "@ts-nocheck",
    "@ts-check",
    "eslint-disable",
    "eslint-enable",
    "prettier-ignore",
    "istanbul ignore",
    "c8 ignore",
    "@jsx",
    # Rust reviewers and clippy rely on these explaining unsafe code
    "SAFETY:",
)

DIRECTIVE_MARKERS = DEFAULT_MARKERS + _TOOL_MARKERS

Range = Tuple[int, int]

# The Go tokens that matter for finding a preamble: comments, literals (so that nothing inside them is
# taken for code), words and single punctuation characters. An unterminated comment or literal runs
# to the end of its line or of the text, as far as this scan is concerned.
_GO_TOKEN = re.compile(
    rb"//[^\n]*"
    rb"|/\*.*?(?:\*/|\Z)"
    rb'|"(?:[^"\\\n]|\\.)*"?'
    rb"|`[^`]*`?"
    rb"|'(?:[^'\\\n]|\\.)*'?"
    rb"|[A-Za-z_0-9]+"
    rb"|\S",
    re.S,
)
_CGO_IMPORT = b'"C"'


def _adjacent(data: bytes, end: int, start: int) -> bool:
    """Whether what lies between end and start (only whitespace) holds no blank line."""
    return data.count(b"\n", end, start) <= 1


def _cgo_preambles(data: bytes) -> List[Range]:
    """The comment groups that cgo reads as C source: each one right before an import of "C".

    A group is a run of comments with no blank line between them. The group right before
    ``import "C"`` is the preamble, and in a parenthesised import the group right before the "C"
    spec, and the one before the ``import`` keyword too (cgo reads it when "C" is the only spec; it
    is kept whenever the block imports "C", which keeps at worst one comment too many).
    """
    ranges: List[Range] = []
    group: Optional[Range] = None  # the last comment group, while no code followed it
    previous = b""  # the previous code token
    import_lead: Optional[Range] = None  # the group before the import keyword being read
    in_import_block = False
    for token in _GO_TOKEN.finditer(data):
        text, start, end = token.group(), token.start(), token.end()
        if text.startswith((b"//", b"/*")):
            if group is not None and _adjacent(data, group[1], start):
                group = (group[0], end)
            else:
                group = (start, end)
            continue
        lead = group if group is not None and _adjacent(data, group[1], start) else None
        group = None
        if text == b"import":
            import_lead = lead
        elif text == b"(" and previous == b"import":
            in_import_block = True
        elif text == b")" and in_import_block:
            in_import_block = False
        elif text == _CGO_IMPORT and (previous == b"import" or in_import_block):
            ranges.extend(r for r in (import_lead, lead if in_import_block else None) if r is not None)
        previous = text
    return sorted(set(ranges))


@functools.lru_cache(maxsize=64)
def _language_id(language: str) -> str:
    # Which names mean a language (ids, aliases, extensions) is the engine's to say; folding nothing
    # under the name asks it, and a name it does not know raises its ValueError.
    from . import fold

    return fold("", language=language).report.detected_language


def directive_ranges(text: str, language: str) -> List[Range]:
    """Byte ranges of ``text`` (UTF-8 offsets, end exclusive) holding directives no marker can name.

    Today that is the cgo preamble of Go files: the comment block right before ``import "C"``, which
    is C source that the file needs to compile. Pass the result as ``protected_ranges`` (with the
    profile's own ranges, if it has any) to keep them. ``language`` is a language name as ``fold``
    takes it (``"go"``, ``"golang"``, ...); an unknown name raises ``ValueError``.
    """
    if _language_id(language) != "go" or '"C"' not in text:
        return []
    return _cgo_preambles(text.encode("utf-8", "surrogatepass"))


__all__ = ["DEFAULT_MARKERS", "DIRECTIVE_MARKERS", "directive_ranges"]

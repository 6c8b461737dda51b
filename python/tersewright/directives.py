"""Protection markers for comments that tools act on.

Comment stripping would silently change what a build tool, type checker, linter or coverage tool
does with a file: a Go build constraint disappears, a ``# type: ignore`` stops silencing an error,
an ``eslint-disable`` stops disabling. Every line that contains one of these markers is protected
whole when the tuple is passed as ``protected_line_markers``.

Markers given to a fold replace the default ones, so the tuple starts with the two defaults; pass it
as it is, or extend it.
"""

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
    # Go toolchain and linters
    "//go:build",
    "// +build",
    "//go:generate",
    "//go:embed",
    "//go:linkname",
    "//go:noinline",
    "//go:nosplit",
    "//go:noescape",
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

__all__ = ["DEFAULT_MARKERS", "DIRECTIVE_MARKERS"]

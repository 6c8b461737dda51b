from collections.abc import Sequence
from typing import Any, Final, Literal, Protocol, SupportsIndex, final

__version__: Final[str]

_Count = SupportsIndex
_Range = tuple[SupportsIndex, SupportsIndex]
_LanguageId = Literal[
    "python", "rust", "javascript", "typescript", "tsx", "go", "markdown", "log", "json", "text", "unknown"
]
_ParseStatus = Literal["parsed", "parse_failed", "unsupported", "fallback"]

class _Tokenizer(Protocol):
    # A `name` attribute (str) is optional; without one the report says "caller-supplied".
    def count(self, text: str, /) -> SupportsIndex: ...

class TerseWrightError(Exception): ...
class UnknownProfileError(TerseWrightError): ...
class InvalidConfigError(TerseWrightError): ...
class BudgetNotMetError(TerseWrightError): ...

@final
class Engine:
    """The transformation engine."""

    def __new__(cls) -> Engine: ...
    def fold(
        self,
        content: str,
        profile: str = "safe",
        path: str | None = None,
        language: str | None = None,
        allow_lossy: bool | None = None,
        budget_bytes: _Count | None = None,
        budget_chars: _Count | None = None,
        protected_ranges: Sequence[_Range] | None = None,
        protected_line_markers: Sequence[str] | None = None,
    ) -> FoldResult:
        """Fold raw content using keyword configuration."""
    def fold_request(self, request: FoldRequest) -> FoldResult:
        """Fold a `FoldRequest` object."""
    def fold_file(
        self,
        path: str,
        profile: str = "safe",
        language: str | None = None,
        allow_lossy: bool | None = None,
    ) -> FoldResult:
        """Fold the contents of a file. Never writes to disk."""

class FoldRequest:
    """A typed configuration object describing a transformation request."""

    def __new__(
        cls,
        content: str,
        profile: str = "safe",
        path: str | None = None,
        language: str | None = None,
        allow_lossy: bool | None = None,
        budget_bytes: _Count | None = None,
        budget_chars: _Count | None = None,
        budget_tokens: _Count | None = None,
        tokenizer: _Tokenizer | None = None,
        protected_ranges: Sequence[_Range] | None = None,
        protected_line_markers: Sequence[str] | None = None,
    ) -> FoldRequest: ...
    @property
    def content(self) -> str: ...
    @content.setter
    def content(self, value: str) -> None: ...
    @property
    def profile(self) -> str: ...
    @profile.setter
    def profile(self, value: str) -> None: ...
    @property
    def path(self) -> str | None: ...
    @path.setter
    def path(self, value: str | None) -> None: ...
    @property
    def language(self) -> str | None: ...
    @language.setter
    def language(self, value: str | None) -> None: ...
    @property
    def allow_lossy(self) -> bool | None: ...
    @allow_lossy.setter
    def allow_lossy(self, value: bool | None) -> None: ...
    @property
    def budget_bytes(self) -> int | None: ...
    @budget_bytes.setter
    def budget_bytes(self, value: _Count | None) -> None: ...
    @property
    def budget_chars(self) -> int | None: ...
    @budget_chars.setter
    def budget_chars(self, value: _Count | None) -> None: ...
    @property
    def budget_tokens(self) -> int | None: ...
    @budget_tokens.setter
    def budget_tokens(self, value: _Count | None) -> None: ...
    @property
    def protected_ranges(self) -> list[tuple[int, int]] | None: ...
    @protected_ranges.setter
    def protected_ranges(self, value: Sequence[_Range] | None) -> None: ...
    @property
    def protected_line_markers(self) -> list[str] | None: ...
    @protected_line_markers.setter
    def protected_line_markers(self, value: Sequence[str] | None) -> None: ...

@final
class FoldResult:
    """A typed transformation result."""

    @property
    def output(self) -> str: ...
    @property
    def report(self) -> Report: ...
    @property
    def lossy(self) -> bool:
        """True when the transformation was lossy."""

@final
class Report:
    """A transformation report."""

    @property
    def engine_version(self) -> str: ...
    @property
    def profile(self) -> str: ...
    @property
    def profile_version(self) -> int: ...
    @property
    def detected_language(self) -> _LanguageId: ...
    @property
    def parse_status(self) -> _ParseStatus: ...
    @property
    def behavior_preserving(self) -> bool: ...
    @property
    def semantic_equivalence(self) -> str: ...
    @property
    def syntax_valid(self) -> bool | None: ...
    @property
    def reduction_ratio(self) -> float: ...
    @property
    def input_bytes(self) -> int: ...
    @property
    def output_bytes(self) -> int: ...
    @property
    def input_chars(self) -> int: ...
    @property
    def output_chars(self) -> int: ...
    @property
    def input_lines(self) -> int: ...
    @property
    def output_lines(self) -> int: ...
    @property
    def protected_bytes(self) -> int: ...
    def to_dict(self) -> dict[str, Any]:
        """The full report as a Python dict."""
    def to_json(self) -> str:
        """Stable JSON string of the full report."""

def fold(
    content: str,
    profile: str = "safe",
    path: str | None = None,
    language: str | None = None,
    allow_lossy: bool | None = None,
    budget_bytes: _Count | None = None,
    budget_chars: _Count | None = None,
    protected_ranges: Sequence[_Range] | None = None,
    protected_line_markers: Sequence[str] | None = None,
) -> FoldResult:
    """Fold content with the default engine."""

def fold_file(
    path: str,
    profile: str = "safe",
    language: str | None = None,
    allow_lossy: bool | None = None,
) -> FoldResult:
    """Fold a file with the default engine."""

def profiles() -> list[str]:
    """Return the list of built-in profile names."""

def profile_info(name: str) -> dict[str, Any]:
    """Return documentation metadata for a profile."""

def detect_language(content: str, path: str | None = None) -> _LanguageId:
    """Detect the language of a path/content pair."""

def supported_languages() -> list[str]:
    """Languages with a structural (Tree-sitter) analyzer."""

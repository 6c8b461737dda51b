"""Deterministic content folding: smaller texts with a report of what changed."""

from ._core import *  # noqa: F401,F403
from ._core import (
    BudgetNotMetError,
    Engine,
    FoldRequest,
    FoldResult,
    InvalidConfigError,
    Report,
    TerseWrightError,
    UnknownProfileError,
    __version__,
    detect_language,
    fold,
    fold_file,
    profile_info,
    profiles,
    supported_languages,
)
from .directives import DIRECTIVE_MARKERS  # noqa: F401  (comments that tools act on)

__all__ = [
    "Engine",
    "FoldRequest",
    "FoldResult",
    "Report",
    "TerseWrightError",
    "UnknownProfileError",
    "InvalidConfigError",
    "BudgetNotMetError",
    "fold",
    "fold_file",
    "profiles",
    "profile_info",
    "detect_language",
    "supported_languages",
    "__version__",
]

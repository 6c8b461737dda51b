"""Deterministic content folding: smaller texts with a report of what changed."""

import sys

from . import _core
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
from .directives import DIRECTIVE_MARKERS, directive_ranges  # noqa: F401  (comments that tools act on)

# The module's exceptions and classes name "_core" as their module. Registering it under that name
# lets pickle find them again in another process (a worker pool, a distributed scheduler) once that
# process has imported tersewright.
sys.modules.setdefault("_core", _core)

# Fitting (and the bundles it writes) is loaded on first use, so that importing the package stays cheap
# for callers that only fold.
_LAZY = {"fit": "fitting", "FitResult": "fitting", "FitEntry": "fitting", "FitSkip": "fitting"}


def __getattr__(name):
    module = _LAZY.get(name)
    if module is None:
        raise AttributeError(f"module 'tersewright' has no attribute {name!r}")
    from importlib import import_module

    value = getattr(import_module(f".{module}", __name__), name)
    globals()[name] = value
    return value


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
    "DIRECTIVE_MARKERS",
    "directive_ranges",
    "fit",
    "FitResult",
    "FitEntry",
    "FitSkip",
]

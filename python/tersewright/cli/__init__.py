"""The ``tersewright`` command line; ``main`` is the console script and ``python -m tersewright``."""

from .commands import main
from .sources import collect_sources, decode_text

__all__ = ["main", "collect_sources", "decode_text"]

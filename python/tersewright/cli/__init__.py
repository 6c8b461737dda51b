"""The ``tersewright`` command line; ``main`` is the console script and ``python -m tersewright``."""

from .commands import main
from .sources import collect_sources, decode_text

# The benchmark reads real corpora through the walk and the text check under these names.
_decode_text = decode_text

__all__ = ["main", "collect_sources", "decode_text"]

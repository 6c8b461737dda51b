"""``python -m tersewright``: the same command line as the ``tersewright`` script."""

import sys

from .cli import main

# The guard matters: worker processes of ``fold --jobs`` import this module again under another name.
if __name__ == "__main__":
    sys.exit(main())

"""``fold --scheduler``: the files folded on a Dask cluster, with the outcomes a local run would have.

Only the reading and folding move to the cluster: the outcomes come back in the order of the
sources and the main process writes them as it writes its own workers' (bundle, -o, --output-dir,
--in-place), so the output, standard error and exit status are those of a run without --scheduler.
Dask (and asyncio and logging, which only it needs) is imported only when --scheduler is given, so
that every other run starts as fast as before.
"""

from __future__ import annotations

import argparse
import os
import re
from typing import Generator, Sequence

from .errors import CliError
from .parallel import FoldOptions, Outcome
from .sources import Source

INSTALL = (
    "--scheduler needs Dask: pip install 'tersewright[distributed]'"
    " (on Debian: apt install python3-dask python3-distributed)"
)
_LOCAL = re.compile(r"local:(\d+)")
# tcp://host:port or tls://host:port (the scheme may be left out, as Dask allows); an IPv6 host in brackets.
_ADDRESS = re.compile(r"(?:(tcp|tls)://)?(\[[0-9A-Fa-f:.]+\]|[A-Za-z0-9_.-]+):(\d+)")


def scheduler_address(text: str) -> str:
    """The value of --scheduler: a scheduler's address, or local:N for N worker processes here (0: one per CPU)."""
    if _LOCAL.fullmatch(text):  # local:0, like --jobs 0, is one per CPU
        return text
    found = _ADDRESS.fullmatch(text)
    if found is None or not 0 < int(found.group(3)) < 65536:
        raise argparse.ArgumentTypeError(
            f"not a Dask scheduler address (tcp://HOST:PORT) nor local:N (N worker processes here): '{text}'"
        )
    return text if found.group(1) else f"tcp://{text}"


def _quiet() -> bool:
    """Keep Dask's own log lines off standard error, which carries the run's reports and failures.

    Set before Dask is imported, so that the worker processes of a local cluster, which read it from
    their environment, keep quiet too. False when the user chose a level of their own, which is kept.
    """
    if "DASK_LOGGING__DISTRIBUTED" in os.environ:
        return False
    os.environ["DASK_LOGGING__DISTRIBUTED"] = "critical"
    return True


def _silence_loggers() -> None:
    """Once Dask is imported: its loggers below the top one (distributed.client, ...) have levels of
    their own, and the event loops it runs log through asyncio's and tornado's."""
    import logging

    for name in ("distributed", "asyncio", "tornado"):
        logger = logging.getLogger(name)
        logger.setLevel(logging.CRITICAL)
        for handler in logger.handlers:
            handler.setLevel(logging.CRITICAL)
    for name in list(logging.root.manager.loggerDict):
        if name.startswith(("distributed.", "tornado.")):
            logging.getLogger(name).setLevel(logging.CRITICAL)


def _why(error: BaseException) -> str:
    text = str(error).strip()
    return text.splitlines()[0] if text else type(error).__name__


def fold_on_cluster(sources: Sequence[Source], options: FoldOptions, scheduler: str) -> Generator[Outcome, None, None]:
    """The outcome of each source, in the order of sources, folded on the cluster at scheduler.

    A cluster that cannot be reached, or that fails as a whole (the scheduler goes away, the workers
    cannot run tersewright), ends the run with one line; a file that fails on it is one failed file
    among the others, as with --jobs. close() cancels what is still running and, for local:N, stops
    the cluster.
    """
    import asyncio
    import concurrent.futures

    quiet = _quiet()
    try:
        from ..distributed import fold_sources_on_cluster
    except ImportError:
        raise CliError(INSTALL) from None
    if quiet:
        _silence_loggers()
    outcomes = fold_sources_on_cluster(sources, options, scheduler)
    try:
        yield from outcomes
    except CliError:
        raise
    except (Exception, asyncio.CancelledError) as error:
        where = "a local Dask cluster" if scheduler.startswith("local:") else f"the Dask scheduler at {scheduler}"
        if str(error).startswith("cannot reach"):
            raise CliError(str(error)) from None
        if isinstance(error, (asyncio.CancelledError, concurrent.futures.CancelledError)):
            raise CliError(f"folding on {where} failed: the cluster dropped the run's tasks (did its scheduler stop?)") from None
        raise CliError(f"folding on {where} failed: {_why(error)}") from None
    finally:
        outcomes.close()


def fold_one_on_cluster(source: Source, options: FoldOptions, scheduler: str) -> Outcome:
    """The outcome of one source folded on the cluster; a local cluster is stopped before it returns."""
    outcomes = fold_on_cluster([source], options, scheduler)
    try:
        return next(outcomes)
    finally:
        outcomes.close()

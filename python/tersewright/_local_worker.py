"""Set up in each worker process of a local cluster that ``tersewright.distributed.connect`` starts."""

import signal
from typing import Any


def dask_setup(worker: Any) -> None:
    """Leave Ctrl-C and a closed terminal to the process that started the cluster.

    Both reach the whole process group, where each worker would die printing its traceback; the
    starting process decides and stops the cluster. SIGTERM still ends a worker.
    """
    for name in ("SIGINT", "SIGHUP"):
        if hasattr(signal, name):
            signal.signal(getattr(signal, name), signal.SIG_IGN)

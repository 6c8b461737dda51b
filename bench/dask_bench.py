"""Wall times of one corpus folded serially, in a pool of worker processes and on a local Dask cluster.

Run with the built package on the path:
    PYTHONPATH=build/python python3 bench/dask_bench.py [--corpus DIR] [--suffix .py] [--workers 2]

Every mode folds the same files with the command line's default options (profile safe, directives
kept) and must give the same outputs; all figures come from one run, so that load on a shared
machine hits them alike. The per-task overhead Dask adds is the extra time of one file per task
over the default partitions, divided by the extra tasks.
"""

import argparse
import os
import sys
import time

from tersewright.cli.parallel import Folded, fold_sources
from tersewright.cli.sources import collect_sources
from tersewright.distributed import connect, fold_options, fold_sources_on_cluster, partitions


def timed(run):
    start = time.perf_counter()
    outcomes = list(run())
    return time.perf_counter() - start, [o.output if isinstance(o, Folded) else o.message for o in outcomes]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--corpus", default=f"/usr/lib/python{sys.version_info.major}.{sys.version_info.minor}")
    parser.add_argument("--suffix", default=".py", help="fold only the files whose names end so ('' for all)")
    parser.add_argument("--workers", type=int, default=2)
    args = parser.parse_args()

    found, _ = collect_sources([args.corpus], frozenset())
    sources = [s for s in found if not s.skip and s.relative.endswith(args.suffix)]
    megabytes = sum(os.path.getsize(s.location) for s in sources) / 1e6
    options = fold_options(report="none")
    n = args.workers
    print(f"{len(sources)} files, {megabytes:.1f} MB under {args.corpus}; {os.cpu_count()} CPUs")

    rows = []
    serial, reference = timed(lambda: fold_sources(sources, options, 1))
    rows.append(("serial (--jobs 1)", serial))
    seconds, outputs = timed(lambda: fold_sources(sources, options, n))
    assert outputs == reference, "the pool's outputs differ from the serial run's"
    rows.append((f"process pool (--jobs {n})", seconds))

    start = time.perf_counter()
    with connect(f"local:{n}") as client:
        started = time.perf_counter() - start
        tasks = {}
        for name, size in (("default partitions", None), ("one file per task", 1)):
            tasks[name] = len(partitions(sources, size, n))
            seconds, outputs = timed(lambda: fold_sources_on_cluster(sources, options, client, size))
            assert outputs == reference, f"the cluster's outputs ({name}) differ from the serial run's"
            rows.append((f"local:{n}, {name} ({tasks[name]} tasks)", seconds))
        stopping = time.perf_counter()
    stopped = time.perf_counter() - stopping
    # What `fold --scheduler local:N` costs end to end: the cluster is started and stopped for the run.
    rows.insert(2, (f"local:{n} with its start and stop", started + rows[2][1] + stopped))

    width = max(len(name) for name, _ in rows)
    print(f"{'mode':<{width}}  {'wall s':>8}  {'MB/s':>7}  {'vs serial':>9}")
    for name, seconds in rows:
        print(f"{name:<{width}}  {seconds:8.2f}  {megabytes / seconds:7.2f}  {serial / seconds:8.2f}x")
    print(f"local:{n} cluster start {started:.2f} s, stop {stopped:.2f} s")
    extra = tasks["one file per task"] - tasks["default partitions"]
    overhead = (rows[-1][1] - rows[-2][1]) / extra if extra > 0 else float("nan")
    print(f"per-task overhead on local:{n}: {overhead * 1e3:.2f} ms per task ({extra} extra tasks)")


if __name__ == "__main__":
    main()

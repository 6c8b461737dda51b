"""Wall times of one corpus folded through the command line serially, with --jobs and on a local Dask cluster.

Run with the built package on the path:
    PYTHONPATH=build/python python3 bench/dask_bench.py [--corpus DIR] [--glob '*.py'] [--workers 2]

`tersewright fold CORPUS --glob PATTERN -o FILE` runs three times, as is, with --jobs N and with
--scheduler local:N (the cluster started and stopped within the run), and the three must write the
same bytes, say the same on standard error and end with the same status. Then, on one local
cluster kept for both, the files are folded in the default partitions and one file per task: the
per-task overhead Dask adds is the extra time of the second over the first, divided by the extra
tasks. All figures come from one run, so that load on a shared machine hits them alike.
"""

import argparse
import os
import subprocess
import sys
import tempfile
import time

from tersewright.cli.parallel import Folded
from tersewright.cli.sources import WalkOptions, collect_sources
from tersewright.distributed import connect, fold_options, fold_sources_on_cluster, partitions


def timed(run):
    start = time.perf_counter()
    outcomes = list(run())
    return time.perf_counter() - start, [o.output if isinstance(o, Folded) else o.message for o in outcomes]


def command_line(corpus, glob, extra, output):
    """One run of `tersewright fold`: its wall time, and what it wrote, said and returned."""
    command = [sys.executable, "-m", "tersewright", "fold", corpus, "--glob", glob, "-o", output, *extra]
    start = time.perf_counter()
    done = subprocess.run(command, capture_output=True)
    seconds = time.perf_counter() - start
    with open(output, "rb") as handle:
        return seconds, (handle.read(), done.stderr, done.returncode)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--corpus", default=f"/usr/lib/python{sys.version_info.major}.{sys.version_info.minor}")
    parser.add_argument("--glob", default="*.py", help="fold only the files matching this pattern ('*' for all)")
    parser.add_argument("--workers", type=int, default=2)
    args = parser.parse_args()

    found, _ = collect_sources([args.corpus], frozenset(), WalkOptions(globs=(args.glob,)))
    sources = [s for s in found if not s.skip]
    megabytes = sum(os.path.getsize(s.location) for s in sources) / 1e6
    options = fold_options(report="none")
    n = args.workers
    print(f"{len(sources)} files, {megabytes:.1f} MB under {args.corpus}; {os.cpu_count()} CPUs")

    rows = []
    with tempfile.TemporaryDirectory() as scratch:
        runs = {}
        for name, extra in (("serial", []), (f"--jobs {n}", ["--jobs", str(n)]), (f"--scheduler local:{n}", ["--scheduler", f"local:{n}"])):
            seconds, runs[name] = command_line(args.corpus, args.glob, extra, os.path.join(scratch, "out"))
            rows.append((f"tersewright fold {name}", seconds))
        for name, result in runs.items():
            assert result == runs["serial"], f"{name} wrote, said or returned otherwise than the serial run"
    serial = rows[0][1]
    reference = None

    start = time.perf_counter()
    with connect(f"local:{n}") as client:
        started = time.perf_counter() - start
        tasks = {}
        for name, size in (("default partitions", None), ("one file per task", 1)):
            tasks[name] = len(partitions(sources, size, n))
            seconds, outputs = timed(lambda: fold_sources_on_cluster(sources, options, client, size))
            reference = outputs if reference is None else reference
            assert outputs == reference, "the cluster's outputs differ between partition sizes"
            rows.append((f"local:{n} kept running, {name} ({tasks[name]} tasks)", seconds))
        stopping = time.perf_counter()
    stopped = time.perf_counter() - stopping

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

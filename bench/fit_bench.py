#!/usr/bin/env python3
"""Time tersewright.fit on real trees against one plain fold of the same files.

For each tree: the files are walked and read as fit reads them, folded once with the "safe" profile
(the command line's default) for the baseline, then fitted at a half, a quarter and a tenth of their
unfolded size in bytes. Each row gives the time, its ratio to the baseline, whether the limit was met,
and how many files ended on each rung. Then the command line fits the same tree at the same limits
with --jobs 1 and --jobs 2 (wall time, start-up included) and checks that both write the same bundle.
Everything is measured in this one run.

    PYTHONPATH=build/python python3 bench/fit_bench.py [TREE...]

Without arguments it uses the Python standard library of this interpreter and the first JavaScript
package found under /usr/lib/node_modules or /usr/share/nodejs.
"""

from __future__ import annotations

import argparse
import glob
import os
import subprocess
import sys
import sysconfig
import time
from typing import List

import tersewright
from tersewright.fitting import walk_paths

FRACTIONS = ((2, "1/2"), (4, "1/4"), (10, "1/10"))


def default_trees() -> List[str]:
    trees = [sysconfig.get_paths()["stdlib"]]
    for pattern in ("/usr/lib/node_modules/*", "/usr/share/nodejs/*"):
        found = sorted(p for p in glob.glob(pattern) if os.path.isdir(p) and glob.glob(os.path.join(p, "**/*.js"), recursive=True))
        if found:
            # The largest package is the most telling one.
            trees.append(max(found, key=lambda p: sum(len(files) for _, _, files in os.walk(p))))
            break
    return trees


def plain_fold(tree: str) -> tuple[float, int, int]:
    """Seconds to walk, read and fold every text file once with "safe"; files and bytes folded."""
    started = time.perf_counter()
    engine = tersewright.Engine()
    files = size = 0
    for found in walk_paths([tree]):
        if found.skip:
            continue
        with open(found.location, "rb") as handle:
            data = handle.read()
        if b"\0" in data:
            continue
        try:
            text = data.decode("utf-8")
        except UnicodeDecodeError:
            continue
        engine.fold(text, profile="safe", path=found.shown)
        files += 1
        size += len(data)
    return time.perf_counter() - started, files, size


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("trees", nargs="*", help="folders to fit (default: the standard library and a JavaScript package)")
    trees = parser.parse_args().trees or default_trees()
    print(f"{'tree':<34} {'limit':>6} {'bytes':>10} {'seconds':>8} {'x fold':>7} {'met':>4}  rungs")
    for tree in trees:
        baseline, files, size = plain_fold(tree)
        name = tree if len(tree) <= 34 else "..." + tree[-31:]
        print(f"{name:<34} {'fold':>6} {size:>10} {baseline:>8.2f} {1:>7.1f} {'':>4}  {files} files, safe")
        for divisor, label in FRACTIONS:
            started = time.perf_counter()
            result = tersewright.fit([tree], size // divisor, metric="bytes")
            elapsed = time.perf_counter() - started
            rungs = ", ".join(f"{profile} {count}" for profile, count in sorted(result.rungs().items()))
            print(f"{'':<34} {label:>6} {result.size:>10} {elapsed:>8.2f} {elapsed / baseline:>7.1f}"
                  f" {'yes' if result.met else 'no':>4}  {rungs}")  # fmt: skip
        sys.stdout.flush()
    print(f"\n{'tree (command line)':<34} {'limit':>6} {'--jobs 1':>9} {'--jobs 2':>9} {'speed-up':>8}  same bundle")
    for tree in trees:
        size = plain_fold(tree)[2]
        name = tree if len(tree) <= 34 else "..." + tree[-31:]
        for divisor, label in FRACTIONS:
            times, bundles = [], []
            for jobs in (1, 2):
                command = [sys.executable, "-m", "tersewright", "fold", tree, "--fit", str(size // divisor), "-q", "--jobs", str(jobs)]
                started = time.perf_counter()
                done = subprocess.run(command, capture_output=True)
                times.append(time.perf_counter() - started)
                bundles.append(done.stdout)
            print(f"{name:<34} {label:>6} {times[0]:>9.2f} {times[1]:>9.2f} {times[0] / times[1]:>8.2f}"
                  f"  {'yes' if bundles[0] == bundles[1] else 'NO'}")  # fmt: skip
            name = ""
        sys.stdout.flush()
    return 0


if __name__ == "__main__":
    sys.exit(main())

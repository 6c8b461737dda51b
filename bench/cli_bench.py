"""The command line's own costs, measured in one run and printed (a benchmark, not a test).

- the start-up of a fold of one line of standard input (the fixed cost of every run);
- the speed-up of ``--jobs 2`` over ``--jobs 1`` on 200 small generated Python files and on the
  Python files of the standard library;
- the peak resident memory of ``tersewright fold`` of a 200 MB generated log to a file, in the main
  process and in its worker processes, as multiples of the file size.

Usage: PYTHONPATH=build/python python3 bench/cli_bench.py [--stdlib DIR] [--log-mb N] [--repeat N]
"""

from __future__ import annotations

import argparse
import compileall
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import textwrap
import time
from pathlib import Path
from typing import Dict, List, Sequence, Tuple


def command(*args: str) -> List[str]:
    return [sys.executable, "-m", "tersewright", *args]


def children_cpu() -> float:
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def timed(args: Sequence[str], stdin: bytes = b"") -> float:
    return timed_with_cpu(args, stdin)[0]


def timed_with_cpu(args: Sequence[str], stdin: bytes = b"") -> Tuple[float, float]:
    """The wall time of a run and the processor time it and its workers took."""
    cpu = children_cpu()
    started = time.perf_counter()
    subprocess.run(list(args), input=stdin, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    return time.perf_counter() - started, children_cpu() - cpu


def small_python_tree(root: Path, count: int = 200) -> int:
    """count Python files of about 5 KB each, like the modules of a small project."""
    size = 0
    for index in range(count):
        functions = []
        for number in range(24):
            functions.append(
                f"def handler_{index}_{number}(request, retries=3):  # entry point {number}\n"
                f"    '''Serve request {number} of module {index}.\n\n    Retries up to `retries` times.\n    '''\n"
                f"    for attempt in range(retries):   \n"
                f"        # try again after a failure\n"
                f"        result = request.send(attempt * {number})\n"
                f"        if result.ok:\n            return result\n\n\n"
                f"    return None\n\n"
            )
        text = f'"""Module {index}."""\n\nimport os  # paths\n\n\n' + "".join(functions)
        (root / f"module_{index:03}.py").write_text(text)
        size += len(text)
    return size


def copy_python_files(source: Path, root: Path) -> int:
    size = 0
    for path in sorted(source.rglob("*.py")):
        if not path.is_file():
            continue
        data = path.read_bytes()
        try:
            data.decode("utf-8")
        except UnicodeDecodeError:
            continue  # a few test files are in other encodings: a run would report them and exit 2
        target = root / path.relative_to(source)
        target.parent.mkdir(parents=True, exist_ok=True)
        target.write_bytes(data)
        size += len(data)
    return size


def speedup(label: str, tree: Path, size: int, repeat: int, scratch: Path, fixed: float) -> None:
    # Interleaved, best of each: the machine is shared, and the best run is the least disturbed one.
    # The processor time tells the work apart from the waiting for a busy machine's processors.
    best: Dict[int, Tuple[float, float]] = {1: (float("inf"), 0.0), 2: (float("inf"), 0.0)}
    for _ in range(repeat):
        for jobs in best:
            out = scratch / f"bundle-{jobs}.txt"
            best[jobs] = min(best[jobs], timed_with_cpu(command("fold", str(tree), "--jobs", str(jobs), "-o", str(out))))
    same = (scratch / "bundle-1.txt").read_bytes() == (scratch / "bundle-2.txt").read_bytes()
    print(
        f"{label}: {size / 1e6:.1f} MB; --jobs 1 {best[1][0]:.2f} s ({best[1][1]:.2f} s CPU),"
        f" --jobs 2 {best[2][0]:.2f} s ({best[2][1]:.2f} s CPU); speed-up {best[1][0] / best[2][0]:.2f}x,"
        f" {(best[1][0] - fixed) / (best[2][0] - fixed):.2f}x past the fixed cost; outputs identical: {same}"
    )


MEMORY_PROBE = textwrap.dedent(
    """
    import resource, sys
    from tersewright.cli import main
    status = main(sys.argv[1:])
    print(status, resource.getrusage(resource.RUSAGE_SELF).ru_maxrss,
          resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)
    """
)


def generated_log(path: Path, megabytes: int) -> int:
    levels = ["INFO", "INFO", "INFO", "WARN", "DEBUG", "ERROR"]
    with open(path, "w") as out:
        block = []
        for index in range(200000):
            block.append(
                f"2024-05-01 10:{index // 3600 % 60:02}:{index // 60 % 60:02}.{index % 1000:03} {levels[index % 6]}"
                f" worker-{index % 17} request {index} served in {index % 97} ms from host-{index % 13}\n"
            )
        text = "".join(block)
        while out.tell() < megabytes << 20:
            out.write(text)
    return path.stat().st_size


def memory(scratch: Path, megabytes: int) -> None:
    log = scratch / "big.log"
    size = generated_log(log, megabytes)
    # The probe runs main() in its own process, so that its own peak is the main process's and its
    # children's peak is the largest worker's.
    started = time.perf_counter()
    done = subprocess.run(
        [sys.executable, "-c", MEMORY_PROBE, "fold", str(log), "-o", str(scratch / "big.out")],
        capture_output=True, text=True, check=True,
    )
    elapsed = time.perf_counter() - started
    status, main_kib, children_kib = (int(field) for field in done.stdout.split()[-3:])
    print(
        f"fold of a {size / 1e6:.0f} MB log to a file: status {status}, {elapsed:.1f} s;"
        f" peak resident memory: main process {main_kib * 1024 / 1e6:.0f} MB ({main_kib * 1024 / size:.2f}x the file),"
        f" worker {children_kib * 1024 / 1e6:.0f} MB ({children_kib * 1024 / size:.2f}x the file)"
    )
    log.unlink()


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--stdlib", type=Path, default=Path(f"/usr/lib/python{sys.version_info[0]}.{sys.version_info[1]}"))
    parser.add_argument("--log-mb", type=int, default=200)
    parser.add_argument("--repeat", type=int, default=3)
    options = parser.parse_args()
    # The figures mean little on a machine that other work keeps busy: the load is printed with them.
    print(f"CPUs usable: {len(os.sched_getaffinity(0))}; load average {os.getloadavg()[0]:.1f}")
    # An installed package has its modules compiled to bytecode; a build tree run under
    # PYTHONDONTWRITEBYTECODE would compile every module again on every start and time that instead.
    import tersewright

    compileall.compile_dir(os.path.dirname(tersewright.__file__), quiet=1)
    with tempfile.TemporaryDirectory(prefix="cli-bench-") as directory:
        scratch = Path(directory)
        runs = sorted(timed(command("fold"), b"x = 1\n") for _ in range(21))
        print(f"fold of 1 line of standard input: median {statistics.median(runs) * 1000:.0f} ms, best {runs[0] * 1000:.0f} ms")
        empty = scratch / "empty"
        empty.mkdir()
        fixed = min(timed(command("fold", str(empty), "-o", str(scratch / "empty.txt"))) for _ in range(11))
        print(f"fixed cost of a run (start-up, an empty tree): {fixed * 1000:.0f} ms")
        small = scratch / "small"
        small.mkdir()
        speedup("200 small Python files", small, small_python_tree(small), options.repeat + 2, scratch, fixed)
        if options.stdlib.is_dir():
            library = scratch / "stdlib"
            speedup(f"{options.stdlib} (.py files)", library, copy_python_files(options.stdlib, library),
                    options.repeat, scratch, fixed)
        else:
            print(f"{options.stdlib}: not found, no standard library figure")
        memory(scratch, options.log_mb)
    print(f"load average at the end: {os.getloadavg()[0]:.1f}")


if __name__ == "__main__":
    main()

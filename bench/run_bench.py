"""End-to-end benchmark: what a fold costs next to what a user would run instead.

For every content kind and profile it prints the fold's throughput and its time divided by the time
of a baseline measured in the same run on the same bytes:

  source code       one bare tree-sitter parse (bench/parse_bench, Google Benchmark, median)
  JSON              json.dumps(json.loads(s), sort_keys=True, separators=(",", ":"))
  logs              a Python loop that drops lines equal to the line before
  Markdown, text    wc -l of the same file (a floor for any line-based pass)
  per call          Engine.fold of 100 bytes against str.rstrip of the same text

and the peak resident memory of folding the 100 MB log and the 100 MB plain-text file, as a
multiple of the input size. Times are CPU times, so that other work on a shared machine disturbs
them less; fold and JSON/log baselines are medians of --repeat runs.

    make bench                                   # the default run (about five minutes on two cores)
    python3 bench/run_bench.py --build-dir build --full     # every kind at 100 MB
    python3 bench/run_bench.py --build-dir build --corpus ~/src/project
"""

import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time
import timeit
from typing import Callable, Dict, List, Sequence, Tuple

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import corpus  # noqa: E402

MB = corpus.MB
SOURCE_KINDS = corpus.SOURCE_KINDS
# Default sizes keep `make bench` to a few minutes; the 100 MB log and text also serve the memory figures.
DEFAULT_SIZE_MB = {kind: 1.0 for kind in SOURCE_KINDS}
DEFAULT_SIZE_MB.update({"markdown": 10.0, "json": 10.0, "log": 100.0, "text": 100.0})
RSS_CASES = (("log", "logs"), ("text", "safe"))
RSS_SIZE_MB = 100.0
# One hundred bytes of Python with a comment and trailing blanks, for the per-call figures.
CALL_TEXT = "import os\n\n\ndef area(w, h):  # rectangle\n    return w * h   \n\n\nprint(area(2, 3))\nx = os.sep  # seps\n"

Sample = List[Tuple[str, str]]  # (path, text) pairs of one content kind


# --------------------------------------------------------------------------- measuring


def cpu_seconds(action: Callable[[], object], repeat: int) -> float:
    times = []
    for _ in range(repeat):
        start = time.process_time()
        action()
        times.append(time.process_time() - start)
    return statistics.median(times)


def fold_all(engine, sample: Sample, profile: str) -> Tuple[int, int, List[str]]:
    size_in = size_out = 0
    statuses = set()
    for path, text in sample:
        report = engine.fold(text, profile=profile, path=path).report
        size_in += report.input_bytes
        size_out += report.output_bytes
        statuses.add(report.parse_status)
    return size_in, size_out, sorted(statuses)


def json_round_trip(sample: Sample) -> None:
    for _, text in sample:
        try:
            json.dumps(json.loads(text), sort_keys=True, separators=(",", ":"))
        except ValueError:
            pass  # a real corpus may hold broken JSON; the time spent finding out still counts


def naive_log_collapse(sample: Sample) -> None:
    for _, text in sample:
        kept = []
        previous = None
        for line in text.splitlines(keepends=True):
            if line != previous:
                kept.append(line)
                previous = line
        "".join(kept)


def child_cpu_seconds(command: Sequence[str]) -> float:
    """CPU time of one child process, read from its own resource usage."""
    with subprocess.Popen(command, stdout=subprocess.DEVNULL) as process:
        _, status, usage = os.wait4(process.pid, 0)
        process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode != 0:
        raise RuntimeError(f"{command[0]} failed with status {process.returncode}")
    return usage.ru_utime + usage.ru_stime


def wc_lines(paths: Sequence[str], repeat: int) -> float:
    def once() -> float:
        # In slices, to stay far below the limit on the length of a command line.
        return sum(child_cpu_seconds(["wc", "-l", "--", *paths[i : i + 500]]) for i in range(0, len(paths), 500))

    return statistics.median(once() for _ in range(repeat))


def bare_parse_seconds(parse_bench: str, kind: str, paths: Sequence[str], repeat: int) -> float:
    with tempfile.NamedTemporaryFile("w", suffix=".list", delete=False) as listing:
        listing.write("\n".join(paths) + "\n")
    try:
        done = subprocess.run(
            [parse_bench, kind, "@" + listing.name, "--benchmark_format=json",
             f"--benchmark_repetitions={max(repeat, 1)}", "--benchmark_min_time=0.2"],
            capture_output=True, text=True, check=False,
        )
    finally:
        os.unlink(listing.name)
    if done.returncode != 0:
        raise RuntimeError(f"parse_bench failed: {done.stderr.strip()}")
    runs = json.loads(done.stdout)["benchmarks"]
    chosen = [r for r in runs if r.get("aggregate_name") == "median"] or [r for r in runs if r.get("run_type") == "iteration"]
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[chosen[0]["time_unit"]]
    return chosen[0]["cpu_time"] * scale


def per_call_seconds(call: Callable[[], object], rounds: int = 7) -> float:
    timer = timeit.Timer(call)
    number, _ = timer.autorange()
    return min(timer.timeit(number) / number for _ in range(rounds))


RSS_CHILD = r"""
import sys
sys.path.insert(0, sys.argv[1])
import tersewright
path, profile, mode = sys.argv[2], sys.argv[3], sys.argv[4]
with open(path, "rb") as handle:
    data = handle.read()
text = data.decode("utf-8")
del data
if mode == "fold":
    result = tersewright.Engine().fold(text, profile=profile, path=path)
"""

# Linux hands a new process the peak of the process it was forked from: a child of this benchmark,
# which holds whole corpora, would report our peak, not its own. A small launcher in between runs
# the measured interpreter as its only child and reports that child's peak.
RSS_LAUNCHER = r"""
import resource, subprocess, sys
subprocess.run(sys.argv[1:], check=True)
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)
"""


def peak_rss_bytes(package_dir: str, path: str, profile: str, mode: str) -> int:
    """Peak resident set of a fresh interpreter that reads (and, for mode "fold", folds) path."""
    child = [sys.executable, "-c", RSS_CHILD, package_dir, path, profile, mode]
    done = subprocess.run([sys.executable, "-c", RSS_LAUNCHER, *child], capture_output=True, text=True)
    if done.returncode != 0:
        raise RuntimeError(f"memory probe for {path} failed: {done.stderr.strip()}")
    return int(done.stdout) * 1024  # kilobytes on Linux


# --------------------------------------------------------------------------- corpora


def generated_sample(kind: str, size_mb: float, directory: str) -> Sample:
    path = corpus.corpus_file(directory, kind, size_mb)
    with open(path, encoding="utf-8", newline="") as handle:
        return [(path, handle.read())]


def real_samples(root: str, tersewright) -> Tuple[Dict[str, Sample], int]:
    """The UTF-8 files under root grouped by detected kind; unknown ones are counted, not timed."""
    from tersewright import cli

    sources, _ = cli.collect_sources([root], frozenset())
    samples: Dict[str, Sample] = {}
    unknown = 0
    for source in sources:
        if source.skip:
            continue
        try:
            with open(source.location, "rb") as handle:
                text = cli.decode_text(handle.read())
        except OSError:
            continue
        if text is None:
            continue
        kind = tersewright.detect_language(text, source.location)
        if kind == "unknown":
            unknown += 1
            continue
        samples.setdefault(kind, []).append((source.location, text))
    return samples, unknown


# --------------------------------------------------------------------------- the table


class Table:
    HEADER = ("kind", "profile", "input", "fold MB/s", "reduction", "baseline", "base MB/s", "fold/base")
    LEFT = {0, 1, 5}

    def __init__(self):
        self.rows: List[Tuple[str, ...]] = []

    def add(self, kind: str, profile: str, size: int, fold_s: float, reduction: str, baseline: str, base_s: float,
            note: str = "") -> None:
        self.rows.append((kind, profile, size_label(size), throughput(size, fold_s), reduction, baseline,
                          throughput(size, base_s), f"{fold_s / base_s:.2f}{note}"))

    def render(self) -> str:
        widths = [max(len(row[i]) for row in self.rows + [self.HEADER]) for i in range(len(self.HEADER))]

        def line(cells):
            return "  ".join(c.ljust(w) if i in self.LEFT else c.rjust(w) for i, (c, w) in enumerate(zip(cells, widths))).rstrip()

        out = [line(self.HEADER), "  ".join("-" * w for w in widths)]
        for index, row in enumerate(self.rows):
            if index and row[0] != self.rows[index - 1][0]:
                out.append("")
            out.append(line(row))
        return "\n".join(out)


def size_label(size: int) -> str:
    return f"{size} B" if size < 10_000 else f"{size / MB:.1f} MB"


def throughput(size: int, seconds: float) -> str:
    if seconds <= 0:
        return "inf"
    rate = size / MB / seconds
    return f"{rate:.3f}" if rate < 1 else f"{rate:.2f}" if rate < 100 else f"{rate:.0f}"


def sample_bytes(sample: Sample) -> int:
    return sum(len(text.encode("utf-8")) for _, text in sample)


BASELINE_NAMES = {"json": "json round trip", "log": "naive dedupe loop", "markdown": "wc -l", "text": "wc -l"}


def baseline_seconds(kind: str, sample: Sample, parse_bench: str, repeat: int) -> Tuple[str, float]:
    if kind in SOURCE_KINDS:
        return "tree-sitter parse", bare_parse_seconds(parse_bench, kind, [p for p, _ in sample], repeat)
    if kind == "json":
        return BASELINE_NAMES[kind], cpu_seconds(lambda: json_round_trip(sample), repeat)
    if kind == "log":
        return BASELINE_NAMES[kind], cpu_seconds(lambda: naive_log_collapse(sample), repeat)
    return BASELINE_NAMES[kind], wc_lines([p for p, _ in sample], repeat)


def measure_kind(table, engine, kind, label, sample, profiles, parse_bench, repeat, progress):
    size = sample_bytes(sample)
    runs = repeat if repeat else (3 if size < 50 * MB else 1)
    progress(f"{label}: {size_label(size)} in {len(sample)} file(s)")
    baseline, base_s = baseline_seconds(kind, sample, parse_bench, runs)
    for profile in profiles:
        fold_s = cpu_seconds(lambda: fold_all(engine, sample, profile), runs)
        size_in, size_out, statuses = fold_all(engine, sample, profile)
        reduction = f"{(1 - size_out / size_in) if size_in else 0:.1%}"
        # A source row is only meaningful when the text parsed; say so when it did not.
        note = "" if kind not in SOURCE_KINDS or statuses == ["parsed"] else " (" + "/".join(statuses) + ")"
        table.add(label, profile, size, fold_s, reduction, baseline, base_s, note)


def measure_calls(table, tersewright, profiles) -> List[str]:
    engine = tersewright.Engine()
    rstrip_s = per_call_seconds(CALL_TEXT.rstrip)
    figures = [f"str.rstrip {rstrip_s * 1e9:.0f} ns"]
    for profile in profiles:
        fold_s = per_call_seconds(lambda: engine.fold(CALL_TEXT, profile=profile, path="call.py"))
        report = engine.fold(CALL_TEXT, profile=profile, path="call.py").report
        table.add("per call", profile, len(CALL_TEXT.encode()), fold_s,
                  f"{report.reduction_ratio:.1%}", "str.rstrip", rstrip_s)
        figures.append(f"{profile} {fold_s * 1e6:.1f} us")
    return figures


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build-dir", default="build", help="CMake build directory (default: build)")
    parser.add_argument("--corpus", metavar="DIR", help="also measure the real files under DIR, grouped by kind")
    parser.add_argument("--full", action="store_true", help="every generated kind at 100 MB (takes a long time)")
    parser.add_argument("--size-mb", type=float, help="size of every generated corpus, overriding the defaults")
    parser.add_argument("--kinds", default=",".join(corpus.KINDS), help="generated kinds to measure (comma-separated; 'none' for none)")
    parser.add_argument("--profiles", help="profiles to measure (comma-separated; default: all)")
    parser.add_argument("--repeat", type=int, default=0, help="runs per figure (default: 3, or 1 from 50 MB up)")
    parser.add_argument("--corpus-cache", help="where generated corpora are kept (default: BUILD_DIR/bench-corpus)")
    parser.add_argument("--skip-rss", action="store_true", help="leave out the memory figures")
    args = parser.parse_args(argv)

    build = os.path.abspath(args.build_dir)
    package_dir = os.path.join(build, "python")
    parse_bench = os.path.join(build, "bench", "parse_bench")
    for needed in (os.path.join(package_dir, "tersewright"), parse_bench):
        if not os.path.exists(needed):
            parser.error(f"{needed} is missing; build first (make)")
    sys.path.insert(0, package_dir)
    import tersewright

    kinds = [] if args.kinds == "none" else [k for k in args.kinds.split(",") if k]
    for kind in kinds:
        if kind not in corpus.KINDS:
            parser.error(f"unknown kind {kind!r} (choose from {', '.join(corpus.KINDS)})")
    profiles = args.profiles.split(",") if args.profiles else tersewright.profiles()
    for profile in profiles:
        if profile not in tersewright.profiles():
            parser.error(f"unknown profile {profile!r}")
    sizes = dict(DEFAULT_SIZE_MB)
    if args.full:
        sizes = {kind: 100.0 for kind in corpus.KINDS}
    if args.size_mb:
        sizes = {kind: args.size_mb for kind in corpus.KINDS}
    cache = args.corpus_cache or os.path.join(build, "bench-corpus")

    def progress(text):
        print(f"[bench] {text}", file=sys.stderr, flush=True)

    started = time.monotonic()
    table = Table()
    engine = tersewright.Engine()
    progress(f"generating corpora in {cache} (reused when present)")
    for kind in kinds:
        # One corpus in memory at a time: the largest are 100 MB each.
        sample = generated_sample(kind, sizes[kind], cache)
        measure_kind(table, engine, kind, kind, sample, profiles, parse_bench, args.repeat, progress)
        del sample
    unknown = 0
    if args.corpus:
        found, unknown = real_samples(args.corpus, tersewright)
        for kind in corpus.KINDS:
            if kind in found:
                measure_kind(table, engine, kind, f"{kind} (corpus)", found[kind], profiles, parse_bench, args.repeat, progress)
    progress("per-call overhead")
    call_figures = measure_calls(table, tersewright, profiles)

    memory = []
    if not args.skip_rss:
        for kind, profile in RSS_CASES:
            path = corpus.corpus_file(cache, kind, RSS_SIZE_MB)
            progress(f"peak memory: {os.path.basename(path)}")
            size = os.path.getsize(path)
            folded = peak_rss_bytes(package_dir, path, profile, "fold")
            read = peak_rss_bytes(package_dir, path, profile, "read")
            memory.append(
                f"peak RSS folding the {size / MB:.0f} MB {kind} file ({profile}): {folded / MB:.0f} MB ="
                f" {folded / size:.2f} x input (reading and decoding it alone: {read / size:.2f} x)"
            )

    print(f"TerseWright {tersewright.__version__} end-to-end benchmark; Python {sys.version.split()[0]},"
          f" {os.cpu_count()} CPU(s). MB = 10^6 bytes.")
    print("Times are CPU times (median of the runs); fold/base = fold time / baseline time on the same input.")
    print()
    print(table.render())
    print()
    print("per call (Engine.fold of a 100-byte Python text; str.rstrip of the same text): " + ", ".join(call_figures))
    if args.corpus:
        print(f"corpus {args.corpus}: {unknown} file(s) of unknown kind not measured")
    for line in memory:
        print(line)
    print(f"({time.monotonic() - started:.0f} s)")
    return 0


if __name__ == "__main__":
    sys.exit(main())

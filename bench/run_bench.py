"""End-to-end benchmark: what a fold costs next to what a user would run instead.

For every content kind and profile it prints the fold's throughput and its time divided by the time
of a baseline measured in the same run on the same bytes:

  source code       one bare tree-sitter parse (bench/parse_bench, Google Benchmark, median)
  JSON              json.dumps(json.loads(s), sort_keys=True, separators=(",", ":"))
  logs              a Python loop that drops lines equal to the line before
  Markdown, text    wc -l of the same file (a floor for any line-based pass)
  per call          Engine.fold of 100 bytes against str.rstrip of the same text

JSON is also set against `jq -cS .` on the same files when jq is installed. With --corpus, a source
table splits each "safe" and "code-review" fold of the real files into its steps (bench/fold_steps,
in units of one bare parse of the same files, measured in one run), counts the parses the fold
runs against the ones it cannot avoid, and a goal table closes the output. The peak resident memory of folding the 100 MB log and the 100 MB plain-text file, as a
multiple of the input size. Times are CPU times, so that other work on a shared machine disturbs
them less; fold and JSON/log baselines are medians of --repeat runs.

    make bench                                   # the default run (about five minutes on two cores)
    python3 bench/run_bench.py --build-dir build --full     # every kind at 100 MB
    python3 bench/run_bench.py --build-dir build --corpus ~/src/project --corpus /usr/lib/python3.11
"""

import argparse
import json
import shutil
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


def child_cpu_seconds_any_status(command: Sequence[str]) -> float:
    """CPU time of one child process whatever its exit status (a real corpus may hold broken files)."""
    with subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL) as process:
        _, status, usage = os.wait4(process.pid, 0)
        process.returncode = os.waitstatus_to_exitcode(status)
    return usage.ru_utime + usage.ru_stime


def jq_seconds(paths: Sequence[str], repeat: int) -> float:
    def once() -> float:
        return sum(child_cpu_seconds_any_status(["jq", "-cS", ".", "--", *paths[i : i + 500]])
                   for i in range(0, len(paths), 500))

    return statistics.median(once() for _ in range(repeat))


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
    jq_s = jq_seconds([p for p, _ in sample], runs) if kind == "json" and shutil.which("jq") else None
    fold_times = {}
    for profile in profiles:
        fold_s = cpu_seconds(lambda: fold_all(engine, sample, profile), runs)
        size_in, size_out, statuses = fold_all(engine, sample, profile)
        reduction = f"{(1 - size_out / size_in) if size_in else 0:.1%}"
        # A source row is only meaningful when the text parsed; say so when it did not.
        note = "" if kind not in SOURCE_KINDS or statuses == ["parsed"] else " (" + "/".join(statuses) + ")"
        table.add(label, profile, size, fold_s, reduction, baseline, base_s, note)
        if jq_s is not None:
            table.add(label, profile, size, fold_s, reduction, "jq -cS .", jq_s)
        fold_times[profile] = fold_s
    return {"bytes": size, "fold": fold_times, "base": base_s, "jq": jq_s}


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


def call_goal_figures(tersewright, parse_bench: str) -> Dict[str, float]:
    """The per-call figures the goal table needs, "safe" on the 100-byte Python text."""
    engine = tersewright.Engine()
    report = engine.fold(CALL_TEXT, path="call.py").report
    with tempfile.NamedTemporaryFile("w", suffix=".py", delete=False) as handle:
        handle.write(CALL_TEXT)
    try:
        parse_s = bare_parse_seconds(parse_bench, "python", [handle.name], 3)
    finally:
        os.unlink(handle.name)
    return {
        "engine_fold": per_call_seconds(lambda: engine.fold(CALL_TEXT, path="call.py")),
        "module_fold": per_call_seconds(lambda: tersewright.fold(CALL_TEXT, path="call.py")),
        "to_json": per_call_seconds(report.to_json),
        "parse": parse_s,
    }


# --------------------------------------------------------------------------- the source table

SPLIT_PROFILES = ("safe", "code-review")
# fold_steps' steps, shortened for the header, in the order a fold runs them.
STEP_COLUMNS = (("input parse", "in.parse"), ("input walk", "in.walk"), ("structural rules", "rules"),
                ("apply 1", "apply1"), ("text 1 parse", "t1.parse"), ("text 1 walk", "t1.walk"),
                ("whitespace rules", "ws"), ("apply 2", "apply2"), ("final parse", "final"))
SOURCE_GOALS = {"safe": 3.0, "code-review": 2.0}


def fold_steps(binary: str, kind: str, profile: str, paths: Sequence[str], rounds: int) -> dict:
    with tempfile.NamedTemporaryFile("w", suffix=".list", delete=False) as listing:
        listing.write("\n".join(paths) + "\n")
    try:
        done = subprocess.run([binary, kind, profile, str(max(rounds, 1)), "@" + listing.name],
                              capture_output=True, text=True, check=False)
    finally:
        os.unlink(listing.name)
    if done.returncode != 0:
        raise RuntimeError(f"fold_steps failed: {done.stderr.strip()}")
    return json.loads(done.stdout)


def split_steps(source_table, binary, kind, label, sample, figures, profiles, repeat, progress) -> None:
    for profile in (p for p in SPLIT_PROFILES if p in profiles):
        progress(f"{label}: steps of the {profile} fold")
        steps = fold_steps(binary, kind, profile, [p for p, _ in sample], repeat or 3)
        source_table.add(label, steps, figures["fold"][profile], figures["base"])


class SourceTable:
    """One row per language and profile; times in units of one bare parse of the same files."""

    HEADER = ("kind", "profile", "files", "input", "parse ms", "fold/parse", "goal", "engine", "binding",
              "parses", "floor", "fold/floor") + tuple(short for _, short in STEP_COLUMNS) + ("rest",)
    LEFT = {0, 1, 6}

    def __init__(self):
        self.rows: List[Tuple[str, ...]] = []
        self.verdicts: List[Tuple[str, str, float, float]] = []

    def add(self, kind: str, steps: dict, python_fold_s: float, python_parse_s: float) -> None:
        # Two pairs, each measured side by side: the Python fold against parse_bench (the main
        # table's fold/base), and the engine's fold and its steps against fold_steps' own bare parses.
        parse = steps["bare_parse"]
        files = steps["files"]
        unit = lambda seconds: f"{seconds / parse:.2f}"  # noqa: E731
        in_steps = sum(steps["steps"].values())
        goal = SOURCE_GOALS[steps["profile"]]
        fold_units = python_fold_s / python_parse_s
        # The floor: the fresh parses a fold cannot avoid, each about one bare parse of its text.
        floor = steps["floor_parses"] / files
        self.verdicts.append((kind, steps["profile"], fold_units, goal))
        self.rows.append((kind, steps["profile"], str(files), size_label(steps["bytes"]), f"{parse * 1e3:.1f}",
                          f"{fold_units:.2f}", f"<= {goal:.1f} " + ("met" if fold_units <= goal else "NOT MET"),
                          unit(steps["fold"]), f"{fold_units - steps['fold'] / parse:.2f}",
                          f"{steps['fold_parses'] / files:.2f}", f"{floor:.2f}", f"{steps['fold'] / parse / floor:.2f}")
                         + tuple(unit(steps["steps"][name]) for name, _ in STEP_COLUMNS)
                         + (unit(max(0.0, steps["fold"] - in_steps + steps["steps"]["protected set"])),))

    def render(self) -> str:
        return render_rows(self.HEADER, self.rows, self.LEFT)


def render_rows(header, rows, left, grouped: bool = True) -> str:
    widths = [max(len(row[i]) for row in list(rows) + [header]) for i in range(len(header))]

    def line(cells):
        return "  ".join(c.ljust(w) if i in left else c.rjust(w) for i, (c, w) in enumerate(zip(cells, widths))).rstrip()

    out = [line(header), "  ".join("-" * w for w in widths)]
    for index, row in enumerate(rows):
        if grouped and index and row[0] != rows[index - 1][0]:
            out.append("")
        out.append(line(row))
    return "\n".join(out)


def goal_rows(source: SourceTable, kinds: Dict[str, dict], calls: Dict[str, float], memory: Dict[str, float]):
    """The goal table: each measure of this run against its goal."""
    rows = []

    def add(measure: str, now: str, goal: str, met: bool) -> None:
        rows.append((measure, now, goal, "met" if met else "NOT MET"))

    for kind, profile, units, goal in source.verdicts:
        add(f"{kind} {profile} fold / bare parse", f"{units:.2f}", f"<= {goal:.1f}", units <= goal)
    for label, figures in kinds.items():
        rate = lambda profile: figures["bytes"] / MB / figures["fold"][profile]  # noqa: E731
        if label.startswith("markdown") and "documentation" in figures["fold"]:
            add(f"{label} documentation", f"{rate('documentation'):.0f} MB/s", ">= 400 MB/s", rate("documentation") >= 400)
        if label.startswith("text") and "safe" in figures["fold"]:
            add(f"{label} safe", f"{rate('safe'):.0f} MB/s", ">= 400 MB/s", rate("safe") >= 400)
        if label.startswith("json") and "safe" in figures["fold"]:
            faster = figures["base"] / figures["fold"]["safe"]
            add(f"{label} safe vs Python json round trip", f"{faster:.1f}x faster", ">= 5x", faster >= 5)
            if figures["jq"] is not None:
                faster = figures["jq"] / figures["fold"]["safe"]
                add(f"{label} safe vs jq -cS .", f"{faster:.2f}x faster", "> 1x", faster > 1)
    if calls:
        ratio = calls["engine_fold"] / (3 * calls["parse"])
        add("Engine.fold of 100 B Python / three bare parses", f"{ratio:.2f}", "<= 1.2", ratio <= 1.2)
        ratio = calls["module_fold"] / calls["engine_fold"]
        add("module fold / Engine.fold, same text", f"{ratio:.2f}", "<= 1.3", ratio <= 1.3)
        add("Report.to_json()", f"{calls['to_json'] * 1e6:.2f} us", "<= 1.0 us", calls["to_json"] <= 1e-6)
    for label, ratio in memory.items():
        add(f"peak RSS folding {label}", f"{ratio:.2f}x input", "<= 3x", ratio <= 3)
    return render_rows(("measure", "now", "goal", "verdict"), rows, {0, 2, 3}, grouped=False)


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build-dir", default="build", help="CMake build directory (default: build)")
    parser.add_argument("--corpus", metavar="DIR", action="append",
                        help="also measure the real files under DIR, grouped by kind (repeatable)")
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
    steps_bench = os.path.join(build, "bench", "fold_steps")
    for needed in (os.path.join(package_dir, "tersewright"), parse_bench, steps_bench):
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
    source_table = SourceTable()
    kind_figures: Dict[str, dict] = {}
    engine = tersewright.Engine()
    progress(f"generating corpora in {cache} (reused when present)")
    for kind in kinds:
        # One corpus in memory at a time: the largest are 100 MB each.
        sample = generated_sample(kind, sizes[kind], cache)
        kind_figures[kind] = measure_kind(table, engine, kind, kind, sample, profiles, parse_bench, args.repeat, progress)
        if kind in SOURCE_KINDS:
            split_steps(source_table, steps_bench, kind, kind, sample, kind_figures[kind], profiles, args.repeat, progress)
        del sample
    unknown = 0
    found: Dict[str, Sample] = {}
    for root in args.corpus or ():
        more, skipped = real_samples(root, tersewright)
        unknown += skipped
        for kind, sample in more.items():
            found.setdefault(kind, []).extend(sample)
    for kind in corpus.KINDS:
        if kind not in found:
            continue
        label = f"{kind} (corpus)"
        figures = measure_kind(table, engine, kind, label, found[kind], profiles, parse_bench, args.repeat, progress)
        kind_figures[label] = figures
        if kind in SOURCE_KINDS:
            split_steps(source_table, steps_bench, kind, label, found[kind], figures, profiles, args.repeat, progress)
    progress("per-call overhead")
    call_figures = measure_calls(table, tersewright, profiles)
    call_goals = call_goal_figures(tersewright, parse_bench)

    memory = []
    memory_ratios: Dict[str, float] = {}
    if not args.skip_rss:
        for kind, profile in RSS_CASES:
            path = corpus.corpus_file(cache, kind, RSS_SIZE_MB)
            progress(f"peak memory: {os.path.basename(path)}")
            size = os.path.getsize(path)
            folded = peak_rss_bytes(package_dir, path, profile, "fold")
            read = peak_rss_bytes(package_dir, path, profile, "read")
            memory_ratios[f"{size / MB:.0f} MB of {kind}"] = folded / size
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
        print(f"corpus {', '.join(args.corpus)}: {unknown} file(s) of unknown kind not measured")
    for line in memory:
        print(line)
    if source_table.rows:
        print()
        print("Source folds, in units of one bare parse of the same files (same run):")
        print("fold/parse = the Python fold over parse_bench (as in the table above); engine = transform::fold over")
        print("fold_steps' bare parses, file by file in the same rounds; binding = the difference;")
        print("parses = fresh parses per fold; floor = those it cannot avoid (the input, text 1 when the")
        print("structural rules changed it, the output when it is new); fold/floor = the engine over the floor;")
        print("the steps follow; rest = the frame, the protected set and the report.")
        print(source_table.render())
    print()
    print(goal_rows(source_table, kind_figures, call_goals, memory_ratios))
    print(f"({time.monotonic() - started:.0f} s)")
    return 0


if __name__ == "__main__":
    sys.exit(main())

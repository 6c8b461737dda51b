"""tersewright.distributed on a local Dask cluster (two worker processes, one thread each, loopback only)."""

import fcntl
import os
import random
import re
import signal
import subprocess
import sys
import threading
import time
from pathlib import Path

import pytest

import tersewright

# Under the sanitizers the interpreter runs with the ASan runtime preloaded: a local cluster's worker
# processes then start and restart so slowly that Dask's own connection timeouts fire. These tests
# check Python orchestration; the engine they call is checked under the sanitizers by the other suites.
pytestmark = pytest.mark.skipif(os.environ.get("TERSEWRIGHT_SANITIZED") == "1",
                                reason="Dask clusters are not run under the sanitizers")
distributed = pytest.importorskip("distributed")
dd = pytest.importorskip("dask.dataframe")
import cloudpickle  # noqa: E402  (so does distributed)
import dask  # noqa: E402
import pandas as pd  # noqa: E402  (dask.dataframe brings it)

from tersewright.distributed import (  # noqa: E402
    TEMP_SUFFIX, fold_options, fold_partition, fold_paths, fold_series, fold_sources_on_cluster, write_atomically,
)
from tersewright.cli.sources import Source  # noqa: E402

PACKAGE_ROOT = str(Path(tersewright.__file__).resolve().parent.parent)

KINDS = {
    "py": "import os  # why\n# type: ignore\nx = {n}   # trailing\n\n\n\ndef f{n}():\n    '''Doc.'''\n    return x\n",
    "rs": "// note\nfn f{n}() -> i32 {{\n    {n} // answer\n}}\n\n\n",
    "js": "// c\nconst a{n} = {n};  \n\n\n/* block */\nexport default a{n};\n",
    "ts": "// c\nexport const v{n}: number = {n};   \n\n\n",
    "tsx": "// c\nexport const C{n} = () => <div>{n}</div>;  \n\n\n",
    "go": "package p\n\n//go:build linux\n// gone\nfunc F{n}() int {{ return {n} }}  \n\n\n",
    "md": "# Title {n}\n\n\n\nText  \nText  \n",
    "log": "2024-05-01 10:00:00 INFO start {n}\n" + "2024-05-01 10:00:01 WARN retry  \n" * 3,
    "json": '{{"a": {n},   "b": [1, 2]}}\n',
    "txt": "alpha {n}  \n\n\n\nbeta\n",
}
ODD = {"broken.py": b"def (:\n  # c\n", "bad.json": b"{", "empty.txt": b"", "bin.dat": b"\0\1", "latin1.txt": b"caf\xe9\n",
       "Makefile": b"all:  \n\t@echo hi   # c\n", ".git/config": b"[core]\n", ".hidden.py": b"x = 1  # c\n",
       ".gitignore": b"ignored.py\n", "d1/ignored.py": b"x = 2  # c\n"}
# the command line's walk options and fold_paths' keywords for them
WALKS = {(): {}, ("--hidden", "--no-ignore", "--glob", "!*.log"): dict(hidden=True, ignore_files=False, globs=["!*.log"])}


@pytest.fixture(scope="module")
def client():
    # The scheduler gives up on a task after it took down two workers, rather than four.
    with dask.config.set({"distributed.scheduler.allowed-failures": 1}), distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                                  dashboard_address=None) as cluster, distributed.Client(cluster) as client:
        yield client


@pytest.fixture(scope="module")
def corpus(tmp_path_factory):
    """A seeded tree of a few hundred small files of every kind, and the serial command line's output and
    standard error for each way of walking it."""
    base = tmp_path_factory.mktemp("corpus")
    rng, root = random.Random(13), base / "tree"
    for i in range(320):
        ext = list(KINDS)[i % len(KINDS)]
        path = root / f"d{i % 7}" / f"s{i % 3}" / f"f{i}.{ext}"
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(KINDS[ext].format(n=i) * rng.randint(1, 40))
    for name, data in ODD.items():
        (root / name).parent.mkdir(parents=True, exist_ok=True)
        (root / name).write_bytes(data)
    (root / "outside").symlink_to("../..")
    serial = {}
    for flags in WALKS:
        out = f"serial{len(serial)}"
        done = run("fold", "tree", "--output-dir", out, "--report", "json", *flags, cwd=base)
        assert done.returncode == 2 and b"tersewright: tree/latin1.txt: not UTF-8 text\n" in done.stderr, done.stderr
        serial[flags] = (snapshot(base / out), done.stderr.decode().splitlines())
    return base, serial


def run(*args, cwd=None, stdin=b"", pythonpath=None):
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(filter(None, [pythonpath, PACKAGE_ROOT])))
    return subprocess.run([sys.executable, "-m", "tersewright", *args], cwd=cwd, env=env, input=stdin,
                          capture_output=True, timeout=120)


def snapshot(root):
    return {p.relative_to(root).as_posix(): p.read_bytes() for p in sorted(Path(root).rglob("*")) if p.is_file()}


def check_same_as_serial(summary, serial, written=None):
    outputs, stderr = serial
    assert [f.report_json for f in summary.files] == [line for line in stderr if line.startswith("{")]
    assert [f"tersewright: {s.message}" for s in summary.failed] == [line for line in stderr[:-1] if line[:1] != "{"]
    assert f"tersewright: {summary.summary()}" == stderr[-1]
    assert (snapshot(written) if written else {f.relative: f.output for f in summary.files}) == outputs
    assert [s.message for s in summary.skipped] == ["tree/bin.dat: skipped (binary file)",
                                                   "tree/outside: skipped (symbolic link leads out of tree)"]


# partition size (None: the default), outputs written by the workers, client given by its scheduler's address, walk
@pytest.mark.parametrize("partition_bytes,to_disk,by_address,flags", [
    (1, True, False, ()), (4096, True, False, ()), (None, True, True, ()), (4096, False, True, ()),
    (4096, False, False, list(WALKS)[1])])
def test_fold_paths_matches_the_serial_command_line(client, corpus, partition_bytes, to_disk, by_address, flags,
                                                    monkeypatch):
    base, serial = corpus
    monkeypatch.chdir(base)
    out = base / f"out-{partition_bytes}-{to_disk}"
    summary = fold_paths(["tree"], client=client.scheduler.address if by_address else client,
                         partition_bytes=partition_bytes, output_dir=out if to_disk else None, **WALKS[flags])
    check_same_as_serial(summary, serial[flags], out if to_disk else None)
    assert [s.path for s in summary.failed] == ["tree/latin1.txt"]
    assert ("tree/.hidden.py" in serial[flags][0]) == ("tree/d1/ignored.py" in serial[flags][0]) == bool(flags)


def test_a_worker_killed_mid_run_loses_nothing(client, corpus):
    base, serial = corpus
    out, result = base / "out-killed", {}
    pids = client.run(os.getpid)
    runner = threading.Thread(target=lambda: result.update(
        summary=fold_paths([base / "tree"], client=client, partition_bytes=1, output_dir=out)))
    runner.start()
    while not out.exists() or sum(1 for _ in out.rglob("*.py")) < 5:
        time.sleep(0.005)
    busy = [worker for worker, keys in client.processing().items() if keys]
    assert runner.is_alive() and busy, "the run ended before a worker could be killed"
    os.kill(pids[busy[0]], signal.SIGKILL)
    runner.join(timeout=120)
    assert snapshot(out) == serial[()][0]
    assert [f.report_json for f in result["summary"].files] == [line for line in serial[()][1] if line.startswith("{")]


def test_a_file_failing_on_a_worker_is_reported_and_the_rest_goes_on(client, tmp_path):
    (tmp_path / "a.py").write_text("x = 1  # c\n")
    sources = [Source("a.py", str(tmp_path / "a.py"), "a.py"), Source("gone.py", str(tmp_path / "gone.py"), "gone.py"),
               Source("a2.py", str(tmp_path / "a.py"), "a2.py")]
    outcomes = list(fold_sources_on_cluster(sources, fold_options(), client.scheduler.address, partition_bytes=1))
    assert [getattr(o, "output", None) or o.message for o in outcomes] == [
        b"x = 1\n", "gone.py: No such file or directory", b"x = 1\n"]
    (tmp_path / "in").mkdir()
    (tmp_path / "in" / "b.py").write_text("x = 1  # c\n")
    (tmp_path / "out" / "a.py").mkdir(parents=True)  # a directory where an output must go
    summary = fold_paths([tmp_path / "a.py", tmp_path / "in"], client=client, output_dir=tmp_path / "out")
    assert [(s.path, s.failed) for s in summary.failed] == [(str(tmp_path / "a.py"), True)]
    assert "Is a directory" in summary.failed[0].message and (tmp_path / "out" / "in" / "b.py").read_text() == "x = 1\n"


# paths (under tmp_path), output directory, the error that refuses the run before anything is written
REFUSED = [
    (["in/a/y.log", "y.log"], "out", ValueError, r"in/a/y.log and .*y.log would both be written to .*out/y.log$"),
    (["in"], ".", ValueError, r"^refusing to overwrite the input .*in/a/y.log with its folded text$"),
    (["in"], "y.log", NotADirectoryError, r"^cannot write into .*y.log: not a directory$"),
]


@pytest.mark.parametrize("paths,output_dir,error,message", REFUSED)
def test_fold_paths_refuses_to_overwrite_before_writing(client, tmp_path, paths, output_dir, error, message):
    (tmp_path / "in" / "a").mkdir(parents=True)
    for name in ("in/a/y.log", "y.log"):
        (tmp_path / name).write_text("log  \n")
    with pytest.raises(error, match=message):
        fold_paths([tmp_path / p for p in paths], client=client, output_dir=tmp_path / output_dir)
    assert sorted(p.name for p in tmp_path.rglob("*")) == ["a", "in", "y.log", "y.log"]
    assert {p.read_text() for p in tmp_path.rglob("*.log")} == {"log  \n"}


class Poison(distributed.WorkerPlugin):
    """Every worker, restarted ones too, dies when it comes to fold a file called poison.txt."""

    def setup(self, worker):
        import tersewright.distributed as module

        fold_one = module.fold_one
        module.fold_one = lambda source, options: os._exit(1) if source.shown.endswith("poison.txt") else fold_one(source, options)


def test_a_file_that_takes_its_worker_down_is_reported_and_the_rest_goes_on(client, tmp_path):
    for name in ("a.txt", "poison.txt", "z.txt"):
        (tmp_path / name).write_text(f"{name}  \n")
    cloudpickle.register_pickle_by_value(sys.modules[__name__])
    try:
        client.register_worker_plugin(Poison(), name="poison")
        summary = fold_paths([tmp_path], client=client)  # one partition of three files
    finally:
        client.unregister_worker_plugin("poison")
        cloudpickle.unregister_pickle_by_value(sys.modules[__name__])
    assert [f.output for f in summary.files] == [b"a.txt\n", b"z.txt\n"]
    assert [s.message for s in summary.failed] == [f"{tmp_path}/poison.txt: the Dask workers folding it died"]


# what is at the temporary file's name before the write, and whether it is still there after
@pytest.mark.parametrize("leftover,stays", [("killed attempt", False), ("live attempt", True), ("symbolic link", True)])
def test_outputs_are_written_whole_through_a_temporary_file(tmp_path, leftover, stays):
    temp, victim = tmp_path / f".a.py{TEMP_SUFFIX}", tmp_path / "victim"
    victim.write_bytes(b"half a fi")
    temp.symlink_to("victim") if leftover == "symbolic link" else temp.write_bytes(b"half a fi")
    with open(temp, "rb") as held:
        if leftover == "live attempt":
            fcntl.flock(held, fcntl.LOCK_EX)
        write_atomically(str(tmp_path / "a.py"), b"whole\n")
    assert (tmp_path / "a.py").read_bytes() == b"whole\n" and victim.read_bytes() == b"half a fi"
    assert sorted(p.name for p in tmp_path.iterdir()) == sorted(["a.py", "victim"] + [temp.name] * stays)


TEXTS = ["import os  # c\n\n\n\nx = 1\n", "# T\n\n\n\nx  \n", '{"a":  1}', "{", "2024-05-01 10:00:00 INFO a\n" * 3, None, b"caf\xe9"]
PATHS = ["a.py", "b.md", "c.json", "d.json", "e.log", "f.txt", "g.txt"]


@pytest.mark.parametrize("form", ["frame", "series"])
def test_fold_series_on_a_dask_dataframe(client, form):
    frame = pd.DataFrame({"text": TEXTS, "path": PATHS}, index=range(10, 17))
    ddf = dd.from_pandas(frame, npartitions=3)
    data = fold_series(ddf, text_column="text", path_column="path") if form == "frame" else fold_series(ddf["text"])
    folded = data.compute()
    assert list(folded.index) == list(frame.index)
    for (text, path), row in zip(zip(TEXTS, PATHS), folded.itertuples()):
        if not isinstance(text, str):
            assert pd.isna(row.output) and pd.isna(row.report_json)
            continue
        report = tersewright.fold(text, path=path if form == "frame" else None,
                                  protected_line_markers=tersewright.DIRECTIVE_MARKERS).report
        assert row.report_json == report.to_json() and row.output_bytes == report.output_bytes
        assert (row.behavior_preserving, None if pd.isna(row.syntax_valid) else row.syntax_valid) == (
            report.behavior_preserving, report.syntax_valid)


def test_an_unknown_profile_raised_on_a_worker_arrives_as_unknown_profile_error(client):
    future = client.submit(fold_partition, pd.DataFrame({"text": ["x"]}), "text", profile="no-such")
    with pytest.raises(tersewright.UnknownProfileError, match="no-such"):
        future.result()


BLOCKER = ("import sys, importlib.abc\nclass Block(importlib.abc.MetaPathFinder):\n"
           "    def find_spec(self, name, *a):\n        if name.split('.')[0] in ('dask', 'distributed'): raise ImportError(name)\n"
           "sys.meta_path.insert(0, Block())\n")


def test_dask_stays_optional():
    blocker = BLOCKER + "import tersewright\nimport tersewright.distributed\n"
    done = subprocess.run([sys.executable, "-c", blocker], env=dict(os.environ, PYTHONPATH=PACKAGE_ROOT),
                          capture_output=True, timeout=60)
    assert done.returncode == 1
    assert done.stderr.decode().splitlines()[-1] == (
        "ImportError: tersewright.distributed needs Dask: pip install 'tersewright[distributed]'"
        " (on Debian: apt install python3-dask python3-distributed python3-pandas)")


# --------------------------------------------------------------------------- fold --scheduler
def small_tree(root):
    for name, data in {"a/x.py": KINDS["py"].format(n=1), "a/y.log": KINDS["log"].format(n=2), "b.md": KINDS["md"].format(n=3),
                       "c.json": KINDS["json"].format(n=4), "bin.dat": "\0\1", "bad.txt": b"caf\xe9\n"}.items():
        (root / name).parent.mkdir(parents=True, exist_ok=True)
        (root / name).write_bytes(data if isinstance(data, bytes) else data.encode())


# command line past `fold` ({out}: the output's name), whether it reads the cluster's address (else local:2)
SCHEDULED = [
    (["t", "--report", "json", "-v"], True), (["t", "t/b.md", "-o", "{out}", "--report", "text"], True),
    (["t", "--output-dir", "{out}", "--budget-bytes", "10", "--fail-over-budget"], True),
    (["t/a/x.py", "-o", "{out}"], True), (["--in-place", "t/b.md", "t/bad.txt", "t/a/y.log"], True),
    (["t", "--glob", "!*.log", "-o", "{out}"], False),
]


@pytest.mark.parametrize("args,by_address", SCHEDULED)
def test_fold_on_a_scheduler_is_byte_identical_to_a_run_without(client, tmp_path, args, by_address):
    scheduler = client.scheduler.address if by_address else "local:2"
    done = {}
    for mode, extra in (("plain", []), ("cluster", ["--scheduler", scheduler])):
        (tmp_path / mode).mkdir()
        small_tree(tmp_path / mode / "t")
        done[mode] = run("fold", *[a.format(out="out") for a in args], *extra, cwd=tmp_path / mode)
    plain, cluster = done["plain"], done["cluster"]
    assert (cluster.returncode, cluster.stdout, cluster.stderr) == (plain.returncode, plain.stdout, plain.stderr)
    assert snapshot(tmp_path / "cluster") == snapshot(tmp_path / "plain")
    assert plain.stdout or (tmp_path / "plain" / "out").exists() or b"bad.txt" in plain.stderr


# --scheduler's value, the line on standard error; every one ends the run with status 2
REFUSED_SCHEDULERS = [
    ("local:x", r"^tersewright: argument --scheduler: not a Dask scheduler address \(tcp://HOST:PORT\) nor local:N"),
    ("tcp://host", r"^tersewright: argument --scheduler: not a Dask scheduler address"),
    ("tcp://127.0.0.1:65536", r"^tersewright: argument --scheduler: not a Dask scheduler address"),
    ("tcp://127.0.0.1:1", r"^tersewright: cannot reach the Dask scheduler at tcp://127.0.0.1:1: .*\n\Z"),
    ("127.0.0.1:1", r"^tersewright: cannot reach the Dask scheduler at tcp://127.0.0.1:1: .*\n\Z"),
]


@pytest.mark.parametrize("scheduler,message", REFUSED_SCHEDULERS)
def test_a_bad_or_unreachable_scheduler_fails_in_one_line(tmp_path, scheduler, message):
    small_tree(tmp_path / "t")
    started = time.monotonic()
    done = run("fold", "t", "-o", "out", "--scheduler", scheduler, cwd=tmp_path)
    assert time.monotonic() - started < 15
    assert done.returncode == 2 and done.stdout == b"" and re.search(message, done.stderr.decode())
    assert sorted(p.name for p in tmp_path.iterdir()) == ["t"]


def test_scheduler_refuses_standard_input_and_says_what_to_install_without_dask(tmp_path):
    done = run("fold", "--scheduler", "local:1", stdin=b"x = 1\n", cwd=tmp_path)
    assert (done.returncode, done.stderr.decode().splitlines()[0]) == (
        2, "tersewright: --scheduler folds files and directories, not standard input")
    (tmp_path / "sitecustomize.py").write_text(BLOCKER)
    (tmp_path / "a.py").write_text("x = 1\n")
    done = run("fold", "a.py", "--scheduler", "local:1", cwd=tmp_path, pythonpath=str(tmp_path))
    assert (done.returncode, done.stdout, done.stderr.decode()) == (2, b"", (
        "tersewright: --scheduler needs Dask: pip install 'tersewright[distributed]'"
        " (on Debian: apt install python3-dask python3-distributed)\n"))


def running_children(pid):
    """The processes pid started from any of its threads (a local cluster starts its workers from its own)."""
    found = []
    for task in Path(f"/proc/{pid}/task").glob("*"):
        try:
            found += [int(p) for p in (task / "children").read_text().split()]
        except OSError:
            pass
    return found


def ignores_interrupts(pid):
    """Whether a worker has been set up: it ignores SIGINT (bit 1 of the mask /proc shows)."""
    try:
        status = Path(f"/proc/{pid}/status").read_text()
    except OSError:
        return False
    return any(line.startswith("SigIgn:") and int(line.split()[1], 16) & 0x2 for line in status.splitlines())


def is_running(pid):
    try:
        return Path(f"/proc/{pid}/stat").read_text().split(") ")[1][0] != "Z"
    except (OSError, IndexError):
        return False


# the signal, sent to the main process or to its whole process group (as Ctrl-C at a terminal), the output
@pytest.mark.parametrize("signum,group,output", [
    (signal.SIGTERM, False, ["-o", "out.py"]), (signal.SIGTERM, False, ["--output-dir", "out"]),
    (signal.SIGINT, False, ["-o", "out.py"]), (signal.SIGINT, True, ["--output-dir", "out"])])
def test_a_signal_stops_a_run_on_a_local_cluster_and_cleans_up(tmp_path, signum, group, output):
    (tmp_path / "a.py").write_text("x = 1  # c\n")
    (tmp_path / "big.py").write_text("".join(f"def f{i}(a):  # note {i}\n    return a * {i}\n\n" for i in range(150000)))
    env = dict(os.environ, PYTHONPATH=PACKAGE_ROOT)
    process = subprocess.Popen([sys.executable, "-m", "tersewright", "fold", "a.py", "big.py", *output, "--scheduler", "local:2"],
                               cwd=tmp_path, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                               start_new_session=True)
    deadline = time.monotonic() + 60
    # Until a worker is set up, Ctrl-C reaching its process group kills it with a traceback: wait for both.
    while (len(running_children(process.pid)) < 2 or not all(map(ignores_interrupts, running_children(process.pid)))) \
            and time.monotonic() < deadline:
        time.sleep(0.02)
    time.sleep(1)  # the cluster is up and folding big.py, which takes several seconds
    workers = running_children(process.pid)
    assert process.poll() is None and workers, "the run ended before it could be stopped"
    (os.killpg if group else os.kill)(process.pid, signum)
    _, err = process.communicate(timeout=60)
    assert (process.returncode, err) == (128 + signum, b"")  # the workers print nothing either
    deadline = time.monotonic() + 10  # a worker told to stop may take a moment to end
    while any(is_running(pid) for pid in workers) and time.monotonic() < deadline:
        time.sleep(0.05)
    assert not [pid for pid in workers if is_running(pid)]
    # Nothing half written: no bundle, and in the output folder at most the small file folded first.
    assert set(snapshot(tmp_path)) - {"a.py", "big.py"} <= {"out/a.py"} and snapshot(tmp_path).get("out/a.py", b"x = 1\n") == b"x = 1\n"


def test_a_scheduler_that_goes_away_mid_run_fails_in_one_line(tmp_path):
    (tmp_path / "a.py").write_text("x = 1  # c\n")
    (tmp_path / "big.py").write_text("".join(f"def f{i}(a):  # note {i}\n    return a * {i}\n\n" for i in range(150000)))
    env = dict(os.environ, PYTHONPATH=PACKAGE_ROOT)
    with distributed.LocalCluster(n_workers=1, threads_per_worker=1, processes=True, host="127.0.0.1",
                                  dashboard_address=None) as cluster:
        process = subprocess.Popen([sys.executable, "-m", "tersewright", "fold", "a.py", "big.py", "big.py", "-o", "out.py",
                                    "--scheduler", cluster.scheduler_address], cwd=tmp_path, env=env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        deadline = time.monotonic() + 60
        while not cluster.scheduler.tasks and time.monotonic() < deadline:
            time.sleep(0.02)
        assert process.poll() is None, "the run ended before its scheduler went away"
    _, err = process.communicate(timeout=60)
    assert process.returncode == 2
    assert re.fullmatch(rf"tersewright: folding on the Dask scheduler at {cluster.scheduler_address} failed: .*\n", err.decode())
    assert sorted(p.name for p in tmp_path.iterdir()) == ["a.py", "big.py"]

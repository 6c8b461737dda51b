"""The command line's outputs and endings: complete writes, no output over an input, signals, usage errors."""

import os
import pty
import re
import resource
import signal
import stat
import subprocess
import sys
import threading
import time
from pathlib import Path

import pytest

import tersewright

PACKAGE_ROOT = str(Path(tersewright.__file__).resolve().parent.parent)
PY = "import os  # why\n\n\n\ndef f():\n    '''Doc.'''\n    return 1   \n"
FOLDED_PY = tersewright.fold(PY, path="a.py").output


def run(*args, stdin=b"", cwd=None, **popen):
    """`python -m tersewright ARGS`, unbuffered so that every write reaches the descriptor as it is made."""
    env = dict(os.environ, PYTHONPATH=PACKAGE_ROOT, PYTHONUNBUFFERED="1")
    popen["input" if isinstance(stdin, bytes) else "stdin"] = stdin
    popen.setdefault("stdout", subprocess.PIPE)
    popen.setdefault("stderr", subprocess.PIPE)
    return subprocess.run([sys.executable, "-m", "tersewright", *args], cwd=cwd, env=env, timeout=120, **popen)


def file_size_limit(limit):
    # The interpreter ignores SIGXFSZ, so a write past the limit is cut short, then fails with EFBIG.
    return lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))


def one_line(done, pattern):
    err = done.stderr.decode()
    assert "Traceback" not in err and len(err.splitlines()) == 1 and re.search(pattern, err), err


def snapshot(root):
    return {p: os.readlink(p) if p.is_symlink() else p.read_bytes() if p.is_file() else None for p in root.rglob("*")}


def big_python(path, functions=60000):
    path.write_text("".join(f"def f{i}(a):  # note {i}\n    '''Doc.'''\n    return a * {i}\n\n" for i in range(functions)))


@pytest.fixture
def work(tmp_path):
    (tmp_path / "src").mkdir()
    (tmp_path / "src" / "a.py").write_text(PY)
    (tmp_path / "src" / "b.py").write_text(PY)
    (tmp_path / "app.py").write_text(PY)
    (tmp_path / "app_link.py").symlink_to("app.py")
    (tmp_path / "big.txt").write_text("a line of text  \n" * 200000)  # 3.4 MB
    return tmp_path


# --------------------------------------------------------------------------- complete writes
# arguments, where standard output goes, the one line expected
SHORT_WRITES = [
    (["fold", "big.txt"], "file", r"^tersewright: cannot write standard output: File too large$"),
    (["fold", "big.txt", "-o", "out.txt"], None, r"^tersewright: cannot write out.txt: File too large$"),
    (["fold", "big.txt", "src", "-o", "out.txt"], None, r"^tersewright: cannot write out.txt: File too large$"),
    (["fold", "big.txt", "src", "--output-dir", "out"], None, r"^tersewright: cannot write out/big.txt: File too large$"),
]


@pytest.mark.parametrize("args,stdout,message", SHORT_WRITES)
def test_a_write_cut_short_fails_in_one_line_and_leaves_no_part(work, args, stdout, message):
    with open(work / "stdout.txt", "wb") as sink:
        done = run(*args, cwd=work, stdout=sink if stdout else subprocess.PIPE, preexec_fn=file_size_limit(1 << 20))
    assert done.returncode == 2
    one_line(done, message)
    assert not (work / "out.txt").exists() and not list(work.rglob(".tersewright-*"))


def test_standard_error_cut_short_is_a_failure(work):
    with open(work / "err.txt", "wb") as err:
        done = run("fold", "--report", "json", "src", "big.txt", cwd=work, stderr=err, preexec_fn=file_size_limit(300))
    assert done.returncode == 2 and (work / "err.txt").stat().st_size <= 300


COMMANDS = [["profiles"], ["profiles", "logs"], ["profiles", "--markdown"], ["detect", "app.py"], ["--version"],
            ["--help"], ["fold", "--help"], ["fold", "app.py"], ["fold", "src"]]


@pytest.mark.parametrize("args", COMMANDS, ids=" ".join)
@pytest.mark.parametrize("sink,message", [("full", "No space left on device"), ("closed", "Bad file descriptor")])
def test_every_command_fails_on_a_full_or_closed_output(work, args, sink, message):
    if sink == "full":
        with open("/dev/full", "wb") as full:
            done = run(*args, cwd=work, stdout=full)
    else:
        done = run(*args, cwd=work, stdout=None, preexec_fn=lambda: os.close(1))
    assert done.returncode == 2
    one_line(done, rf"^tersewright: cannot write standard output: {message}$")


def test_a_reader_that_goes_away_ends_the_run_quietly(work):
    env = dict(os.environ, PYTHONPATH=PACKAGE_ROOT)
    done = subprocess.run(f"{sys.executable} -m tersewright fold big.txt | head -c1", shell=True, cwd=work, env=env,
                          capture_output=True, timeout=120)
    assert (done.stdout, done.stderr) == (b"a", b"")


# --------------------------------------------------------------------------- where -o writes
# arguments that name an input as the output, the one line expected
OVER_INPUTS = [
    (["src", "-o", "src/b.py"], r"^tersewright: refusing to write src/b.py inside src, a tree being folded$"),
    (["src", "-o", "src/new.txt"], r"inside src, a tree being folded$"),
    (["app.py", "-o", "app.py"], r"^tersewright: refusing to overwrite the input app.py with its folded text"),
    (["app_link.py", "src", "-o", "app.py"], r"refusing to overwrite the input app_link.py"),
    (["-", "-o", "app.py"], r"^tersewright: refusing to write app.py: it is the file standard input reads$"),
]


@pytest.mark.parametrize("args,message", OVER_INPUTS)
def test_an_output_that_is_an_input_is_refused(work, args, message):
    before = snapshot(work)
    with open(work / "app.py", "rb") as stdin:
        done = run("fold", *args, cwd=work, stdin=stdin)
    assert done.returncode == 2 and done.stdout == b""
    one_line(done, message)
    assert snapshot(work) == before


def test_in_place_replaces_changed_files_only_keeping_mode_and_links(work):
    (work / "app.py").chmod(0o751)
    (work / "same.py").write_text(FOLDED_PY)
    untouched = (work / "same.py").stat()
    done = run("fold", "--in-place", "app_link.py", "same.py", cwd=work)
    assert (done.returncode, done.stdout, done.stderr) == (0, b"", b"")
    assert (work / "app.py").read_text() == FOLDED_PY and (work / "app_link.py").is_symlink()
    assert stat.S_IMODE((work / "app.py").stat().st_mode) == 0o751
    after = (work / "same.py").stat()
    assert (after.st_ino, after.st_mtime_ns) == (untouched.st_ino, untouched.st_mtime_ns)
    assert not list(work.glob(".tersewright-*"))


@pytest.mark.parametrize("args,message", [
    (["--in-place"], r"--in-place folds files, not standard input"),
    (["--in-place", "-"], r"--in-place folds files, not standard input"),
    (["--in-place", "src"], r"--in-place folds the files it is given, and src is a directory"),
    (["--in-place", "app.py", "-o", "x"], r"not allowed with argument"),
])
def test_in_place_refusals(work, args, message):
    done = run("fold", *args, cwd=work)
    assert done.returncode == 2 and re.search(message, done.stderr.decode().splitlines()[0])
    assert (work / "app.py").read_text() == PY


def test_output_through_a_link_fifo_or_dash_writes_through(work):
    (work / "real.txt").write_text("old\n")
    (work / "to_real").symlink_to("real.txt")
    (work / "to_stdout").symlink_to("/dev/stdout")
    for target in ("to_real", "to_stdout", "-"):
        done = run("fold", "app.py", "-o", target, cwd=work)
        assert done.returncode == 0, done.stderr
        assert done.stdout == (b"" if target == "to_real" else FOLDED_PY.encode())
    assert (work / "real.txt").read_text() == FOLDED_PY
    assert (work / "to_real").is_symlink() and (work / "to_stdout").is_symlink()
    os.mkfifo(work / "pipe")
    received = []
    reader = threading.Thread(target=lambda: received.append((work / "pipe").read_bytes()))
    reader.start()
    done = run("fold", "app.py", "src", "-o", "pipe", cwd=work)
    reader.join(60)
    assert done.returncode == 0 and stat.S_ISFIFO((work / "pipe").stat().st_mode)
    assert received == [run("fold", "app.py", "src", cwd=work).stdout]


# --------------------------------------------------------------------------- signals
def children(pid):
    try:
        return [int(p) for p in Path(f"/proc/{pid}/task/{pid}/children").read_text().split()]
    except OSError:
        return []


def started(args, cwd):
    """A run whose worker has started to fold, and that worker's pid."""
    env = dict(os.environ, PYTHONPATH=PACKAGE_ROOT)
    process = subprocess.Popen([sys.executable, "-m", "tersewright", *args], cwd=cwd, env=env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    deadline = time.monotonic() + 60
    while not children(process.pid) and time.monotonic() < deadline:
        time.sleep(0.02)
    time.sleep(0.5)  # well into the fold of big.py, which takes seconds
    return process, children(process.pid)


# what stops the run, whom it is sent to, exit status, the line expected on standard error
STOPS = [
    (signal.SIGINT, "main", 130, None),
    (signal.SIGTERM, "main", 143, None),
    (signal.SIGHUP, "main", 129, None),
    (signal.SIGTERM, "worker", 2, r"^tersewright: big.py: the worker process folding it was killed by SIGTERM$"),
    (signal.SIGKILL, "worker", 2, r"^tersewright: big.py: the worker process folding it was killed by SIGKILL$"),
]


@pytest.mark.parametrize("signum,target,status,message", STOPS)
@pytest.mark.parametrize("output", [["-o", "out.py"], ["--output-dir", "out"]])
def test_a_signal_stops_a_long_fold_at_once_and_cleans_up(work, signum, target, status, message, output):
    big_python(work / "big.py")
    process, workers = started(["fold", "app.py", "big.py", *output], work)
    assert workers, "no worker process folds"
    sent = time.monotonic()
    os.kill(process.pid if target == "main" else workers[0], signum)
    _, err = process.communicate(timeout=60)
    assert time.monotonic() - sent < 2
    assert process.returncode == status
    if message is None:
        assert err == b""
    else:
        assert re.search(message, err.decode(), re.M), err
    assert not any(Path(f"/proc/{pid}").exists() for pid in workers)
    assert not list(work.rglob(".tersewright-*"))
    # A stopped run writes nothing; a file that failed is left out of a bundle that is still written.
    assert (work / "out.py").exists() == (target == "worker" and output[0] == "-o")


# --------------------------------------------------------------------------- usage errors
USAGE = [
    (["fold", "--budget-bytes", "-1"], r"^tersewright: argument --budget-bytes: must be between 0 and", "fold"),
    (["fold", "--report", "yaml"], r"invalid choice: 'yaml'", "fold"),
    (["fold", "-", "app.py"], r"^tersewright: '-' \(standard input\) cannot be combined with other paths$", "fold"),
    (["profiles", "logs", "--markdown"], r"give no NAME with it$", "profiles"),
    (["detect"], r"the following arguments are required: PATH$", "detect"),
    (["frobnicate"], r"invalid choice: 'frobnicate'", None),
    ([], r"required: COMMAND$", None),
]


@pytest.mark.parametrize("args,message,command", USAGE)
def test_usage_errors_are_one_line_and_a_pointer(work, args, message, command):
    done = run(*args, cwd=work)
    lines = done.stderr.decode().splitlines()
    assert (done.returncode, done.stdout, len(lines)) == (2, b"", 2), lines
    assert re.search(message, lines[0])
    assert lines[1] == f"Try 'tersewright{' ' + command if command else ''} --help' for more information."


def test_fold_without_paths_on_a_terminal_prints_the_usage(work):
    controller, terminal = pty.openpty()
    try:
        done = run("fold", cwd=work, stdin=terminal)
    finally:
        os.close(terminal)
        os.close(controller)
    err = done.stderr.decode()
    assert done.returncode == 2 and err.startswith("usage: tersewright fold ") and "standard input is a terminal" in err


# --------------------------------------------------------------------------- jobs
def test_jobs_are_capped_at_the_cpus_and_keep_the_order(work):
    for i in range(70):
        (work / "src" / f"m{i:02}.py").write_text(PY.replace("f", f"f{i}"))
    one = run("fold", "src", "--report", "json", cwd=work)
    for jobs in ("2", "0"):
        assert run("fold", "src", "--report", "json", "--jobs", jobs, cwd=work).stdout == one.stdout
    for i in range(3):
        big_python(work / "src" / f"z{i}.py", 8000)
    env = dict(os.environ, PYTHONPATH=PACKAGE_ROOT)
    process = subprocess.Popen([sys.executable, "-m", "tersewright", "fold", "src", "--jobs", "4"], cwd=work, env=env,
                               stdout=subprocess.DEVNULL, preexec_fn=lambda: os.sched_setaffinity(0, {min(os.sched_getaffinity(0))}))
    most = 0
    while process.poll() is None:
        most = max(most, len(children(process.pid)))
        time.sleep(0.01)
    assert process.returncode == 0 and most == 1


@pytest.mark.parametrize("lines", [1, 4000, 200000])  # in the main process, and in a worker beyond 64 KiB
def test_standard_input_of_any_size_folds_whole(lines):
    text = "a line of text  \n" * lines
    done = run("fold", "--language", "text", stdin=text.encode())
    assert (done.returncode, done.stdout.decode()) == (0, tersewright.fold(text, language="text").output)


# --------------------------------------------------------------------------- JSON
@pytest.mark.parametrize("content", ['{"a": [1, 2]}\n', '{"a": [1, 2]}', '[1,\n 2]\n\n'])
def test_json_keeps_its_final_line_feed_and_its_report(work, content):
    (work / "d.json").write_text(content)
    expected = tersewright.fold(content, path="d.json")
    for args, stdin in ((["d.json"], b""), (["--language", "json"], content.encode())):
        done = run("fold", "--report", "json", *args, stdin=stdin, cwd=work)
        assert done.stdout.decode() == expected.output + ("\n" if content.endswith("\n") else "")
        assert done.stderr.decode() == expected.report.to_json() + "\n"

"""The command line's walk of trees, its handling of bad inputs and what it says, run as `python -m tersewright`."""

import os
import re
import subprocess
import sys
from pathlib import Path

import pytest

import tersewright
from conftest import run_cli

PACKAGE_ROOT = str(Path(tersewright.__file__).resolve().parent.parent)
PY = "import os  # why\n\n\n\ndef f():\n    '''Doc.'''\n    return os.sep\n"
SUMMARY = re.compile(r"^tersewright: (\d+) files? folded, (\d+) skipped, (\d+) failed, \d+ bytes in, ")


run = run_cli


def headers(done):
    return re.findall(r"^==> (.*) <==$", done.stdout.decode(), re.M)


def make(root, files):
    """Files from a {relative path: content} table; None makes a directory."""
    for name, content in files.items():
        path = root / name
        path.parent.mkdir(parents=True, exist_ok=True)
        if content is None:
            path.mkdir(exist_ok=True)
        else:
            path.write_bytes(content if isinstance(content, bytes) else content.encode())
    return root


# --------------------------------------------------------------------------- ignore files against git
GIT_TREE = {
    ".gitignore": "*.log\n!keep.log\nbuild/\n/top.txt\ndoc/**/draft.md\n\\#lit\ntrail\\ \n"
                  "[[:digit:]]*.tmp\nx[![:alpha:]]y\n[[:punct:]]p\n",
    "1.tmp": "", "a.tmp": "", "x1y": "", "xay": "", "!p": "", "ap": "",
    "a.log": "", "keep.log": "", "top.txt": "", "sub/top.txt": "", "build/out.txt": "", "sub/build": "",
    "doc/draft.md": "", "doc/x/y/draft.md": "", "#lit": "", "trail ": "", "trail": "", "secret.txt": "",
    "sub/secret.txt": "", "sub/x.log": "",
    # a nested file takes back what its parent leaves out, and leaves out more
    "nested/.gitignore": "!*.log\nlocal.txt\n", "nested/n.log": "", "nested/local.txt": "", "nested/ok.txt": "",
    "dironly/.gitignore": "d/\n", "dironly/d/f.txt": "", "dironly/e/d": "",
    "neg/.gitignore": "*\n!*/\n!*.py\n", "neg/a.py": "", "neg/a.txt": "", "neg/deep/b.py": "", "neg/deep/b.txt": "",
    # a file under an ignored directory cannot be taken back
    "reinc/.gitignore": "skip/\n!skip/keep.txt\n", "reinc/skip/keep.txt": "", "reinc/other.txt": "",
}


@pytest.fixture
def repository(tmp_path):
    (tmp_path / ".gitignore").write_text("*\n")  # above the repository: no rule of it applies
    root = make(tmp_path / "repo", GIT_TREE)
    subprocess.run(["git", "init", "-q", str(root)], check=True)
    (root / ".git" / "info").mkdir(exist_ok=True)
    (root / ".git" / "info" / "exclude").write_text("secret.txt\n")
    return root


def git_ignored(root, paths):
    quiet = dict(os.environ, GIT_CONFIG_GLOBAL=os.devnull, GIT_CONFIG_NOSYSTEM="1", XDG_CONFIG_HOME=str(root / ".git"))
    done = subprocess.run(["git", "check-ignore", "--stdin", "-z"], cwd=root, env=quiet, capture_output=True,
                          input="\0".join(paths).encode())
    return set(filter(None, done.stdout.decode().split("\0")))


@pytest.mark.parametrize("walked", [".", "sub", "nested"])
def test_ignore_files_agree_with_git(repository, walked):
    every = sorted(str(p.relative_to(repository)) for p in repository.rglob("*")
                   if p.is_file() and ".git" not in p.relative_to(repository).parts)
    under = [path for path in every if walked == "." or path.startswith(walked + "/")]
    expected = sorted(set(under) - git_ignored(repository, under))
    done = run("fold", "--hidden", "-q", walked, cwd=repository)
    assert (done.returncode, done.stderr) == (0, b"")
    # bundle headers name each file relative to the folder walked
    assert sorted(headers(done)) == [path if walked == "." else path[len(walked) + 1:] for path in expected]
    if walked == ".":  # git's verdicts are the interesting ones, not a tree where everything is kept
        assert {"keep.log", "sub/top.txt", "nested/n.log", "neg/deep/b.py", "trail", "dironly/e/d", "a.tmp", "xay",
                "ap"} <= set(expected)
        assert not {"a.log", "top.txt", "secret.txt", "sub/secret.txt", "#lit", "trail ", "nested/local.txt", "1.tmp",
                    "x1y", "!p",
                    "reinc/skip/keep.txt", "doc/x/y/draft.md", "dironly/d/f.txt", "neg/a.txt"} & set(expected)


# --------------------------------------------------------------------------- walk options
WALK_TREE = {
    ".gitignore": "ign.txt\nigndir/\n", ".ignore": "plain.txt\n", "ign.txt": "i\n", "plain.txt": "p\n",
    "igndir/f.txt": "f\n", ".hidden.txt": "h\n", ".hdir/f.txt": "f\n", ".git/config": "[core]\n",
    "a.py": "x = 1\n", "b.txt": "b\n", "big.txt": "x\n" * 1000, "sub/c.py": "y = 2\n",
}
PLAIN = ["a.py", "b.txt", "big.txt", "sub/c.py"]
WALKS = [
    ([], PLAIN),
    (["--no-ignore"], ["a.py", "b.txt", "big.txt", "ign.txt", "igndir/f.txt", "plain.txt", "sub/c.py"]),
    (["--hidden"], [".gitignore", ".hdir/f.txt", ".hidden.txt", ".ignore", *PLAIN]),
    (["-g", "*.py"], ["a.py", "sub/c.py"]),
    (["--glob", "!*.py"], ["b.txt", "big.txt"]),
    (["-g", "*.py", "-g", "!sub/"], ["a.py"]),
    (["-g", "!*.py", "-g", "sub/*.py"], ["sub/c.py"]),  # the later glob wins
    # a glob overrides the ignore files and the hidden rule (not inside ignored directories)
    (["-g", "*.txt"], [".hidden.txt", "b.txt", "big.txt", "ign.txt", "plain.txt"]),
    (["--max-filesize", "1K"], ["a.py", "b.txt", "sub/c.py"]),
    (["--max-filesize", "2000"], PLAIN),
]


@pytest.mark.parametrize("args,folded", WALKS, ids=[" ".join(row[0]) or "default" for row in WALKS])
def test_walk_options(tmp_path, args, folded):
    make(tmp_path, WALK_TREE)
    done = run("fold", ".", "-q", *args, cwd=tmp_path)
    assert (done.returncode, done.stderr) == (0, b"")
    assert headers(done) == folded


def test_named_paths_are_always_taken(tmp_path):
    make(tmp_path, WALK_TREE)
    done = run("fold", "ign.txt", ".hdir", "igndir", "big.txt", "--max-filesize", "2", "-g", "!big.txt", cwd=tmp_path)
    assert done.returncode == 0
    assert headers(done) == ["ign.txt", ".hdir/f.txt", "igndir/f.txt", "big.txt"]


@pytest.mark.parametrize("paths,written", [
    (["src", "tests"], ["src/a.py", "src/deep/b.py", "tests/t.py"]),
    (["src/", "top.py"], ["src/a.py", "src/deep/b.py", "top.py"]),
    (["src/deep"], ["deep/b.py"]),
    (["."], ["src/a.py", "src/deep/b.py", "tests/t.py", "top.py"]),
    (["src/.."], ["src/a.py", "src/deep/b.py", "tests/t.py", "top.py"]),
])
def test_output_dir_keeps_directory_names(tmp_path, paths, written):
    make(tmp_path, {"src/a.py": PY, "src/deep/b.py": PY, "tests/t.py": PY, "top.py": PY})
    done = run("fold", *paths, "--output-dir", str(tmp_path / "out"), cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    out = tmp_path / "out"
    assert sorted(str(p.relative_to(out)) for p in out.rglob("*") if p.is_file()) == written


# --------------------------------------------------------------------------- bad inputs
def test_bad_files_are_reported_and_the_rest_folded(tmp_path):
    make(tmp_path, {"a.py": PY, "bad.txt": b"caf\xe9\n", "bin.dat": b"\0\1", "z.txt": "z  \n", "out/o.txt": "o\n"})
    for name, target in [("broken", "nowhere"), ("loop1", "loop2"), ("loop2", "loop1"), ("up", "."),
                         ("out/link", "../../elsewhere")]:
        (tmp_path / name).symlink_to(target)
    failures = ["tersewright: bad.txt: not UTF-8 text", "tersewright: broken: broken symbolic link",
                "tersewright: loop1: symbolic link loop", "tersewright: loop2: symbolic link loop",
                "tersewright: up: symbolic link loop"]
    summary = "tersewright: 3 files folded, 2 skipped, 5 failed, "
    levels = [
        (["-q"], failures),
        ([], failures + [summary]),
        (["-v"], ["tersewright: a.py: python, ", failures[0], "tersewright: bin.dat: skipped (binary file)",
                  *failures[1:4], "tersewright: out/link: skipped (symbolic link leads out of .)",
                  "tersewright: out/o.txt: text, 2 -> 2 bytes, profile safe, output 2 bytes is over the budget of 1",
                  failures[4], "tersewright: z.txt: text, 4 -> 2 bytes, profile safe", summary]),
    ]
    for level, lines in levels:
        done = run("fold", ".", *level, "--budget-bytes", "1", "--fail-over-budget", cwd=tmp_path)
        assert done.returncode == 2  # a failure outweighs a missed budget
        said = done.stderr.decode().splitlines()
        assert len(said) == len(lines) and all(line.startswith(start) for line, start in zip(said, lines)), said
        assert headers(done) == ["a.py", "out/o.txt", "z.txt"]


def test_named_path_that_fails_does_not_stop_the_others(tmp_path):
    make(tmp_path, {"a.py": PY, "dir/b.py": PY})
    done = run("fold", "missing.py", "a.py", "dir", cwd=tmp_path)
    assert done.returncode == 2
    assert headers(done) == ["a.py", "dir/b.py"]
    lines = done.stderr.decode().splitlines()
    assert lines[0] == "tersewright: missing.py: No such file or directory"
    assert SUMMARY.match(lines[1]).groups() == ("2", "0", "1")
    detect = run("detect", "missing.py", "a.py", cwd=tmp_path)
    assert (detect.returncode, detect.stdout) == (2, b"a.py\tpython\n")


def unreadable(path):
    path.chmod(0)
    if os.access(path, os.R_OK):
        pytest.skip("this user reads files whatever their mode")


@pytest.mark.parametrize("name", ["locked.py", "locked_dir"])
def test_unreadable_file_or_directory(tmp_path, name):
    make(tmp_path, {"a.py": PY, "locked.py": PY, "locked_dir/b.py": PY, "z.py": PY})
    try:
        unreadable(tmp_path / name)
        done = run("fold", ".", cwd=tmp_path)
        alone = run("fold", name, cwd=tmp_path)
    finally:
        (tmp_path / name).chmod(0o755)
    assert done.returncode == 2 and len(headers(done)) == 3
    assert done.stderr.decode().splitlines()[0] == f"tersewright: {name}: Permission denied"
    if name == "locked.py":
        assert (alone.returncode, alone.stderr) == (2, b"tersewright: locked.py: Permission denied\n")


def test_file_deleted_while_the_run_reads(tmp_path):
    make(tmp_path, {"first/a.py": PY, "later/gone.py": PY, "later/kept.py": PY})
    os.mkfifo(tmp_path / "pipe")
    # The run has walked every tree by the time it opens the pipe, named between the two directories.
    process = subprocess.Popen([sys.executable, "-m", "tersewright", "fold", "first", "pipe", "later"], cwd=tmp_path,
                               env=dict(os.environ, PYTHONPATH=PACKAGE_ROOT), stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    with open(tmp_path / "pipe", "w") as pipe:
        (tmp_path / "later" / "gone.py").unlink()
        pipe.write("piped  \n")
    out, err = process.communicate(timeout=120)
    assert process.returncode == 2
    assert re.findall(r"^==> (.*) <==$", out.decode(), re.M) == ["first/a.py", "pipe", "later/kept.py"]
    assert err.decode().splitlines()[0] == "tersewright: later/gone.py: No such file or directory"


# Another process appends to grow.py while the run reads it: the first read of that file writes more to it.
GROWING = """
import os, runpy, sys
real_read, grown, appended = os.read, os.stat("grow.py").st_ino, []
def read(fd, size):
    if os.fstat(fd).st_ino == grown and not appended:
        with open("grow.py", "a") as other:
            appended.append(other.write("more = 1\\n"))
    return real_read(fd, size)
os.read = read
sys.argv = ["tersewright", "fold", ".", "--jobs", "1"]
runpy.run_module("tersewright", run_name="__main__")
"""


def test_file_changed_while_being_read(tmp_path):
    make(tmp_path, {"a.py": PY, "grow.py": PY})
    done = run(python=("-c", GROWING), cwd=tmp_path)
    assert done.returncode == 2
    assert headers(done) == ["a.py"]
    assert done.stderr.decode().splitlines()[0] == "tersewright: grow.py: changed while being read"


# --------------------------------------------------------------------------- names
NAMES = [
    (b"plain \"q\\.py", b'plain "q\\.py'),
    ("caf\u00e9.py".encode(), "caf\u00e9.py".encode()),
    (b"new\nline.py", b'"new\\nline.py"'),
    (b"tab\there.py", b'"tab\\there.py"'),
    (b"esc\x1b[31m.py", b'"esc\\x1b[31m.py"'),
    (b"bad\xe9.py", b'"bad\\xe9.py"'),
    (b'"q.py', b'"\\"q.py"'),
]


@pytest.mark.parametrize("name,shown", NAMES, ids=[repr(row[0]) for row in NAMES])
def test_names_never_break_a_line(tmp_path, name, shown):
    (tmp_path / "d").mkdir()
    (tmp_path / "d" / os.fsdecode(name)).write_text("x = 1  # c\n")
    (tmp_path / "e").mkdir()
    (tmp_path / "e" / os.fsdecode(name)).write_bytes(b"\xff\n")
    bundle = run("fold", ".", cwd=tmp_path / "d")
    assert bundle.stdout == b"==> " + shown + b" <==\nx = 1\n"
    detect = run("detect", ".", cwd=tmp_path / "d")
    assert detect.stdout == shown + b"\tpython\n"
    failed = run("fold", ".", cwd=tmp_path / "e")
    assert failed.stderr.splitlines()[0] == b"tersewright: " + shown + b": not UTF-8 text"


# --------------------------------------------------------------------------- what a run says
# files, arguments, extra environment, terminal(s), whether a progress bar is drawn
PROGRESS = [
    (9, [], {}, "stderr", True),
    (8, [], {}, "stderr", False),
    (9, ["-q"], {}, "stderr", False),
    (9, [], {"TERM": "dumb"}, "stderr", False),
    (9, [], {}, "both", False),
]


@pytest.mark.parametrize("count,args,env,tty,drawn", PROGRESS)
def test_progress_bar_only_where_it_helps(tmp_path, count, args, env, tty, drawn):
    for i in range(count):
        (tmp_path / f"f{i}.txt").write_text("x  \n")
    done = run("fold", ".", *args, cwd=tmp_path, env=env, tty=tty)
    assert done.returncode == 0
    assert (f"] {count}/{count} f{count - 1}.txt".encode() in done.stderr) == drawn
    assert (b"\x1b[K" in done.stderr) == drawn


# arguments, standard input, exit status, standard error
SINGLE = [
    (["f.txt", "--budget-bytes", "3"], b"", 0, "tersewright: f.txt: output 4 bytes is over the budget of 3\n"),
    (["f.txt", "--budget-chars", "2", "--fail-over-budget"], b"", 1,
     "tersewright: f.txt: output 4 characters is over the budget of 2\n"),
    (["f.txt", "--budget-bytes", "3", "--fail-over-budget", "-q"], b"", 1, ""),
    (["-", "--budget-bytes", "3"], b"abcd", 0, "tersewright: standard input: output 4 bytes is over the budget of 3\n"),
    (["f.txt", "-v"], b"", 0, "tersewright: f.txt: text, 4 -> 4 bytes, profile safe\n"),
]


@pytest.mark.parametrize("args,stdin,status,said", SINGLE)
def test_single_input_over_budget(tmp_path, args, stdin, status, said):
    (tmp_path / "f.txt").write_text("abcd")
    done = run("fold", "--language", "text", *args, stdin=stdin, cwd=tmp_path)
    assert (done.returncode, done.stdout, done.stderr.decode()) == (status, b"abcd", said)


HINT = "tersewright: standard input: {}; if it is source code, name its language with --language\n"
LOG = "2024-05-01 10:00:00 INFO started\n" * 5
STDIN_HINTS = [
    (PY, [], HINT.format("no language detected")),
    (LOG, [], HINT.format("detected as log")),
    ("x = 1\ny = 2\nz = 3\n", [], ""),
    (PY, ["--language", "python"], ""),
    (PY, ["-q"], ""),
]


@pytest.mark.parametrize("stdin,args,said", STDIN_HINTS)
def test_standard_input_without_a_language(stdin, args, said):
    done = run("fold", *args, stdin=stdin.encode())
    assert (done.returncode, done.stderr.decode()) == (0, said)

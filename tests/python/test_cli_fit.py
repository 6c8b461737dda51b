"""`tersewright fold --fit`, bundle styles and --tree, run as `python -m tersewright` and checked against tersewright.fit."""

import json
import os
import re
import signal
import subprocess
import sys
import time
from pathlib import Path

import pytest

import tersewright
from conftest import run_cli
from tersewright.bundle import STYLES, directory_tree, split_bundle
from tersewright.cli.sources import WalkOptions

PACKAGE_ROOT = str(Path(tersewright.__file__).resolve().parent.parent)
PY = "import os  # type: ignore\n# why this module exists\n\n\n\ndef area(w, h):\n    '''Area.'''\n    return w * h\n"
FILES = {
    "src/app.py": PY,
    "src/util/helpers.py": PY.replace("area", "volume") * 3,
    "docs/guide.md": "# Guide\n\nSame line.\nSame line.\nSame line.\n\n\n\n```\ncode\n```\n",
    "logs/run.log": "2024-05-01 10:00:00 INFO started\n" + "2024-05-01 10:00:01 WARN retrying the connection\n" * 6,
    "data.json": '{"a": [1, 2,   3]}\n',
    "notes.txt": "plain text  \nno final newline",
    ".hidden.txt": "hidden\n",
    "ignored.txt": "ignored\n",
    ".gitignore": "ignored.txt\n",
}
TOKENIZER = '''
class Words:
    name = "words"

    def count(self, text):
        return len(text.split())


words = Words()


def make():
    return Words()


class NoCount:
    pass


def broken_factory():
    raise RuntimeError("no vocabulary")


class Raising(Words):
    def count(self, text):
        raise KeyError("token")
'''


class Words:
    name = "words"

    def count(self, text):
        return len(text.split())


run = run_cli


def make(root, files):
    for name, content in files.items():
        path = root / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(content if isinstance(content, bytes) else content.encode())
    return root


@pytest.fixture
def work(tmp_path):
    make(tmp_path / "proj", FILES)
    (tmp_path / "tok.py").write_text(TOKENIZER)
    (tmp_path / "failing.py").write_text("raise ImportError('needs a vocabulary file')\n")
    return tmp_path


# --------------------------------------------------------------------------- the same bundle as tersewright.fit
# command-line arguments, tersewright.fit's keywords, the limit as a share of the unfolded bundle
WORDS = {"metric": "tokens", "tokenizer": Words()}
BYTES = {"metric": "bytes"}
RUNS = [
    ([], BYTES, 2.0),
    ([], BYTES, 0.7),
    ([], BYTES, 0.0),  # not even leaving out every file meets it: status 1, the smallest bundle
    (["--metric", "characters"], {"metric": "characters"}, 0.5),
    (["--tokenizer", "tok:Words"], WORDS, 0.5),
    (["--tokenizer", "tok:words", "--metric", "tokens", "--style", "markdown", "--tree"], {**WORDS, "style": "markdown", "tree": True}, 0.4),
    (["--tokenizer", "tok:make", "--style", "json"], {**WORDS, "style": "json"}, 0.6),
    (["--keep", "*.py"], {**BYTES, "keep": ["*.py"]}, 0.3),
    (["--keep", "docs/", "--keep", "logs/run.log", "--style", "xml"], {**BYTES, "keep": ["docs/", "logs/run.log"], "style": "xml"}, 0.3),
    (["--strip-directives", "--tree"], {**BYTES, "keep_directives": False, "tree": True}, 0.6),
    (["--protect-marker", "why", "--style", "json"], {**BYTES, "protected_line_markers": ["why"], "style": "json"}, 0.6),
]  # fmt: skip


@pytest.mark.parametrize("args,options,share", RUNS, ids=[" ".join(r[0]) + f" {r[2]}" for r in RUNS])
def test_fit_runs_give_tersewright_fit_bundle_and_status(work, args, options, share):
    options = {"keep_directives": True, **options}
    top = tersewright.fit([work / "proj"], 10**9, **options).size
    expected = tersewright.fit([str(work / "proj")], int(top * share), **options)
    done = run("fold", "proj", "--fit", str(int(top * share)), *args, cwd=work)
    assert done.stdout == expected.text.encode()
    assert done.returncode == (0 if expected.met else 1), done.stderr
    said = done.stderr.decode()
    assert said == f"tersewright: fit 6 files ({', '.join(f'{n} {r}' for r, n in expected.rungs().items())}), 0 skipped," \
                   f" 0 failed: bundle {expected.size} of {expected.limit} {options['metric']}" \
                   f"{' (tokenizer words)' if options['metric'] == 'tokens' else ''}, limit {'met' if expected.met else 'NOT met'}\n"  # fmt: skip
    style = options.get("style", "plain")
    assert split_bundle(done.stdout.decode(), style) == [(e.path, e.text) for e in expected.plan]
    if options.get("tree"):
        head = done.stdout.decode().split("\n```text\n" if style == "markdown" else "\n", 1)[1]
        assert head.startswith(directory_tree([e.path for e in expected.plan]))
    parallel = run("fold", "proj", "--fit", str(int(top * share)), *args, "--jobs", "2", cwd=work)
    assert (parallel.returncode, parallel.stdout, parallel.stderr) == (done.returncode, done.stdout, done.stderr)
    app = dict(split_bundle(done.stdout.decode(), style)).get("src/app.py")
    if next(e.profile for e in expected.plan if e.path == "src/app.py") in ("safe", "budgeted") and "--protect-marker" not in args:
        assert ("# type: ignore" in app) == ("--strip-directives" not in args)  # comments go, directives stay


def test_fit_to_a_file_and_what_each_verbosity_says(work):
    make(work / "proj", {"bin.dat": b"\0\1"})
    limit = tersewright.fit([work / "proj"], 10**9, metric="bytes", keep_directives=True).size // 2
    expected = tersewright.fit([work / "proj"], limit, metric="bytes", keep_directives=True)
    said = {level: run("fold", "proj", "--fit", str(limit), "-o", "out.txt", *level, cwd=work) for level in [(), ("-q",), ("-v",)]}
    assert {done.returncode for done in said.values()} == {0} and (work / "out.txt").read_text() == expected.text
    assert not list(work.glob(".tersewright-*"))
    summary = said[()].stderr.decode()
    assert said[("-q",)].stderr == b"" and summary.startswith("tersewright: fit 6 files (") and summary.count("\n") == 1
    table = said[("-v",)].stderr.decode().splitlines()
    assert table[0] == "tersewright: proj/bin.dat: skipped (binary file)" and table[-1] + "\n" == summary
    assert re.match(r"file +profile +before \(bytes\) +after \(bytes\) +lossy +omitted$", table[1])
    rows = [line.split() for line in table[2:-2]]
    assert rows == [[e.path, e.profile, str(e.before), str(e.after), "yes" if e.lossy else "no", "yes" if e.omitted else "no"]
                    for e in expected.plan]  # fmt: skip
    assert table[-2].split() == ["total", str(sum(e.before for e in expected.plan)), str(sum(e.after for e in expected.plan))]


# the walk options, as tersewright.fit takes them
WALKS = [
    (["--hidden"], WalkOptions(hidden=True)),
    (["--no-ignore", "-g", "*.txt"], WalkOptions(ignore_files=False, globs=("*.txt",))),
    (["--max-filesize", "100"], WalkOptions(max_filesize=100)),
]


@pytest.mark.parametrize("args,walk", WALKS)
def test_walk_options_choose_the_files_fitted(work, args, walk):
    done = run("fold", "proj", "--fit", "100000", *args, cwd=work)
    expected = tersewright.fit([work / "proj"], 100000, metric="bytes", keep_directives=True, walk=walk)
    assert (done.returncode, done.stdout.decode()) == (0, expected.text)
    folded = run("fold", "proj", *args, cwd=work)  # the same files as a fold without --fit takes
    assert [path for path, _ in split_bundle(folded.stdout.decode(), "plain")] == [e.path for e in expected.plan]


def test_bad_inputs_are_reported_and_the_others_fitted(work):
    make(work / "proj", {"latin.txt": b"caf\xe9\n"})
    done = run("fold", "missing.py", "proj", "--fit", "100000", cwd=work)
    assert done.returncode == 2
    lines = done.stderr.decode().splitlines()
    assert lines[:2] == ["tersewright: missing.py: No such file or directory", "tersewright: proj/latin.txt: not UTF-8 text"]
    assert lines[2].startswith("tersewright: fit 6 files (") and ", 0 skipped, 2 failed: " in lines[2]
    assert [path for path, _ in split_bundle(done.stdout.decode(), "plain")][0] == "data.json"


# --------------------------------------------------------------------------- refusals and the tokenizer
# arguments, standard input, the first line on standard error; each is status 2 and writes nothing
REFUSED = [
    (["proj", "--fit", "10", "--output-dir", "out"], b"", r"^tersewright: --fit writes one bundle; it cannot go with --output-dir$"),
    (["proj/src/app.py", "--fit", "10", "--in-place"], b"", r"it cannot go with --in-place$"),
    (["proj", "--fit", "10", "--scheduler", "local:1"], b"", r"it cannot go with --scheduler$"),
    (["proj", "--fit", "10", "--profile", "safe"], b"", r"^tersewright: --fit chooses the fold of each file; it cannot go with --profile$"),
    (["proj", "--fit", "10", "--budget-bytes", "5"], b"", r"it cannot go with --budget-bytes$"),
    (["proj", "--metric", "bytes"], b"", r"^tersewright: --metric goes with --fit N$"),
    (["proj", "--keep", "*.py"], b"", r"^tersewright: --keep goes with --fit N$"),
    (["proj", "--fit", "10", "--metric", "tokens"], b"", r"^tersewright: --metric tokens needs --tokenizer MODULE:ATTR"),
    (["proj", "--fit", "10", "--tokenizer", "tok:Words", "--metric", "bytes"], b"", r"cannot go with --metric bytes$"),
    (["proj", "--fit", "-1"], b"", r"argument --fit: must be between 0 and"),
    (["--fit", "10"], b"x = 1\n", r"^tersewright: --fit needs files or directories, not standard input$"),
    (["proj", "--style", "markdown", "--output-dir", "out"], b"", r"--style and --tree shape a bundle; --output-dir writes"),
    (["--tree"], b"x\n", r"^tersewright: --style and --tree shape a bundle of files, not standard input$"),
    (["proj", "--style", "html"], b"", r"invalid choice: 'html'"),
    (["proj", "--fit", "10", "--tokenizer", "nomodule:Words"], b"", r"^tersewright: --tokenizer nomodule:Words: no module named 'nomodule'$"),
    (["proj", "--fit", "10", "--tokenizer", "tok:Missing"], b"", r"^tersewright: --tokenizer tok:Missing: tok has no attribute 'Missing'$"),
    (["proj", "--fit", "10", "--tokenizer", "tok"], b"", r"^tersewright: --tokenizer takes MODULE:ATTR"),
    (["proj", "--fit", "10", "--tokenizer", "tok:NoCount"], b"", r"NoCount object has no count\(text\) method$"),
    (["proj", "--fit", "10", "--tokenizer", "tok:broken_factory"], b"", r"calling broken_factory\(\) failed: RuntimeError: no vocabulary$"),
    (["proj", "--fit", "10", "--tokenizer", "failing:Words"], b"", r"importing failing failed: ImportError: needs a vocabulary file$"),
    (["proj", "--fit", "10", "--tokenizer", "tok:Raising"], b"", r"^tersewright: the tokenizer tok:Raising failed: KeyError: 'token'$"),
    (["proj", "--fit", "10", "--tokenizer", "tok:Raising", "--jobs", "2"], b"", r"^tersewright: the tokenizer tok:Raising failed: KeyError: 'token'$"),
    (["proj", "--fit", "10", "-o", "nowhere/out.txt"], b"", r"^tersewright: cannot write nowhere/out.txt: No such file or directory$"),
]  # fmt: skip


@pytest.mark.parametrize("args,stdin,message", REFUSED, ids=[" ".join(r[0]) for r in REFUSED])
def test_refusals_and_tokenizer_errors_are_one_line(work, args, stdin, message):
    before = sorted(work.rglob("*"))
    done = run("fold", *args, stdin=stdin, cwd=work)
    err = done.stderr.decode()
    assert (done.returncode, done.stdout) == (2, b"") and "Traceback" not in err, err
    assert re.search(message, err.splitlines()[0]), err
    assert len(err.splitlines()) == (2 if "Try 'tersewright fold --help'" in err else 1)
    assert sorted(p for p in work.rglob("*") if "__pycache__" not in p.parts) == before


def test_a_tokenizer_beside_the_project_is_found_without_python_m(work):
    # -P leaves the current directory off the module path, as an installed console script does.
    done = run("fold", "proj", "--fit", "10000", "--tokenizer", "tok:Words", cwd=work, python=("-P", "-m", "tersewright"))
    assert done.returncode == 0, done.stderr
    assert done.stdout.decode().startswith("=== tersewright fit: 6 files in a limit of 10000 tokens (tokenizer words), limit met;")


def test_workers_left_idle_while_one_file_is_slow_get_work_again(tmp_path):
    # The slow file ends the first worker's share: the other worker runs as far ahead as it may and
    # waits; once the slow file's result is taken, the run must hand out work again, not wait for a reply.
    make(tmp_path, {f"f{i:03}.py": "x = 1  # c\n" for i in range(300)})
    (tmp_path / "f030b_slow.py").write_text("".join(f"def f{i}(a):  # {i}\n    return a\n\n" for i in range(20000)))
    for args in ([], ["--fit", "10000000"]):
        one = run("fold", ".", "-q", *args, cwd=tmp_path)
        two = run("fold", ".", "-q", "--jobs", "2", *args, cwd=tmp_path, timeout=60)
        assert (two.returncode, two.stdout) == (0, one.stdout), two.stderr


def test_a_signal_stops_a_long_fit_and_writes_nothing(work):
    (work / "big.py").write_text("".join(f"def f{i}(a):  # note {i}\n    '''Doc.'''\n    return a\n\n" for i in range(60000)))
    process = subprocess.Popen([sys.executable, "-m", "tersewright", "fold", "big.py", "--fit", "1000", "-o", "out.txt"],
                               cwd=work, env=dict(os.environ, PYTHONPATH=PACKAGE_ROOT), stderr=subprocess.PIPE)  # fmt: skip
    time.sleep(1.5)  # into the folds of big.py, which take seconds
    sent = time.monotonic()
    process.send_signal(signal.SIGTERM)
    _, err = process.communicate(timeout=60)
    assert (process.returncode, err) == (143, b"") and time.monotonic() - sent < 2
    assert not (work / "out.txt").exists() and not list(work.glob(".tersewright-*"))


# --------------------------------------------------------------------------- bundles without --fit
def folded(path, content):
    text = tersewright.fold(content, path=path, protected_line_markers=tersewright.DIRECTIVE_MARKERS).output
    return text + "\n" if path.endswith(".json") and not text.endswith("\n") else text


@pytest.mark.parametrize("style", STYLES)
@pytest.mark.parametrize("named,labels", [
    (["proj"], ["data.json", "docs/guide.md", "logs/run.log", "notes.txt", "src/app.py", "src/util/helpers.py"]),
    (["proj/src", "proj/docs/guide.md"], ["src/app.py", "src/util/helpers.py", "docs/guide.md"]),
    (["proj/src/app.py"], ["app.py"]),  # a bundle of one file, since a style was asked for
])  # fmt: skip
def test_every_style_of_fold_splits_back_with_paths_under_the_named_folder(work, style, named, labels):
    done = run("fold", *named, "--style", style, cwd=work)
    assert done.returncode == 0, done.stderr
    texts = [folded(label, FILES[next(k for k in FILES if k.endswith(label))]) for label in labels]
    assert split_bundle(done.stdout.decode(), style) == list(zip(labels, texts))
    if style == "json":  # each file with its report
        reports = [f["report"] for f in json.loads(done.stdout)["files"]]
        assert [r["input"]["bytes"] for r in reports] == [len(FILES[next(k for k in FILES if k.endswith(label))].encode()) for label in labels]


def test_absolute_paths_and_the_tree(work):
    done = run("fold", str(work / "proj" / "src"), "--tree", cwd=work)
    assert done.stdout.decode().startswith("├── app.py\n└── util/\n    └── helpers.py\n==> app.py <==\n")
    assert [path for path, _ in split_bundle(done.stdout.decode(), "plain")] == ["app.py", "util/helpers.py"]

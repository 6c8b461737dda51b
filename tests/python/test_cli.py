"""The cli package, section by section, run as `python -m tersewright` and checked against the Python API."""

import json
import os
import re
from pathlib import Path

import pytest

import tersewright
from conftest import run_cli

PACKAGE_ROOT = str(Path(tersewright.__file__).resolve().parent.parent)

LOG = "2024-05-01 10:00:00 INFO started\n" + "2024-05-01 10:00:01 WARN retry  \n" * 3 + "\n\n\n"
TEXT = "alpha  \nbeta tersewright:keep  \ngamma FOO  \ndelta # noqa  \n\n\n\nend\n"
PY = "import os  # why\n# type: ignore\nx = 1   # trailing\n\n\n\ndef f():\n    '''Doc.'''\n    return x\n"


def cli_fold(content, **options):
    """The fold the command line makes by default: directives kept."""
    return tersewright.fold(content, protected_line_markers=tersewright.DIRECTIVE_MARKERS, **options)


def run(*args, stdin=b"", cwd=None, stderr_tty=False):
    return run_cli(*args, stdin=stdin, cwd=cwd, tty="stderr" if stderr_tty else None)


@pytest.fixture
def tree(tmp_path):
    """A small tree with every kind of entry the walk must treat specially."""
    root = tmp_path / "proj"
    (root / "a").mkdir(parents=True)
    (root / ".git").mkdir()
    (root / ".git" / "config").write_text("[core]\n")
    (root / "a" / "y.log").write_text(LOG)
    (root / "a" / "z.py").write_text(PY)
    (root / "b.txt").write_text("no final newline  ")
    (root / "bin.dat").write_bytes(b"\x00\x01binary")
    (tmp_path / "bad.txt").write_bytes(b"caf\xe9\n")
    (tmp_path / "outside.txt").write_text("outside\n")
    (tmp_path / "y.log").write_text("another log\n")
    (root / "link_in").symlink_to("a/z.py")
    (root / "link_out").symlink_to("../outside.txt")
    return tmp_path


# --------------------------------------------------------------------------- commands
# cli arguments, the keyword arguments of tersewright.fold that must give the same fold, content
KEPT = tersewright.DIRECTIVE_MARKERS  # what the command line protects by default
CGO = "package p\n\n// #include <stdio.h>\nimport \"C\"\n\n// gone\nfunc f() {}\n"
SAME_AS_PYTHON = [
    ([], {"protected_line_markers": KEPT}, PY),
    (["--keep-directives"], {"protected_line_markers": KEPT}, PY),
    (["--strip-directives"], {}, PY),
    (["--language", "py", "--strip-directives"], {"language": "py"}, PY),
    (["--profile", "code-review", "--language", "python", "--strip-directives"], {"profile": "code-review", "language": "python"}, PY),
    (["--profile", "budgeted", "--language", "python"], {"profile": "budgeted", "language": "python", "protected_line_markers": KEPT}, PY),
    (["--language", "golang"], {"language": "go", "protected_line_markers": KEPT, "protected_ranges": [(11, 32)]}, CGO),
    (["--language", "go", "--strip-directives"], {"language": "go"}, CGO),
    (["--profile", "logs", "--strip-directives"], {"profile": "logs"}, LOG),
    (["--profile", "logs", "--no-allow-lossy", "--strip-directives"], {"profile": "logs", "allow_lossy": False}, LOG),
    (["--profile", "safe", "--allow-lossy", "--language", "log", "--strip-directives"], {"allow_lossy": True, "language": "log"}, LOG),
    (["--language", "text", "--budget-bytes", "12", "--strip-directives"], {"language": "text", "budget_bytes": 12}, TEXT),
    (["--language", "text", "--protect-marker", "FOO", "--protect-marker", "alpha", "--strip-directives"],
     {"language": "text", "protected_line_markers": ["FOO", "alpha"]}, TEXT),
    (["--language", "text", "--no-protect-markers", "--strip-directives"], {"language": "text", "protected_line_markers": []}, TEXT),
    (["--language", "text", "--no-protect-markers"], {"language": "text", "protected_line_markers": KEPT[2:]}, TEXT),
    (["--language", "text", "--protect-marker", "FOO"], {"language": "text", "protected_line_markers": ["FOO", *KEPT[2:]]}, TEXT),
]


@pytest.mark.parametrize("args,kwargs,content", SAME_AS_PYTHON)
def test_fold_stdin_matches_python_api(args, kwargs, content):
    done = run("fold", "-q", "--report", "json", *args, stdin=content.encode())
    expected = tersewright.fold(content, **kwargs)
    assert done.returncode == 0, done.stderr
    assert done.stdout.decode() == expected.output
    assert done.stderr.decode() == expected.report.to_json() + "\n"


# arguments, standard input, exit status, pattern that the one-line message must match
FAILURES = [
    (["fold", "--profile", "Safe"], b"x", 2, r"^tersewright: unknown profile 'Safe' \(choose from safe, "),
    (["fold", "--language", "COBOL"], b"x", 2, r"^tersewright: unknown language: cobol$"),
    (["fold", "--profile", "nope", "--language", "cobol"], b"x", 2, r"^tersewright: unknown language: cobol$"),
    (["fold", "--profile", "nope", "--language", "Golang"], b"x", 2, r"^tersewright: unknown profile 'nope'"),
    (["fold", "missing.txt"], b"", 2, r"^tersewright: missing.txt: No such file or directory$"),
    (["fold", "bad.txt"], b"", 2, r"^tersewright: bad.txt: not UTF-8 text$"),
    (["fold", "proj/bin.dat"], b"", 2, r"^tersewright: proj/bin.dat: binary file$"),
    (["fold"], b"\xff\xfe", 2, r"^tersewright: standard input is not UTF-8 text$"),
    (["fold", "-", "bad.txt"], b"", 2, r"cannot be combined with other paths$"),
    (["fold", "--output-dir", "out"], b"x", 2, r"not standard input$"),
    (["fold", "proj/a/y.log", "y.log", "--output-dir", "out"], b"", 2, r"^tersewright: proj/a/y.log and y.log would both be written to out/y.log$"),
    (["fold", "proj/a", "--output-dir", "proj"], b"", 2, r"refusing to overwrite the input proj/a/y.log"),
    (["fold", "proj", "--output-dir", "outside.txt"], b"", 2, r"cannot write into outside.txt: not a directory"),
    (["profiles", "nope"], b"", 2, r"^tersewright: unknown profile 'nope'"),
    (["profiles", os.fsdecode(b"\xff")], b"", 2, r"^tersewright: unknown profile '\\xff' \(choose from safe, "),
    (["fold", "--profile", os.fsdecode(b"n\xff")], b"x", 2, r"^tersewright: unknown profile 'n\\xff' \(choose from safe, "),
    (["fold", "--language", os.fsdecode(b"G\xff")], b"x", 2, r"^tersewright: unknown language: g\\xff$"),
    (["detect", "missing.txt"], b"", 2, r"^tersewright: missing.txt: No such file or directory$"),
    (["fold", "--budget-bytes", "-1"], b"x", 2, r"--budget-bytes: must be between 0 and"),
    (["fold", "--budget-bytes", str(2**64)], b"x", 2, r"must be between 0 and 18446744073709551615"),
    (["fold", "--budget-bytes", "1", "--budget-chars", "1"], b"x", 2, r"not allowed with argument"),
    (["fold", "--keep-directives", "--strip-directives"], b"x", 2, r"not allowed with argument"),
    (["fold", "--report", "yaml"], b"x", 2, r"invalid choice: 'yaml'"),
    ([], b"", 2, r"required: COMMAND"),
    (["fold", "--language", "text", "--budget-bytes", "3", "--fail-over-budget", "-q"], b"abcd", 1, None),
    (["fold", "--language", "text", "--budget-bytes", "4", "--fail-over-budget"], b"abcd", 0, None),
    (["fold", "--language", "text", "--budget-bytes", "3", "-q"], b"abcd", 0, None),
]


@pytest.mark.parametrize("args,stdin,status,message", FAILURES)
def test_exit_status_and_message(tree, args, stdin, status, message):
    before = sorted(tree.rglob("*"))
    done = run(*args, stdin=stdin, cwd=tree)
    err = done.stderr.decode()
    assert done.returncode == status and "Traceback" not in err, err
    assert sorted(tree.rglob("*")) == before  # a failed run writes nothing, not even part of its output
    if message is None:
        assert done.stdout == stdin and err == ""  # over budget or not, the output is still written
    else:
        assert re.search(message, err.splitlines()[0]), err  # a usage error adds a pointer to the help


def test_profiles_commands():
    listing = run("profiles").stdout.decode().splitlines()
    assert [line.split()[0] for line in listing] == tersewright.profiles()
    assert json.loads(run("profiles", "logs").stdout) == tersewright.profile_info("logs")
    table = run("profiles", "--markdown").stdout.decode()
    assert "| `logs` | keep | keep | collapse to one | no | 1 | no | yes |" in table
    assert run("--version").stdout.decode() == f"tersewright {tersewright.__version__}\n"


def test_directive_lines_are_kept_unless_stripped():
    assert tersewright.DIRECTIVE_MARKERS[:2] == ("tersewright:keep", "@tersewright-keep")
    kept = "".join(f"x = 1  # {marker} something\n" for marker in tersewright.DIRECTIVE_MARKERS)
    done = run("fold", "--language", "python", stdin=(kept + "y = 2  # plain\n").encode())
    assert done.stdout.decode() == kept + "y = 2\n"
    stripped = run("fold", "--language", "python", "--strip-directives", stdin=kept.encode())
    assert stripped.stdout.decode().count("#") == 2  # only the two default keep markers survive


# --------------------------------------------------------------------------- sources
# file name, content, language detected for the file; standard input must agree with the Python API
JSON_4093 = "[" + "1," * 2045 + "1]"  # a JSON array of 4093 bytes: what follows it decides detection
DETECTED = [
    ("a.py", b"", "python"),
    ("notes", b"# Title\n\n- item\n", "markdown"),
    ("latin1", b"2024-05-01 10:00:00 INFO caf\xe9\n" * 3, "log"),
    # a character over byte 4096 is left out of the sample, which then holds the array and blanks
    ("straddle2", (JSON_4093 + "  \u00e9").encode(), "json"),
    ("straddle3", (JSON_4093 + " \u3000tail").encode(), "json"),
    ("straddle4", (JSON_4093 + "\U0001F600").encode(), "json"),
    ("ends_at_4096", (JSON_4093 + " \u00e9").encode(), "unknown"),
]


@pytest.mark.parametrize("name,content,language", DETECTED, ids=[row[0] for row in DETECTED])
def test_detect_matches_python_api(tmp_path, name, content, language):
    (tmp_path / name).write_bytes(content)
    done = run("detect", name, cwd=tmp_path)
    assert (done.returncode, done.stdout.decode()) == (0, f"{name}\t{language}\n")
    text = content.decode("utf-8", "replace")
    assert tersewright.detect_language(text, name) == language
    piped = run("detect", "-", stdin=content)
    assert piped.stdout.decode() == f"-\t{tersewright.detect_language(text)}\n"


# --------------------------------------------------------------------------- outputs
def test_fold_file_uses_its_path_for_detection_and_writes_output_file(tmp_path):
    (tmp_path / "m.py").write_text(PY)
    (tmp_path / "out.py").write_text("old")
    (tmp_path / "out.py").chmod(0o751)
    done = run("fold", "m.py", "--output", "out.py", cwd=tmp_path)
    assert done.returncode == 0 and done.stdout == b""
    assert (tmp_path / "out.py").read_text() == cli_fold(PY, path="m.py").output
    assert (tmp_path / "out.py").stat().st_mode & 0o777 == 0o751  # replaced, not recreated private
    assert sorted(p.name for p in tmp_path.iterdir()) == ["m.py", "out.py"]  # no temporary file left


def test_output_dir_mirrors_tree_and_skips_its_own_results(tree):
    first = run("fold", "proj", "--output-dir", "proj/out", cwd=tree)
    assert first.returncode == 0 and first.stdout == b""
    written = sorted(str(p.relative_to(tree / "proj" / "out")) for p in (tree / "proj" / "out").rglob("*") if p.is_file())
    assert written == ["proj/a/y.log", "proj/a/z.py", "proj/b.txt", "proj/link_in"]
    assert (tree / "proj/out/proj/a/z.py").read_text() == cli_fold(PY, path="proj/a/z.py").output
    second = run("fold", "proj", "--output-dir", "proj/out", cwd=tree)
    assert second.stderr == first.stderr  # the first run's results are not folded again


def test_bundle_to_file_equals_stdout_and_budget_failure(tree):
    plain = run("fold", "proj", cwd=tree)
    done = run("fold", "proj", "--output", "bundle.txt", "--budget-bytes", "20", "--fail-over-budget", cwd=tree)
    assert done.returncode == 1
    assert (tree / "bundle.txt").read_bytes() == plain.stdout
    assert done.stderr.decode().splitlines()[-1].endswith(" 3 over budget")


# --------------------------------------------------------------------------- reporting
# arguments, standard input, the report written to standard error
TEXT_REPORTS = [
    (["--language", "text", "--budget-bytes", "3"], "abcd",
     "<stdin>: text, fallback, profile safe, behaviour preserved\n  4 -> 4 bytes, 1 -> 1 lines, 0.0% reduction\n"
     "  warning budget_not_met: output size 4 exceeds budget limit 3 under metric 'bytes'\n  budget: 4 of 3 bytes, NOT met\n"
     "tersewright: standard input: output 4 bytes is over the budget of 3\n"),
    (["--language", "py", "--profile", "interface-only", "--budget-chars", "99", "--protect-marker", "keep"],
     "def f():\n    return 1\n\n\n\nx = 2  # keep\n",
     "<stdin>: python, parsed, profile interface-only, syntax valid, lossy\n  39 -> 73 bytes, 6 -> 4 lines, 0.0% reduction\n"
     "  interface_only: 1 change(s), -36 byte(s) removed (lossy)\n  collapse_blank_lines: 1 change(s), 2 byte(s) removed\n"
     "  budget: 73 of 99 characters, met\n  protected: 14 bytes\n"),
]


@pytest.mark.parametrize("args,stdin,report", TEXT_REPORTS)
def test_text_report(args, stdin, report):
    done = run("fold", "--report", "text", *args, stdin=stdin.encode())
    assert (done.returncode, done.stderr.decode()) == (0, report)


def test_progress_bar_only_on_a_terminal(tmp_path):
    for i in range(12):
        (tmp_path / f"f{i:02}.txt").write_text("x  \n")
    on_tty = run("fold", ".", stderr_tty=True, cwd=tmp_path)
    piped = run("fold", ".", cwd=tmp_path)
    assert on_tty.stdout == piped.stdout
    assert b"] 12/12 f11.txt" in on_tty.stderr
    assert b"\r" not in piped.stderr and b"\x1b" not in piped.stderr


# --------------------------------------------------------------------------- parallel
def test_jobs_give_identical_output(tree):
    one = run("fold", "proj", "proj/b.txt", "--report", "json", "--jobs", "1", cwd=tree)
    three = run("fold", "proj", "proj/b.txt", "--report", "json", "--jobs", "3", cwd=tree)
    assert (three.returncode, three.stdout, three.stderr) == (one.returncode, one.stdout, one.stderr)
    assert len([line for line in one.stderr.splitlines() if line.startswith(b"{")]) == 4

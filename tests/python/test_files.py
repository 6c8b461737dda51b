import pytest

import tersewright as tw
from conftest import raises_exactly

FOLD_FILE = pytest.mark.parametrize("fold_file", [tw.fold_file, tw.Engine().fold_file], ids=["fold_file", "Engine"])


@FOLD_FILE
def test_reads_the_bytes_as_they_are_and_the_path_drives_detection(fold_file, tmp_path):
    edges = "\u0080\u07ff\u0800\ud7ff\ue000\uffff\U00010000\U0010ffff"
    data = ("\ufeffa  \r\nb\t\n" + edges).encode()
    (tmp_path / "notes.txt").write_bytes(data)
    (tmp_path / "data.json").write_bytes(b'{"a": 1}')
    result = fold_file(str(tmp_path / "notes.txt"), language="text")
    assert (result.output, result.report.input_bytes) == ("\ufeffa\r\nb\n" + edges, len(data))
    assert (tmp_path / "notes.txt").read_bytes() == data
    assert fold_file(str(tmp_path / "data.json")).report.detected_language == "json"
    assert fold_file(str(tmp_path / "data.json"), language="text").report.detected_language == "text"


@pytest.mark.parametrize("path, output", [("/dev/null", ""), ("/proc/self/status", "Name:")])
def test_reads_past_a_reported_size_of_zero(path, output):
    assert tw.fold_file(path, "code-review", language="text").output.startswith(output)


@FOLD_FILE
@pytest.mark.parametrize("data", [b"\xff", b"a\x80", b"\xc0\xaf", b"\xed\xa0\x80", b"\xf4\x90\x80\x80", b"\xe0\x9f\xbf",
                                  b"\xf0\x8f\xbf\xbf", b"\xe2\x82", b"ok\xf0\x9f\x98"])  # fmt: skip
def test_invalid_utf8(fold_file, tmp_path, data):
    path = tmp_path / "bad.txt"
    path.write_bytes(data)
    with raises_exactly(OSError, f"failed to read {path}: stream did not contain valid UTF-8"):
        fold_file(str(path))


# (path under the temporary directory, options, error, message with {path}): reading comes before the
# language and the profile are judged.
@FOLD_FILE
@pytest.mark.parametrize("name, options, exception, message", [
    ("missing.py", {}, OSError, "failed to read {path}: No such file or directory (os error 2)"),
    ("missing.py", {"language": "cobol", "profile": "nope"}, OSError,
     "failed to read {path}: No such file or directory (os error 2)"),
    ("a.txt/x", {}, OSError, "failed to read {path}: Not a directory (os error 20)"),
    ("", {}, OSError, "failed to read {path}: Is a directory (os error 21)"),
    ("a\0b.py", {}, OSError, "failed to read {path}: file name contained an unexpected NUL byte"),
    ("a.txt", {"language": "COBOL", "profile": "nope"}, ValueError, "unknown language: cobol"),
    ("a.txt", {"profile": "Safe"}, tw.UnknownProfileError, "Safe"),
    ("a.txt", {"allow_lossy": 1}, TypeError, "argument 'allow_lossy': 'int' object cannot be converted to 'PyBool'"),
    (None, {}, TypeError, "argument 'path': 'PosixPath' object cannot be converted to 'PyString'"),
])  # fmt: skip
def test_failures(fold_file, tmp_path, name, options, exception, message):
    (tmp_path / "a.txt").write_bytes(b"x")
    path = str(tmp_path / name) if name is not None else tmp_path / "a.txt"
    with raises_exactly(exception, message.format(path=path)):
        fold_file(path, **options)

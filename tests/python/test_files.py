import os

import pytest

import tersewright as tw
from conftest import raises_exactly

ENGINE = tw.Engine()
FOLD_FILE = [tw.fold_file, ENGINE.fold_file]
IDS = ["fold_file", "Engine.fold_file"]


@pytest.fixture
def write(tmp_path):
    def write(name, data):
        path = tmp_path / name
        path.write_bytes(data)
        return str(path)

    return write


@pytest.mark.parametrize("fold_file", FOLD_FILE, ids=IDS)
def test_reads_the_bytes_as_they_are(fold_file, write):
    data = "\ufeffa  \r\nb\t\n".encode()
    path = write("notes.txt", data)
    result = fold_file(path, language="text")
    assert result.output == "\ufeffa\r\nb\n"
    assert result.report.input_bytes == len(data)
    with open(path, "rb") as unchanged:
        assert unchanged.read() == data


@pytest.mark.parametrize("fold_file", FOLD_FILE, ids=IDS)
def test_the_path_drives_detection_and_the_language_overrides_it(fold_file, write):
    path = write("data.json", b'{"a": 1}')
    assert fold_file(path).report.detected_language == "json"
    assert fold_file(path, language="text").report.detected_language == "text"


def test_large_file_is_read_whole(write):
    data = ("line with trailing  \n" * 50_000).encode()
    result = tw.fold_file(write("big.txt", data), language="text")
    assert result.report.input_bytes == len(data)
    assert result.output == "line with trailing\n" * 50_000


def test_reading_past_the_reported_size():
    # /proc files report a size of 0 but have content.
    result = tw.fold_file("/proc/self/status", language="text")
    assert result.report.input_bytes > 0 and result.output.startswith("Name:")


@pytest.mark.parametrize(
    "data",
    [b"\xff", b"a\x80", b"\xc0\xaf", b"\xed\xa0\x80", b"\xf4\x90\x80\x80", b"\xe2\x82", b"ok\xf0\x9f\x98"],
)
@pytest.mark.parametrize("fold_file", FOLD_FILE, ids=IDS)
def test_invalid_utf8(fold_file, write, data):
    path = write("bad.txt", data)
    with raises_exactly(OSError, f"failed to read {path}: stream did not contain valid UTF-8"):
        fold_file(path)


@pytest.mark.parametrize("fold_file", FOLD_FILE, ids=IDS)
def test_valid_utf8_edges(fold_file, write):
    text = "\u0080\u07ff\u0800\ud7ff\ue000\uffff\U00010000\U0010ffff"
    assert fold_file(write("edges.txt", text.encode()), language="text").output == text


@pytest.mark.parametrize("fold_file", FOLD_FILE, ids=IDS)
def test_operating_system_errors(fold_file, tmp_path):
    missing = str(tmp_path / "missing.py")
    with raises_exactly(OSError, f"failed to read {missing}: No such file or directory (os error 2)"):
        fold_file(missing)
    with raises_exactly(OSError, f"failed to read {tmp_path}: Is a directory (os error 21)"):
        fold_file(str(tmp_path))


@pytest.mark.skipif(hasattr(os, "geteuid") and os.geteuid() == 0, reason="root reads everything")
def test_permission_denied(write):
    path = write("secret.txt", b"x")
    os.chmod(path, 0)
    with raises_exactly(OSError, f"failed to read {path}: Permission denied (os error 13)"):
        tw.fold_file(path)


def test_nul_in_the_path():
    with raises_exactly(OSError, "failed to read a\0b.py: file name contained an unexpected NUL byte"):
        tw.fold_file("a\0b.py")


def test_relative_paths_use_the_current_directory(tmp_path, monkeypatch):
    (tmp_path / "rel.txt").write_bytes(b"r  \n")
    monkeypatch.chdir(tmp_path)
    assert tw.fold_file("rel.txt", language="text").output == "r\n"


def test_unreadable_file_is_reported_before_a_bad_language(tmp_path):
    missing = str(tmp_path / "nope")
    with raises_exactly(OSError, f"failed to read {missing}: No such file or directory (os error 2)"):
        tw.fold_file(missing, language="cobol")


def test_bad_language_and_profile_after_reading(write):
    path = write("a.txt", b"x")
    with raises_exactly(ValueError, "unknown language: cobol"):
        tw.fold_file(path, language="COBOL")
    with raises_exactly(tw.UnknownProfileError, "Safe"):
        tw.fold_file(path, profile="Safe")


def test_a_path_object_is_refused(tmp_path):
    with raises_exactly(TypeError, "argument 'path': 'PosixPath' object cannot be converted to 'PyString'"):
        tw.fold_file(tmp_path / "a.txt")

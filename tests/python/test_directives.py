"""What the package adds around the engine for callers: directive ranges, names, pickling."""

import pickle
import subprocess
import sys
from concurrent.futures import ProcessPoolExecutor

import pytest

import tersewright

PREAMBLE = "// #include <stdio.h>\n// #cgo LDFLAGS: -lm"
# Go source (with {P} standing for the preamble), the texts directive_ranges must protect
CGO = [
    ("package p\n\n{P}\nimport \"C\"\n", [PREAMBLE]),
    ("package p // why\n{P}\nimport \"C\"\n", ["// why\n" + PREAMBLE]),  # one group: kept whole
    ("package p\n\n/*\n#include <x.h>\n*/\nimport \"C\"\n", ["/*\n#include <x.h>\n*/"]),
    ("package p\n\n{P}\n\nimport \"C\"\n", []),  # a blank line: no preamble, cgo ignores it
    ("package p\n\n{P}\nimport \"fmt\"\n", []),
    ("package p\n\n{P}\nimport (\n\t\"fmt\"\n\t// #define X 1\n\t\"C\"\n)\n", [PREAMBLE, "// #define X 1"]),
    ("package p\n\n{P}\nvar s = `import \"C\"`\n", []),  # inside a literal
    ("package p\n\n/* import \"C\" */\nvar x = 1\n", []),
    ("package é\n\n{P}\nimport \"C\"\n", [PREAMBLE]),  # offsets count bytes
]


@pytest.mark.parametrize("source,protected", CGO)
def test_cgo_preamble_ranges(source, protected):
    source = source.replace("{P}", PREAMBLE)
    data = source.encode()
    ranges = tersewright.directive_ranges(source, "golang")
    assert [data[start:end].decode() for start, end in ranges] == protected
    folded = tersewright.fold(source, language="go", protected_ranges=ranges).output
    assert all(text in folded for text in protected)


def test_directive_ranges_other_languages_and_names():
    assert tersewright.directive_ranges('// x\nimport "C"\n', "python") == []
    with pytest.raises(ValueError, match="^unknown language: cobol$"):
        tersewright.directive_ranges("", "COBOL")
    assert {"DIRECTIVE_MARKERS", "directive_ranges"} <= set(tersewright.__all__)


def _unknown_profile(name):
    return tersewright.fold("x", profile=name)


def test_exceptions_cross_process_boundaries():
    with ProcessPoolExecutor(1) as pool:
        with pytest.raises(tersewright.UnknownProfileError) as info:
            pool.submit(_unknown_profile, "nope").result()
    assert type(info.value) is tersewright.UnknownProfileError
    data = pickle.dumps(info.value)
    # A fresh interpreter finds the class once it has imported the package.
    code = "import sys, pickle, tersewright; e = pickle.loads(sys.stdin.buffer.read()); print(type(e).__name__, e)"
    done = subprocess.run([sys.executable, "-c", code], input=data, capture_output=True, check=True)
    assert done.stdout.decode() == f"UnknownProfileError {info.value}\n"

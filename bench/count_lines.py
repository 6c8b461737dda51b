#!/usr/bin/env python3
"""Counts the lines of product code, tests and fuzz harnesses among the files git tracks.

A line counts when it is neither blank nor a comment. Comment lines are those whose first
non-blank characters are `//` or `/*` in C++ (and every line up to the `*/` that closes a block
comment opened at the start of a line, `*` continuations included), or `#` in Python. Docstrings
count as code, and so do comments that follow code on the same line: the count stays simple and
errs towards code.

Areas: the product is engine/ and python/ (C++ .cpp/.hpp, Python .py/.pyi); the tests are tests/
(the same suffixes: every C++ and Python file there is test code, the CMake files are not
counted); the fuzz harnesses under fuzz/ (not their seed corpus) are counted apart and left out
of the ratio. The last
three lines printed are the product count, the test count and the ratio tests / product, in that
order, for scripts that read them with `tail -n 3`.
"""

import argparse
import pathlib
import subprocess
import sys

CXX_SUFFIXES = (".cpp", ".hpp")
PYTHON_SUFFIXES = (".py", ".pyi")
PRODUCT_ROOTS = ("engine/", "python/")
TEST_ROOTS = ("tests/",)
FUZZ_ROOTS = ("fuzz/",)
# Seed inputs for the fuzzers are data, whatever their suffix.
DATA_ROOTS = ("fuzz/corpus/",)
AIM = 0.40


def cxx_code_lines(text):
    count = 0
    in_block = False
    for line in text.splitlines():
        stripped = line.strip()
        if not stripped:
            continue
        if in_block:
            in_block = "*/" not in stripped
            continue
        if stripped.startswith("//"):
            continue
        if stripped.startswith("/*"):
            in_block = "*/" not in stripped[2:]
            continue
        count += 1
    return count


def python_code_lines(text):
    return sum(1 for line in text.splitlines() if line.strip() and not line.lstrip().startswith("#"))


def code_lines(path):
    text = path.read_text(encoding="utf-8", errors="replace")
    return cxx_code_lines(text) if path.suffix in CXX_SUFFIXES else python_code_lines(text)


def tracked_files(root):
    listed = subprocess.run(["git", "ls-files", "-z"], cwd=root, check=True, capture_output=True).stdout
    return [name for name in listed.decode("utf-8", "surrogateescape").split("\0") if name]


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--root", type=pathlib.Path, default=pathlib.Path(__file__).resolve().parent.parent,
                        help="the repository to count (default: the one holding this script)")
    args = parser.parse_args(argv)

    per_folder = {}
    totals = {"product": 0, "tests": 0, "fuzz": 0}
    for name in tracked_files(args.root):
        if not name.endswith(CXX_SUFFIXES + PYTHON_SUFFIXES) or name.startswith(DATA_ROOTS):
            continue
        for area, roots in (("product", PRODUCT_ROOTS), ("tests", TEST_ROOTS), ("fuzz", FUZZ_ROOTS)):
            if name.startswith(roots):
                break
        else:
            continue
        path = args.root / name
        if not path.is_file():  # tracked but deleted in the working tree
            continue
        lines = code_lines(path)
        totals[area] += lines
        folder = name.rsplit("/", 1)[0]
        per_folder[folder] = per_folder.get(folder, 0) + lines

    for folder in sorted(per_folder):
        print(f"  {folder}: {per_folder[folder]}")
    ratio = totals["tests"] / totals["product"] if totals["product"] else 0.0
    print(f"product (engine + python): {totals['product']} lines")
    print(f"tests: {totals['tests']} lines (fuzz harnesses apart: {totals['fuzz']})")
    print(f"tests / product: {ratio:.2f} (aim: at most {AIM:.2f})")
    return 0


if __name__ == "__main__":
    sys.exit(main())

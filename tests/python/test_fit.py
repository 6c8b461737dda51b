"""tersewright.fit: the search for the least lossy plan, what the result reports, and the bundle styles."""

import json
import json.decoder
import os
import subprocess
import sys
from pathlib import Path

import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import tersewright
from tersewright.bundle import STYLES, BundleFile, render_bundle, render_file, split_bundle
from tersewright.fitting import DEFAULT_LADDER, OMITTED, kind_of

PACKAGE_ROOT = str(Path(tersewright.__file__).resolve().parent.parent)
PY = 'import os  # operating system services\n\n\ndef area(width, height):\n    """Area of a rectangle."""\n' \
     "    # the product of the two sides\n    return width * height\n"  # fmt: skip
LOG = "2024-05-01 10:00:00 INFO started\n" + "2024-05-01 10:00:01 WARN retrying the connection\n" * 4
MD = "# Notes\n\nSame line.\nSame line.\nSame line.\n\n\n\nEnd of the notes.\n"
INPUTS = [("a.py", PY), ("b.log", LOG), ("c.md", MD), ("d.txt", "plain text  \n")]


class Words:
    name = "words"

    def count(self, text):
        return len(text.split())


def plans(inputs, **options):
    """Every distinct plan, from the largest limit down to nothing, in the order the search reaches them."""
    top = tersewright.fit(inputs, 10**6, metric="bytes", **options).size
    seen = []
    for limit in range(top, -1, -1):
        plan = tuple(entry.profile for entry in tersewright.fit(inputs, limit, metric="bytes", **options).plan)
        if not seen or seen[-1] != plan:
            seen.append(plan)
    return seen


# a.py: code-review -> safe keeps behaviour (64 bytes); c.md: safe saves nothing, so its next rung is
# documentation. Lossy moves then go largest saving first (logs 99, budgeted 32, documentation 22),
# then omissions alike; d.txt is never omitted, since its note would be no smaller than its text.
TRAJECTORY = [
    ("code-review", "safe", "code-review", "safe"),
    ("safe", "safe", "code-review", "safe"),
    ("safe", "logs", "code-review", "safe"),
    ("budgeted", "logs", "code-review", "safe"),
    ("budgeted", "logs", "documentation", "safe"),
    ("budgeted", OMITTED, "documentation", "safe"),
    (OMITTED, OMITTED, "documentation", "safe"),
    (OMITTED, OMITTED, OMITTED, "safe"),
]


S, CR, L, B, D, O = "safe", "code-review", "logs", "budgeted", "documentation", OMITTED


@pytest.mark.parametrize("keep, expected", [
    ((), TRAJECTORY),
    (["a.py"], [(CR, S, CR, S), (S, S, CR, S), (S, L, CR, S), (S, L, D, S), (S, O, D, S), (S, O, O, S)]),
    ("*.log", [(CR, S, CR, S), (S, S, CR, S), (B, S, CR, S), (B, S, D, S), (O, S, D, S), (O, S, O, S)]),
    (["*.py", "c.md", "b.log"], TRAJECTORY[:2]),
    (["."], TRAJECTORY[:2]),  # the folder that holds everything
    (["b.log/"], [(CR, S, CR, S), (S, S, CR, S), (B, S, CR, S), (B, S, D, S), (O, S, D, S), (O, S, O, S)]),
    (["nothing*"], TRAJECTORY),
])  # fmt: skip
def test_search_order_and_keep(keep, expected):
    assert plans(INPUTS, keep=keep) == expected


def test_a_source_file_climbs_to_the_chain_and_each_fold_happens_once():
    calls = []

    class Counting:
        def __init__(self):
            self.engine = tersewright.Engine()

        def fold(self, text, **options):
            calls.append((text, options["profile"]))
            return self.engine.fold(text, **options)

    source = Path(json.decoder.__file__).read_text()
    result = tersewright.fit([("decoder.py", source)], 0, metric="bytes", engine=Counting(), keep_directives=True)
    # budgeted is folded once, for its own rung and as the chain's first link; omission folds nothing
    assert sorted(profile for _, profile in calls) == ["budgeted", "code-review", "interface-only", "safe"]
    assert [r.profile for r in result.plan[0].reports] == []
    chained = tersewright.fit([("decoder.py", source)], 7400, metric="bytes")
    entry = chained.plan[0]
    assert (entry.profile, [r.profile for r in entry.reports]) == ("budgeted+interface-only", ["budgeted", "interface-only"])
    assert entry.text == tersewright.fold(tersewright.fold(source, "budgeted", "d.py").output, "interface-only", "d.py").output
    assert (entry.after, entry.behavior_preserving, chained.met) == (len(entry.text.encode()), False, True)


def test_the_bundle_is_measured_whole():
    class Superadditive:  # a bundle counts more than its parts: the estimate alone would overshoot
        def count(self, text):
            return len(text) ** 2 // 500

    result = tersewright.fit(INPUTS, 300, tokenizer=Superadditive())
    assert (result.met, result.size, result.tokenizer) == (True, Superadditive().count(result.text), "caller-supplied")
    assert result.size <= 300 < Superadditive().count(tersewright.fit(INPUTS, 10**6, tokenizer=Superadditive()).text)


SUMMARY = "tersewright fit: 4 files in a limit of {} tokens (tokenizer words), limit {}; {} folded lossily, {} omitted"


@pytest.mark.parametrize("style, limit, counts, first_line", [
    ("plain", 60, (False, 0, 3), "=== " + SUMMARY.format(60, "NOT met", 0, 3) + " ==="),
    ("markdown", 60, (False, 0, 4), "# " + SUMMARY.format(60, "NOT met", 0, 4)),
    ("markdown", 250, (True, 1, 0), "# " + SUMMARY.format(250, "met", 1, 0)),
    ("xml", 60, (False, 0, 3), f'<bundle summary="{SUMMARY.format(60, "NOT met", 0, 3)}" limit="60" metric="tokens"'
                               ' tokenizer="words" met="false" files="4" lossy="0" omitted="3" skipped="0">'),
    ("json", 60, (False, 0, 4), f'{{"header": {{"summary": "{SUMMARY.format(60, "NOT met", 0, 4)}", "limit": 60,'
                                ' "metric": "tokens", "tokenizer": "words", "met": false, "files": 4, "lossy": 0,'
                                ' "omitted": 4, "skipped": 0},'),
])  # fmt: skip
def test_the_first_line_says_what_was_given_up(style, limit, counts, first_line):
    class Wordy(Words):
        def count(self, text):
            return 3 * len(text.split())

    result = tersewright.fit(INPUTS, limit, tokenizer=Wordy(), style=style)
    assert result.text.split("\n")[0] == first_line
    assert (result.met, result.lossy, result.omitted, result.size) == (*counts, Wordy().count(result.text))


def test_paths_skips_and_labels(tmp_path):
    root = tmp_path / "proj"
    (root / "a").mkdir(parents=True)
    (root / "a" / "z.py").write_text(PY)
    (root / "b.txt").write_text("text\n")
    (root / "bin.dat").write_bytes(b"\x00\x01")
    (root / "latin.txt").write_bytes(b"caf\xe9\n")
    (root / os.fsdecode(b"name\xff.txt")).write_text("odd name\n")
    whole = tersewright.fit([root], 10**6, metric="characters")
    assert [e.path for e in whole.plan] == ["a/z.py", "b.txt", os.fsdecode(b"name\xff.txt")]
    assert '==> "name\\xff.txt" <==\nodd name\n' in whole.text and "name\ufffd.txt" in whole.to_json()
    assert [(s.path, s.reason, s.failed) for s in whole.skipped] == [("bin.dat", "binary file", False),
                                                                     ("latin.txt", "not UTF-8 text", True)]
    assert "2 skipped (not text or unreadable)" in whole.text.split("\n")[0]
    parts = tersewright.fit([str(root / "a"), root / "b.txt", ("x/y.md", "# y\n")], 10**6, metric="bytes")
    assert [e.path for e in parts.plan] == ["a/z.py", "b.txt", "x/y.md"]
    assert json.loads(parts.to_json())["plan"][2] == parts.plan[2].to_dict()


@pytest.mark.parametrize("sources, options, error", [
    (INPUTS, {}, "metric 'tokens' needs a tokenizer"),
    (INPUTS, {"metric": "lines"}, "unknown metric 'lines'"),
    (INPUTS, {"metric": "bytes", "tokenizer": Words()}, "a tokenizer is only used with metric='tokens'"),
    (INPUTS, {"metric": "bytes", "style": "html"}, "unknown bundle style 'html'"),
    (INPUTS, {"metric": "bytes", "ladder": {"lisp": ["safe"]}}, "ladder: unknown kind or language 'lisp'"),
    (INPUTS, {"metric": "bytes", "ladder": {"log": ["safe", "omitted"]}}, "ladder log: 'omitted' is always the last rung"),
    (INPUTS, {"metric": "bytes", "ladder": {"text": []}}, "ladder text: needs at least one rung"),
    ([("a", "x"), ("a", "y")], {"metric": "bytes"}, "two inputs would be shown as 'a'"),
])  # fmt: skip
def test_bad_arguments_say_what_is_wrong(sources, options, error):
    with pytest.raises(ValueError, match="^" + error.replace("(", r"\(")):
        tersewright.fit(sources, 10, **options)


def test_bad_inputs_raise_the_usual_errors(tmp_path):
    with pytest.raises(FileNotFoundError):
        tersewright.fit([tmp_path / "missing"], 10, metric="bytes")
    with pytest.raises(tersewright.UnknownProfileError):
        tersewright.fit(INPUTS, 10, metric="bytes", ladder={"source": ["tiny"]})
    for limit, kind in [(-1, ValueError), (1.5, TypeError), (True, TypeError)]:
        with pytest.raises(kind):
            tersewright.fit(INPUTS, limit, metric="bytes")


# --------------------------------------------------------------------------- properties

FRAGMENTS = ["# c\n", "x = 1  # why\n", "def f():\n    '''Doc.'''\n    return 1\n", "\n\n\n", "same\n", "same\n",
             "2024-01-01 10:00:00 INFO up\n", "- item\n", "```\n", "{\"a\": 1}", "é😀", "  \n", "\r\n"]  # fmt: skip
texts = st.lists(st.sampled_from(FRAGMENTS) | st.text(max_size=5), max_size=12).map("".join)
names = st.sampled_from(["a.py", "b/c.py", "d.md", "e.log", "f.json", "g.txt", "h.go", "i.ts"])
inputs_st = st.lists(st.tuples(names, texts), max_size=6, unique_by=lambda pair: pair[0])
PROPERTY = settings(max_examples=100, deadline=None, suppress_health_check=[HealthCheck.too_slow])


def piece(path, text):
    return render_file("plain", BundleFile(path, text))


def rung(entry):
    ladder = DEFAULT_LADDER[kind_of(entry.language)]
    chains = ["+".join((r,) if isinstance(r, str) else r) for r in ladder]
    return len(chains) if entry.omitted else chains.index(entry.profile)


@PROPERTY
@given(inputs=inputs_st, keep=st.lists(names, max_size=2), limits=st.lists(st.integers(0, 900), min_size=2, max_size=2),
       metric=st.sampled_from(["bytes", "characters", "tokens"]), style=st.sampled_from(STYLES), tree=st.booleans())
def test_the_search_keeps_its_promises(inputs, keep, limits, metric, style, tree):  # fmt: skip
    small, large = sorted(limits)
    options = dict(metric=metric, tokenizer=Words() if metric == "tokens" else None, keep=keep, style=style, tree=tree)
    measure = {"bytes": lambda t: len(t.encode()), "characters": len, "tokens": Words().count}[metric]
    floor = tersewright.fit(inputs, 0, **options)
    tight, loose = tersewright.fit(inputs, small, **options), tersewright.fit(inputs, large, **options)
    for result, limit in [(tight, small), (loose, large)]:
        assert result.met == (result.size <= limit) and result.size == measure(result.text)
        assert result.met or limit < floor.size  # met whenever the most reduced bundle meets the limit
        assert not any(e.kept and (e.lossy or e.omitted) for e in result.plan)
        if style == "plain" and any(e.lossy or e.omitted for e in result.plan):
            # No behaviour-preserving move was left: code-review -> safe, the only one, saved nothing.
            for entry in (e for e in result.plan if e.profile == "code-review"):
                safe = tersewright.fold(dict(inputs)[entry.path], "safe", entry.path, entry.language).output
                assert measure(piece(entry.path, safe)) >= measure(piece(entry.path, entry.text))
    assert all(rung(a) <= rung(b) for a, b in zip(loose.plan, tight.plan))  # a larger limit reduces no more
    again = tersewright.fit(inputs, small, **options)
    assert (again.text, again.to_json()) == (tight.text, tight.to_json())


# --------------------------------------------------------------------------- bundles

any_text = st.text(st.characters(blacklist_categories=("Cs",), blacklist_characters="\x00"), max_size=40)
files_st = st.lists(st.builds(BundleFile, path=st.sampled_from(["a.py", "b c/&<d>\".md", "é\tx"]), text=any_text,
                              language=st.sampled_from(["python", "markdown", "unknown"])),
                    max_size=4, unique_by=lambda f: f.path)  # fmt: skip


@settings(max_examples=200, deadline=None)
@given(files=files_st, style=st.sampled_from(STYLES), tree=st.booleans(), omit=st.booleans())
@pytest.mark.parametrize("hard", ["a\r\nb\rc", "```\n````x\n## b.md\n\n```\n", "x\x01\x1f\ufffe]]>&amp;", "\\ No newline at end of file"])
def test_every_style_splits_back_into_its_files(hard, files, style, tree, omit):
    files = [BundleFile("hard.txt", hard)] + files
    if omit and files:
        files[0] = BundleFile(files[0].path, None, note="omitted: 12 bytes")
    if style == "plain":  # plain is for reading: a line shaped like a header would start another file
        files = [f for f in files if f.text is None or "==>" not in f.text]
    header = {"summary": "tersewright fit: x", "limit": 3, "met": False, "tokenizer": None}
    bundle = render_bundle(files, style, header, tree)
    assert split_bundle(bundle, style) == [(f.path, f.text) for f in files]
    if style == "json":
        assert json.loads(bundle)["header"] == {k: v for k, v in header.items()}


def test_markdown_fences_and_the_tree():
    files = [BundleFile("src/a.py", "x = '````'"), BundleFile("src/lib/b.rs", "fn b() {}\n", "rust"),
             BundleFile("z.txt", None, note="omitted: 9 bytes")]  # fmt: skip
    assert render_bundle(files, "markdown", tree=True) == (
        "```text\n├── src/\n│   ├── a.py\n│   └── lib/\n│       └── b.rs\n└── z.txt\n```\n\n"
        "## src/a.py\n\n`````text\nx = '````'\n`````\n\\ No newline at end of file\n\n"
        "## src/lib/b.rs\n\n```rust\nfn b() {}\n```\n\n## z.txt\n\n*omitted: 9 bytes*\n\n"
    )


@pytest.mark.parametrize("style", STYLES)
def test_a_fit_run_in_its_own_process_gives_back_every_folded_file(tmp_path, style):
    (tmp_path / "pkg").mkdir()
    for name, text in INPUTS:
        (tmp_path / "pkg" / name).write_text(text)
    limit = tersewright.fit(INPUTS, 10**6, metric="bytes", style=style).size * 3 // 4
    program = (f"import sys, tersewright\nr = tersewright.fit([{str(tmp_path / 'pkg')!r}], {limit}, metric='bytes',"
               f" style={style!r})\nsys.stdout.write(r.text)\nsys.exit(0 if r.met else 1)")  # fmt: skip
    done = subprocess.run([sys.executable, "-c", program], capture_output=True, timeout=120,
                          env=dict(os.environ, PYTHONPATH=PACKAGE_ROOT))  # fmt: skip
    assert (done.returncode, done.stderr) == (0, b"")
    bundle = done.stdout.decode()
    expected = tersewright.fit(INPUTS, limit, metric="bytes", style=style)  # the files as pairs, read here
    assert bundle == expected.text and len(bundle.encode()) <= limit
    assert split_bundle(bundle, style) == [(e.path, e.text) for e in expected.plan]
    assert [e.profile for e in expected.plan] != [CR, S, CR, S] and "limit met; " in bundle.split("\n")[0]


def test_the_readme_example_prints_what_the_readme_shows():
    readme = (Path(__file__).resolve().parents[2] / "README.md").read_text()
    section = readme.split("## Fitting a tree into a limit", 1)[1]
    program, shown = section.split("```python\n", 1)[1].split("```\n", 1)
    shown = shown.split("```\n", 1)[1].split("```\n", 1)[0]
    done = subprocess.run([sys.executable, "-c", program], capture_output=True, timeout=120, text=True,
                          env=dict(os.environ, PYTHONPATH=PACKAGE_ROOT))  # fmt: skip
    assert (done.returncode, done.stderr, done.stdout) == (0, "", shown)

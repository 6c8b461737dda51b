import re
import unicodedata

import pytest

import tersewright as tw
from conftest import plain, raises_exactly

# (property, default, a valid value, what reading it back gives, an invalid value, the error it raises)
PROPERTIES = [
    ("content", "x", "new", "new", None,
     (TypeError, "argument 'content': 'NoneType' object cannot be converted to 'PyString'")),
    ("profile", "safe", "logs", "logs", None,
     (TypeError, "argument 'profile': 'NoneType' object cannot be converted to 'PyString'")),
    ("path", None, "a.py", "a.py", 1, (TypeError, "argument 'path': 'int' object cannot be converted to 'PyString'")),
    ("language", None, "cobol", "cobol", b"py",
     (TypeError, "argument 'language': 'bytes' object cannot be converted to 'PyString'")),
    ("allow_lossy", None, False, False, 0,
     (TypeError, "argument 'allow_lossy': 'int' object cannot be converted to 'PyBool'")),
    ("budget_bytes", None, 10, 10, -1, (OverflowError, "can't convert negative int to unsigned")),
    ("budget_chars", None, 2**64 - 1, 2**64 - 1, 2**64, (OverflowError, "int too big to convert")),
    ("budget_tokens", None, 0, 0, 0.5,
     (TypeError, "argument 'budget_tokens': 'float' object cannot be interpreted as an integer")),
    ("protected_ranges", None, ((1, 2),), [(1, 2)], [(1, 2, 3)],
     (ValueError, "expected tuple of length 2, but got tuple of length 3")),
    ("protected_line_markers", None, ("k",), ["k"], "k",
     (TypeError, "argument 'protected_line_markers': Can't extract `str` to `Vec`")),
]  # fmt: skip
NAMES = [row[0] for row in PROPERTIES]


def test_properties_are_listed_in_order():
    names = [name for name, value in vars(tw.FoldRequest).items() if type(value).__name__ == "getset_descriptor"]
    assert names == NAMES


@pytest.mark.parametrize("name, default, value, read_back, bad, error", PROPERTIES, ids=NAMES)
def test_property_read_write_and_failed_write(name, default, value, read_back, bad, error):
    request = tw.FoldRequest("x")
    assert getattr(request, name) == default
    setattr(request, name, value)
    assert getattr(request, name) == read_back
    with raises_exactly(*error):
        setattr(request, name, bad)
    assert getattr(request, name) == read_back


@pytest.mark.parametrize("name", NAMES)
def test_property_cannot_be_deleted(name):
    request = tw.FoldRequest("x", path="p", budget_bytes=1)
    with raises_exactly(AttributeError, "can't delete attribute"):
        delattr(request, name)


@pytest.mark.parametrize("name", NAMES[2:])
def test_optional_properties_clear_with_none(name):
    request = tw.FoldRequest(
        "x", path="p", language="go", allow_lossy=True, budget_bytes=1, budget_chars=2, budget_tokens=3,
        protected_ranges=[(0, 1)], protected_line_markers=["m"],
    )  # fmt: skip
    assert getattr(request, name) is not None
    setattr(request, name, None)
    assert getattr(request, name) is None


def test_reads_give_new_objects():
    request = tw.FoldRequest("x", protected_ranges=[(0, 5)], protected_line_markers=["a"])
    ranges = request.protected_ranges
    assert ranges is not request.protected_ranges and ranges == request.protected_ranges
    ranges.append((7, 8))
    request.protected_line_markers.append("b")
    assert request.protected_ranges == [(0, 5)]
    assert request.protected_line_markers == ["a"]


def test_tokenizer_is_held_but_not_exposed():
    request = tw.FoldRequest("x", tokenizer=object())
    with pytest.raises(AttributeError):
        request.tokenizer
    with pytest.raises(AttributeError):
        request.tokenizer = object()


@pytest.mark.parametrize(
    "kwargs, expected",
    [
        ({}, 'FoldRequest(profile="safe", language=None, path=None)'),
        ({"profile": "code-review", "language": "python", "path": "a.py"},
         'FoldRequest(profile="code-review", language=Some("python"), path=Some("a.py"))'),
        ({"profile": 'a"b\\c'}, r'FoldRequest(profile="a\"b\\c", language=None, path=None)'),
        ({"profile": "\t\r\n\0"}, r'FoldRequest(profile="\t\r\n\0", language=None, path=None)'),
        ({"path": "\x01\x1b\x7f\x85"}, r'FoldRequest(profile="safe", language=None, path=Some("\u{1}\u{1b}\u{7f}\u{85}"))'),
        ({"path": "'é中😀 x"}, "FoldRequest(profile=\"safe\", language=None, path=Some(\"'é中😀 x\"))"),
        ({"language": "e\u0301\u200c\u20dd\u0488"},
         r'FoldRequest(profile="safe", language=Some("e\u{301}\u{200c}\u{20dd}\u{488}"), path=None)'),
        ({"path": "\u00a0\u2028\u200b\ue000\U000e0001"},
         r'FoldRequest(profile="safe", language=None, path=Some("\u{a0}\u{2028}\u{200b}\u{e000}\u{e0001}"))'),
    ],
)  # fmt: skip
def test_fold_request_repr(kwargs, expected):
    request = tw.FoldRequest("content does not show", budget_bytes=3, **kwargs)
    assert repr(request) == expected


LETTER_ESCAPES = {"\\": "\\\\", '"': '\\"', "\t": "\\t", "\r": "\\r", "\n": "\\n", "\0": "\\0"}
TOKEN = re.compile(r"\\u\{[0-9a-f]+\}|\\.|.", re.S)


def test_repr_escapes_every_code_point():
    marks_known = unicodedata.unidata_version.startswith("14.")  # the version the module's table follows
    for start in range(0, 0x110000, 0x2000):
        chars = [chr(c) for c in range(start, min(start + 0x2000, 0x110000)) if not 0xD800 <= c <= 0xDFFF]
        shown = repr(tw.FoldRequest("x", profile="".join(chars)))
        tokens = TOKEN.findall(shown[len('FoldRequest(profile="') : -len('", language=None, path=None)')])
        assert len(tokens) == len(chars)
        for char, token in zip(chars, tokens):
            category = unicodedata.category(char)
            if char in LETTER_ESCAPES:
                assert token == LETTER_ESCAPES[char]
            elif not char.isprintable() or (marks_known and category in ("Mn", "Me")):
                assert token == "\\u{%x}" % ord(char)
            else:  # a few spacing marks and modifier letters also extend graphemes
                assert token == char or (category in ("Mc", "Lm") and token == "\\u{%x}" % ord(char))


def test_repr_follows_assignment():
    request = tw.FoldRequest("x")
    request.profile = "lo\ngs"
    request.path = "p"
    assert repr(request) == 'FoldRequest(profile="lo\\ngs", language=None, path=Some("p"))'


@pytest.mark.parametrize("cls", [tw.FoldResult, tw.Report])
def test_result_classes_have_no_constructor(cls):
    with raises_exactly(TypeError, f"No constructor defined for {cls.__name__}"):
        cls()
    with raises_exactly(TypeError, f"No constructor defined for {cls.__name__}"):
        cls(1, output="x")


@pytest.mark.parametrize("cls", [tw.Engine, tw.FoldResult, tw.Report])
def test_other_classes_cannot_be_subclassed(cls):
    with pytest.raises(TypeError):
        type("Sub", (cls,), {})


@pytest.mark.parametrize("cls", [tw.Engine, tw.FoldRequest, tw.FoldResult, tw.Report])
def test_classes_cannot_be_patched(cls):
    with pytest.raises(TypeError, match="immutable type"):
        cls.__repr__ = lambda self: "patched"


REPORT_PROPERTIES = [
    "engine_version", "profile", "profile_version", "detected_language", "parse_status", "behavior_preserving",
    "semantic_equivalence", "syntax_valid", "reduction_ratio", "input_bytes", "output_bytes", "input_chars",
    "output_chars", "input_lines", "output_lines", "protected_bytes",
]  # fmt: skip


def test_report_properties_of_a_plain_text_fold():
    report = plain("héllo  \n\n\n\tb\t\n", protected_ranges=[(100, 105), (103, 110)]).report
    names = [name for name, value in vars(tw.Report).items() if type(value).__name__ == "getset_descriptor"]
    assert names == REPORT_PROPERTIES
    assert {name: getattr(report, name) for name in REPORT_PROPERTIES} == {
        "engine_version": "0.1.0",
        "profile": "safe",
        "profile_version": 1,
        "detected_language": "text",
        "parse_status": "fallback",
        "behavior_preserving": True,
        "semantic_equivalence": "not_guaranteed",
        "syntax_valid": None,
        "reduction_ratio": 1 - 11 / 15,
        "input_bytes": 15,
        "output_bytes": 11,
        "input_chars": 14,
        "output_chars": 10,
        "input_lines": 4,
        "output_lines": 3,
        "protected_bytes": 10,
    }


@pytest.mark.parametrize("owner, name", [("report", name) for name in REPORT_PROPERTIES] + [
    ("result", "output"), ("result", "report"), ("result", "lossy")])  # fmt: skip
def test_result_and_report_properties_are_read_only(owner, name):
    result = plain("x")
    with pytest.raises(AttributeError, match="not writable"):
        setattr(result if owner == "result" else result.report, name, None)


def test_result_properties():
    result = plain("a  \nb\n")
    assert result.output == "a\nb\n"
    assert result.lossy is False
    first, second = result.report, result.report
    assert first is not second
    assert first.to_json() == second.to_json()


# (content, ratio as the representations print it): ties go to the even digit.
RATIOS = [
    ("abcdefghijklmn \n", "0.062"),  # 1/16 = 0.0625
    ("abcdefghijkl   \n", "0.188"),  # 3/16 = 0.1875
    ("a  \n", "0.500"),
    ("abc\n", "0.000"),
    (" ", "1.000"),
    ("a" * 997 + "  \n", "0.002"),
]


@pytest.mark.parametrize("content, ratio", RATIOS)
def test_representations_print_three_decimals(content, ratio):
    result = plain(content)
    assert repr(result) == f"FoldResult(output_bytes={len(result.output)}, reduction={ratio}, lossy=false)"
    assert repr(result.report) == f'Report(profile="safe", language="text", parse_status=fallback, reduction={ratio})'


def test_representation_of_an_unsupported_fold():
    result = tw.fold("", profile="code-review")
    assert repr(result.report) == 'Report(profile="code-review", language="unknown", parse_status=unsupported, reduction=0.000)'

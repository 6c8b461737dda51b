import re
import unicodedata

import pytest

import tersewright as tw
from conftest import plain, raises_exactly

# (property, default, a valid value, what reading it back gives)
PROPERTIES = [
    ("content", "x", "new", "new"), ("profile", "safe", "logs", "logs"), ("path", None, "a.py", "a.py"),
    ("language", None, "cobol", "cobol"), ("allow_lossy", None, False, False), ("budget_bytes", None, 10, 10),
    ("budget_chars", None, 2**64 - 1, 2**64 - 1), ("budget_tokens", None, 0, 0),
    ("protected_ranges", None, ((1, 2),), [(1, 2)]), ("protected_line_markers", None, ("k",), ["k"]),
]  # fmt: skip
NAMES = [row[0] for row in PROPERTIES]


def properties_of(cls):
    return [name for name, value in vars(cls).items() if type(value).__name__ == "getset_descriptor"]


@pytest.mark.parametrize("name, default, value, read_back", PROPERTIES, ids=NAMES)
def test_fold_request_property(name, default, value, read_back):
    assert properties_of(tw.FoldRequest) == NAMES and getattr(tw.FoldRequest, name).__doc__ is None
    request = tw.FoldRequest("x")
    assert getattr(request, name) == default
    setattr(request, name, value)
    assert getattr(request, name) == read_back
    with pytest.raises(TypeError, match=f"^argument '{name}': 'object' object "):  # exact messages: test_arguments
        setattr(request, name, object())
    assert getattr(request, name) == read_back  # a failed write keeps the old value
    with raises_exactly(AttributeError, "can't delete attribute"):
        delattr(request, name)
    if default is None:
        setattr(request, name, None)
        assert getattr(request, name) is None


def test_reads_give_new_objects_and_the_tokenizer_stays_hidden():
    request = tw.FoldRequest("x", protected_ranges=[(0, 5)], protected_line_markers=["a"], tokenizer=object())
    request.protected_ranges.append((7, 8))
    request.protected_line_markers.append("b")
    assert (request.protected_ranges, request.protected_line_markers) == ([(0, 5)], ["a"])
    assert request.protected_ranges is not request.protected_ranges
    assert not hasattr(request, "tokenizer")
    with pytest.raises(AttributeError):
        request.tokenizer = object()


@pytest.mark.parametrize("line", ["x = 1  \n\n\n", "café  \n\n\n", "データ \U0001f600  \n\n\n", "x = 1\n", "café\n"])
def test_folds_read_text_the_caller_no_longer_holds(line):
    # Built at run time and dropped by the caller: requests and results keep what they need alive,
    # whether the fold changed the text or not.
    text = line * 1000
    expected = tw.fold(text).output
    request = tw.FoldRequest(text)
    content = tw.FoldRequest(text + "y")
    result = tw.Engine().fold(text)
    del text
    assert result.output == expected and result.output is not result.output
    assert tw.Engine().fold_request(request).output == expected
    request.content = content.content
    del content
    assert tw.Engine().fold_request(request).output == expected + "y"
    assert request.content is not request.content


def test_fold_request_repr():
    assert repr(tw.FoldRequest("content does not show")) == 'FoldRequest(profile="safe", language=None, path=None)'
    shown = repr(tw.FoldRequest("content does not show", "p", "'é中😀 \x7f\\", "e\u0301\t", budget_bytes=3))
    assert shown == r'FoldRequest(profile="p", language=Some("e\u{301}\t"), path=Some("' + "'é中😀 " + r'\u{7f}\\"))'


LETTER_ESCAPES = {"\\": "\\\\", '"': '\\"', "\t": "\\t", "\r": "\\r", "\n": "\\n", "\0": "\\0"}
TOKEN = re.compile(r"\\u\{[0-9a-f]+\}|\\.|.", re.S)


def test_repr_escapes_every_code_point():
    marks = ("Mn", "Me") if unicodedata.unidata_version.startswith("14.") else ()  # the version the module follows
    chars = "".join(chr(c) for c in range(0x110000) if not 0xD800 <= c <= 0xDFFF)
    shown = repr(tw.FoldRequest("x", profile=chars))
    tokens = TOKEN.findall(shown[len('FoldRequest(profile="') : -len('", language=None, path=None)')])
    assert len(tokens) == len(chars)
    for char, token in zip(chars, tokens):
        escaped, category = "\\u{%x}" % ord(char), unicodedata.category(char)
        if char in LETTER_ESCAPES or not char.isprintable() or category in marks:
            assert token == LETTER_ESCAPES.get(char, escaped)
        else:  # a few spacing marks and modifier letters also extend graphemes
            assert token == char or (category in ("Mc", "Lm") and token == escaped)


@pytest.mark.parametrize("cls", [tw.Engine, tw.FoldRequest, tw.FoldResult, tw.Report])
def test_classes_are_immutable_and_only_fold_request_is_a_base(cls):
    with pytest.raises(TypeError, match="immutable type"):
        cls.__repr__ = lambda self: "patched"
    if cls is not tw.FoldRequest:
        with pytest.raises(TypeError):
            type("Sub", (cls,), {})
    if cls in (tw.FoldResult, tw.Report):
        with raises_exactly(TypeError, f"No constructor defined for {cls.__name__}"):
            cls(1, output="x")


def test_result_and_report_properties():
    result = plain("héllo  \n\n\n\tb\t\n", protected_ranges=[(100, 105), (103, 110)])
    assert (result.output, result.lossy, properties_of(tw.FoldResult)) == ("héllo\n\n\tb\n", False,
                                                                            ["output", "report", "lossy"])
    report = result.report
    assert report is not result.report and report.to_json() == result.report.to_json()
    expected = {
        "engine_version": "0.1.0", "profile": "safe", "profile_version": 1, "detected_language": "text",
        "parse_status": "fallback", "behavior_preserving": True, "semantic_equivalence": "not_guaranteed",
        "syntax_valid": None, "reduction_ratio": 1 - 11 / 15, "input_bytes": 15, "output_bytes": 11,
        "input_chars": 14, "output_chars": 10, "input_lines": 4, "output_lines": 3, "protected_bytes": 10,
    }  # fmt: skip
    assert properties_of(tw.Report) == list(expected)
    assert {name: getattr(report, name) for name in expected} == expected
    for owner, name in [(report, name) for name in properties_of(tw.Report)] + [(result, "output"),
                                                                                 (result, "report"), (result, "lossy")]:
        with pytest.raises(AttributeError, match="not writable"):
            setattr(owner, name, None)

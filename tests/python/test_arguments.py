import pathlib
import sys

import pytest

import tersewright as tw
from conftest import fail, raises_exactly

ENGINE = tw.Engine()
# (callable, the name messages give it, its parameters, how many are required, the first parameter)
CALLABLES = [
    (tw.fold, "fold()", 9, 1, "content"), (tw.fold_file, "fold_file()", 4, 1, "path"),
    (tw.profile_info, "profile_info()", 1, 1, "name"), (tw.detect_language, "detect_language()", 2, 1, "content"),
    (ENGINE.fold, "Engine.fold()", 9, 1, "content"), (ENGINE.fold_request, "Engine.fold_request()", 1, 1, "request"),
    (ENGINE.fold_file, "Engine.fold_file()", 4, 1, "path"), (tw.FoldRequest, "FoldRequest.__new__()", 11, 1, "content"),
]  # fmt: skip


def matching_failures(function, name, most, least, first):
    taking = f"{most}" if least == most else f"from {least} to {most}"
    return [
        (function, (), {}, f"{name} missing 1 required positional argument: '{first}'"),
        (function, ("x",), {"budget_tokenz": 1}, f"{name} got an unexpected keyword argument 'budget_tokenz'"),
        (function, ("x",), {first: "y"}, f"{name} got multiple values for argument '{first}'"),
        (function, range(most + 1), {}, f"{name} takes {taking} positional arguments but {most + 1} were given"),
    ]


MATCHING_FAILURES = [row for callable_row in CALLABLES for row in matching_failures(*callable_row)] + [
    (tw.Engine, (1,), {}, "Engine.__new__() takes 0 positional arguments but 1 was given"),
    (tw.Engine, (1, 2), {}, "Engine.__new__() takes 0 positional arguments but 2 were given"),
    (tw.Engine, (), {"profile": "safe"}, "Engine.__new__() got an unexpected keyword argument 'profile'"),
    # Keywords are matched before required ones are missed, and the positional count comes first of all.
    (tw.fold, (), {"budget_tokens": 1}, "fold() got an unexpected keyword argument 'budget_tokens'"),
    (tw.fold, range(10), {"nonsense": 1}, "fold() takes from 1 to 9 positional arguments but 10 were given"),
]  # fmt: skip


@pytest.mark.parametrize("function, args, kwargs, message", MATCHING_FAILURES, ids=str)
def test_argument_matching_failures(function, args, kwargs, message):
    with raises_exactly(TypeError, message):
        function(*args, **kwargs)


def giving(value):
    """A method that returns the value, or raises it when it is an exception."""
    return lambda self: fail(value) if isinstance(value, Exception) else value


def index(value):
    return type("Index", (), {"__index__": giving(value)})()


def lying(items, length):
    """A list whose length is not what it claims (or cannot be had): only iterating it tells the truth."""
    return type("Lying", (list,), {"__len__": giving(length)})(items)


NO_INDEX, MINE = TypeError("no index for you"), LookupError("mine")
NO_INDEX.__cause__ = KeyError("inner")


SURROGATE = "'utf-8' codec can't encode character '\\ud800' in position 1: surrogates not allowed"
# (keyword, value, exception, message); every row goes through fold, Engine.fold, FoldRequest and its properties.
# A TypeError's message is prefixed with the argument's name; other errors pass through as they are.
CONVERSION_FAILURES = [
    ("content", None, TypeError, "'NoneType' object cannot be converted to 'PyString'"),
    ("profile", None, TypeError, "'NoneType' object cannot be converted to 'PyString'"),
    ("path", pathlib.PurePosixPath("a.py"), TypeError, "'PurePosixPath' object cannot be converted to 'PyString'"),
    ("language", 3.5, TypeError, "'float' object cannot be converted to 'PyString'"),
    ("allow_lossy", 1, TypeError, "'int' object cannot be converted to 'PyBool'"),
    ("allow_lossy", type("bool_", (), {"__bool__": giving(True)})(), TypeError,
     "'bool_' object cannot be converted to 'PyBool'"),
    ("budget_bytes", 1.5, TypeError, "'float' object cannot be interpreted as an integer"),
    ("budget_chars", "3", TypeError, "'str' object cannot be interpreted as an integer"),
    ("budget_bytes", -1, OverflowError, "can't convert negative int to unsigned"),
    ("budget_chars", 2**64, OverflowError, "int too big to convert"),
    ("budget_bytes", index(NO_INDEX), TypeError, "no index for you"),
    ("budget_bytes", index(MINE), LookupError, "mine"),
    ("protected_ranges", "0-5", TypeError, "Can't extract `str` to `Vec`"),
    ("protected_ranges", {(0, 5)}, TypeError, "'set' object cannot be converted to 'Sequence'"),
    ("protected_ranges", [[0, 5]], TypeError, "'list' object cannot be converted to 'PyTuple'"),
    ("protected_ranges", [(0, 5), (0, 5, 9)], ValueError, "expected tuple of length 2, but got tuple of length 3"),
    ("protected_ranges", [()], ValueError, "expected tuple of length 2, but got tuple of length 0"),
    ("protected_ranges", [(0, "5")], TypeError, "'str' object cannot be interpreted as an integer"),
    ("protected_ranges", [(-1, 5)], OverflowError, "can't convert negative int to unsigned"),
    ("protected_line_markers", (m for m in ["a"]), TypeError, "'generator' object cannot be converted to 'Sequence'"),
    ("protected_line_markers", ["a", 1], TypeError, "'int' object cannot be converted to 'PyString'"),
    ("protected_line_markers", b"ab", TypeError, "'int' object cannot be converted to 'PyString'"),
    ("content", "a\ud800", UnicodeEncodeError, SURROGATE),
    ("language", "a\ud800", UnicodeEncodeError, SURROGATE),
]  # fmt: skip


@pytest.mark.parametrize("keyword, value, exception, message", CONVERSION_FAILURES)
@pytest.mark.parametrize("function", [tw.fold, ENGINE.fold, tw.FoldRequest, setattr],
                         ids=["fold", "Engine.fold", "FoldRequest", "FoldRequest property"])  # fmt: skip
def test_conversion_failures(function, keyword, value, exception, message):
    prefix = f"argument '{keyword}': " if exception is TypeError else ""
    with raises_exactly(exception, prefix + message) as info:
        if function is setattr:
            setattr(tw.FoldRequest("x"), keyword, value)
        else:
            function(**{"content": "x", keyword: value})
    if message == "no index for you":  # the prefixed error keeps the original's cause
        assert info.value.__cause__ is NO_INDEX.__cause__
    assert (info.value is MINE) == (exception is LookupError)


def fold_request(**options):
    return ENGINE.fold_request(tw.FoldRequest("x", **options))


ONE = "specify at most one of budget_bytes, budget_chars, budget_tokens"


# Conversion goes parameter by parameter; the language is the binding's to judge, before the profile and budgets.
@pytest.mark.parametrize("call, exception, message", [
    (lambda: tw.fold("x", path=1, language=2, allow_lossy=3), TypeError,
     "argument 'path': 'int' object cannot be converted to 'PyString'"),
    (lambda: tw.FoldRequest("x", budget_bytes=-1, allow_lossy=1), TypeError,
     "argument 'allow_lossy': 'int' object cannot be converted to 'PyBool'"),
    (lambda: tw.fold("x", profile="nope", language="COBOL"), ValueError, "unknown language: cobol"),
    (lambda: fold_request(profile="nope", language="cobol", budget_bytes=1, budget_chars=1), ValueError,
     "unknown language: cobol"),
    (lambda: fold_request(profile="nope", language="PY", budget_bytes=1, budget_chars=1), tw.InvalidConfigError, ONE),
    (lambda: fold_request(budget_chars=1, budget_tokens=2, tokenizer=object()), tw.InvalidConfigError, ONE),
    (lambda: fold_request(budget_bytes=0, budget_chars=0, budget_tokens=0), tw.InvalidConfigError, ONE),
    (lambda: fold_request(budget_tokens=2, tokenizer=None), tw.InvalidConfigError,
     "budget_tokens requires a tokenizer object"),
    (lambda: ENGINE.fold_request("x"), TypeError,
     "argument 'request': 'str' object cannot be converted to 'FoldRequest'"),
])  # fmt: skip
def test_order_of_checks(call, exception, message):
    with raises_exactly(exception, message):
        call()


@pytest.mark.parametrize("keyword, value, stored", [
    ("allow_lossy", type("numpy.bool_", (), {"__bool__": giving(True)})(), True),
    ("allow_lossy", type("numpy.bool", (), {"__bool__": giving(False)})(), False),
    ("budget_bytes", True, 1),
    ("budget_chars", index(7), 7),
    ("protected_ranges", (), []),
    ("protected_ranges", [(0, 5), (9, 2)], [(0, 5), (9, 2)]),
    ("protected_ranges", ((index(1), 2**64 - 1),), [(1, 2**64 - 1)]),
    ("protected_ranges", lying([(0, 2), (5, 7)], 0), [(0, 2), (5, 7)]),
    ("protected_ranges", lying([(0, 2)], 2**62), [(0, 2)]),
    ("protected_line_markers", ("a", ""), ["a", ""]),
    ("protected_line_markers", lying(["k"], sys.maxsize), ["k"]),
    ("protected_line_markers", lying(["k", "l"], OverflowError("too long")), ["k", "l"]),
])  # fmt: skip
def test_conversion_accepts(keyword, value, stored):
    tw.fold("x", **{keyword: value})
    kept = getattr(tw.FoldRequest("x", **{keyword: value}), keyword)
    assert kept == stored and type(kept) is type(stored)


def test_fold_request_takes_a_subclass():
    class Mine(tw.FoldRequest):
        pass

    assert ENGINE.fold_request(Mine("a  ", language="text")).output == "a"

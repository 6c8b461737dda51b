import pathlib

import pytest

import tersewright as tw
from conftest import raises_exactly

ENGINE = tw.Engine()
REQUEST = tw.FoldRequest("x")

# (callable, the name messages give it, its parameters, how many are required)
CALLABLES = [
    (tw.fold, "fold()", 9, 1, "content"),
    (tw.fold_file, "fold_file()", 4, 1, "path"),
    (tw.profile_info, "profile_info()", 1, 1, "name"),
    (tw.detect_language, "detect_language()", 2, 1, "content"),
    (ENGINE.fold, "Engine.fold()", 9, 1, "content"),
    (ENGINE.fold_request, "Engine.fold_request()", 1, 1, "request"),
    (ENGINE.fold_file, "Engine.fold_file()", 4, 1, "path"),
    (tw.FoldRequest, "FoldRequest.__new__()", 11, 1, "content"),
]
IDS = [row[1] for row in CALLABLES]


@pytest.mark.parametrize("function, name, most, least, first", CALLABLES, ids=IDS)
def test_missing_required_argument(function, name, most, least, first):
    with raises_exactly(TypeError, f"{name} missing 1 required positional argument: '{first}'"):
        function()


@pytest.mark.parametrize("function, name, most, least, first", CALLABLES, ids=IDS)
def test_unexpected_keyword(function, name, most, least, first):
    with raises_exactly(TypeError, f"{name} got an unexpected keyword argument 'budget_tokenz'"):
        function("x", budget_tokenz=1)


@pytest.mark.parametrize("function, name, most, least, first", CALLABLES, ids=IDS)
def test_multiple_values(function, name, most, least, first):
    with raises_exactly(TypeError, f"{name} got multiple values for argument '{first}'"):
        function("x", **{first: "y"})


@pytest.mark.parametrize("function, name, most, least, first", CALLABLES, ids=IDS)
@pytest.mark.parametrize("extra", [1, 2])
def test_too_many_positionals(function, name, most, least, first, extra):
    given = most + extra
    verb = "was" if given == 1 else "were"
    if least == most:
        message = f"{name} takes {most} positional arguments but {given} {verb} given"
    else:
        message = f"{name} takes from {least} to {most} positional arguments but {given} {verb} given"
    with raises_exactly(TypeError, message):
        function(*range(given))


@pytest.mark.parametrize(
    "args, kwargs, message",
    [
        ((1,), {}, "Engine.__new__() takes 0 positional arguments but 1 was given"),
        ((1, 2), {}, "Engine.__new__() takes 0 positional arguments but 2 were given"),
        ((), {"profile": "safe"}, "Engine.__new__() got an unexpected keyword argument 'profile'"),
    ],
)
def test_engine_constructor_takes_nothing(args, kwargs, message):
    with raises_exactly(TypeError, message):
        tw.Engine(*args, **kwargs)


@pytest.mark.parametrize(
    "function", [tw.profiles, tw.supported_languages, tw.fold("x", language="text").report.to_dict,
                 tw.fold("x", language="text").report.to_json]
)  # fmt: skip
def test_no_argument_callables_refuse_arguments(function):
    with pytest.raises(TypeError, match="takes no arguments"):
        function(1)


def test_keyword_matching_precedes_the_missing_check():
    with raises_exactly(TypeError, "fold() got an unexpected keyword argument 'budget_tokens'"):
        tw.fold(budget_tokens=1)
    with raises_exactly(TypeError, "fold() takes from 1 to 9 positional arguments but 10 were given"):
        tw.fold(*range(10), nonsense=1)


class Index:
    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


class NoIndex:
    def __index__(self):
        try:
            raise KeyError("inner")
        except KeyError as inner:
            raise TypeError("no index for you") from inner


class IndexValueError:
    def __index__(self):
        raise ValueError("not today")


def fake_numpy_bool(name, value):
    return type(name, (), {"__bool__": lambda self: value})()


# (keyword, value, exception, message); every row goes through fold and FoldRequest alike.
CONVERSION_FAILURES = [
    ("content", None, TypeError, "argument 'content': 'NoneType' object cannot be converted to 'PyString'"),
    ("content", b"x", TypeError, "argument 'content': 'bytes' object cannot be converted to 'PyString'"),
    ("profile", None, TypeError, "argument 'profile': 'NoneType' object cannot be converted to 'PyString'"),
    ("path", 1, TypeError, "argument 'path': 'int' object cannot be converted to 'PyString'"),
    ("path", pathlib.PurePosixPath("a.py"), TypeError,
     "argument 'path': 'PurePosixPath' object cannot be converted to 'PyString'"),
    ("language", 3.5, TypeError, "argument 'language': 'float' object cannot be converted to 'PyString'"),
    ("allow_lossy", 1, TypeError, "argument 'allow_lossy': 'int' object cannot be converted to 'PyBool'"),
    ("allow_lossy", "yes", TypeError, "argument 'allow_lossy': 'str' object cannot be converted to 'PyBool'"),
    ("allow_lossy", fake_numpy_bool("bool_", True), TypeError,
     "argument 'allow_lossy': 'bool_' object cannot be converted to 'PyBool'"),
    ("budget_bytes", 1.5, TypeError, "argument 'budget_bytes': 'float' object cannot be interpreted as an integer"),
    ("budget_chars", "3", TypeError, "argument 'budget_chars': 'str' object cannot be interpreted as an integer"),
    ("budget_bytes", -1, OverflowError, "can't convert negative int to unsigned"),
    ("budget_chars", 2**64, OverflowError, "int too big to convert"),
    ("budget_bytes", NoIndex(), TypeError, "argument 'budget_bytes': no index for you"),
    ("budget_bytes", IndexValueError(), ValueError, "not today"),
    ("protected_ranges", "0-5", TypeError, "argument 'protected_ranges': Can't extract `str` to `Vec`"),
    ("protected_ranges", {(0, 5)}, TypeError, "argument 'protected_ranges': 'set' object cannot be converted to 'Sequence'"),
    ("protected_ranges", 5, TypeError, "argument 'protected_ranges': 'int' object cannot be converted to 'Sequence'"),
    ("protected_ranges", [[0, 5]], TypeError, "argument 'protected_ranges': 'list' object cannot be converted to 'PyTuple'"),
    ("protected_ranges", [(0, 5), (0, 5, 9)], ValueError, "expected tuple of length 2, but got tuple of length 3"),
    ("protected_ranges", [()], ValueError, "expected tuple of length 2, but got tuple of length 0"),
    ("protected_ranges", [(0, "5")], TypeError, "argument 'protected_ranges': 'str' object cannot be interpreted as an integer"),
    ("protected_ranges", [(-1, 5)], OverflowError, "can't convert negative int to unsigned"),
    ("protected_line_markers", "keep", TypeError, "argument 'protected_line_markers': Can't extract `str` to `Vec`"),
    ("protected_line_markers", {"a": 1}, TypeError,
     "argument 'protected_line_markers': 'dict' object cannot be converted to 'Sequence'"),
    ("protected_line_markers", frozenset(["a"]), TypeError,
     "argument 'protected_line_markers': 'frozenset' object cannot be converted to 'Sequence'"),
    ("protected_line_markers", (m for m in ["a"]), TypeError,
     "argument 'protected_line_markers': 'generator' object cannot be converted to 'Sequence'"),
    ("protected_line_markers", ["a", 1], TypeError,
     "argument 'protected_line_markers': 'int' object cannot be converted to 'PyString'"),
    ("protected_line_markers", b"ab", TypeError,
     "argument 'protected_line_markers': 'int' object cannot be converted to 'PyString'"),
]  # fmt: skip


@pytest.mark.parametrize("keyword, value, exception, message", CONVERSION_FAILURES)
@pytest.mark.parametrize("function", [tw.fold, ENGINE.fold, tw.FoldRequest], ids=["fold", "Engine.fold", "FoldRequest"])
def test_conversion_failures(function, keyword, value, exception, message):
    arguments = {"content": "x", keyword: value}
    with raises_exactly(exception, message):
        function(**arguments)


def test_type_error_prefix_keeps_the_cause():
    with pytest.raises(TypeError) as info:
        tw.fold("x", budget_bytes=NoIndex())
    assert isinstance(info.value.__cause__, KeyError)
    assert info.value.__cause__.args == ("inner",)


def test_other_errors_pass_through_as_the_same_object():
    class Raiser:
        error = LookupError("mine")

        def __index__(self):
            raise self.error

    with pytest.raises(LookupError) as info:
        tw.fold("x", budget_chars=Raiser())
    assert info.value is Raiser.error


@pytest.mark.parametrize("keyword", ["content", "profile", "path", "language"])
def test_lone_surrogates_raise_unicode_encode_error(keyword):
    with pytest.raises(UnicodeEncodeError) as info:
        tw.fold(**{"content": "x", keyword: "a\ud800"})
    assert not str(info.value).startswith("argument")


def test_first_failing_parameter_wins():
    with raises_exactly(TypeError, "argument 'path': 'int' object cannot be converted to 'PyString'"):
        tw.fold("x", path=1, language=2, allow_lossy=3)
    with raises_exactly(TypeError, "argument 'allow_lossy': 'int' object cannot be converted to 'PyBool'"):
        tw.FoldRequest("x", budget_bytes=-1, allow_lossy=1)


@pytest.mark.parametrize(
    "keyword, value",
    [
        ("allow_lossy", True),
        ("allow_lossy", fake_numpy_bool("numpy.bool_", True)),
        ("allow_lossy", fake_numpy_bool("numpy.bool", False)),
        ("budget_bytes", 2**64 - 1),
        ("budget_bytes", True),
        ("budget_chars", Index(7)),
        ("protected_ranges", ()),
        ("protected_ranges", [(0, 5), (9, 2)]),
        ("protected_ranges", ((Index(1), 2**64 - 1),)),
        ("protected_line_markers", ("a", "")),
        ("protected_line_markers", []),
    ],
)
def test_conversion_accepts(keyword, value):
    request = tw.FoldRequest("x", **{keyword: value})
    tw.fold("x", **{keyword: value})
    stored = getattr(request, keyword)
    if keyword == "allow_lossy":
        assert stored is bool(value)
    elif keyword == "protected_ranges":
        assert stored == [(int(a), int(b)) for a, b in value]
    elif keyword == "protected_line_markers":
        assert stored == list(value)
    else:
        assert stored == int(value) and type(stored) is int


def test_sequences_are_iterated_once_and_lengths_only_hint():
    class Lying:
        """A sequence whose __len__ is absurd and whose items come from iteration."""

        def __init__(self):
            self.iterations = 0

        def __len__(self):
            return 2**62

        def __getitem__(self, index):
            raise AssertionError("items are taken by iteration")

        def __iter__(self):
            self.iterations += 1
            return iter(["k1", "k2"])

    markers = Lying()
    assert tw.FoldRequest("x", protected_line_markers=markers).protected_line_markers == ["k1", "k2"]
    assert markers.iterations == 1


def test_fold_request_wants_a_fold_request():
    with raises_exactly(TypeError, "argument 'request': 'str' object cannot be converted to 'FoldRequest'"):
        ENGINE.fold_request("x")

    class Mine(tw.FoldRequest):
        pass

    assert ENGINE.fold_request(Mine("a  ", language="text")).output == "a"


@pytest.mark.parametrize(
    "name, language",
    [("Python", "python"), ("PY", "python"), ("text", "text"), ("", None), ("Cobol", None), ("python ", None)],
)
def test_language_names(name, language):
    if language is None:
        with raises_exactly(ValueError, "unknown language: " + name.lower()):
            tw.fold("x", language=name)
    else:
        assert tw.fold("x", language=name).report.detected_language == language

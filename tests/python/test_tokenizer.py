import gc
import weakref

import pytest

import tersewright as tw
from conftest import fail, raises_exactly

FAILED = 2**64 - 1  # what a count that went wrong counts as


class Tokenizer:
    name = "words"

    def __init__(self, count=lambda text: len(text.split())):
        self.counter, self.texts = count, []

    def count(self, text):
        self.texts.append(text)
        return self.counter(text)


def token_budget(tokenizer, limit=2**64 - 2, content="one two  \nthree\n"):
    request = tw.FoldRequest(content, language="text", budget_tokens=limit, tokenizer=tokenizer)
    budget = tw.Engine().fold_request(request).report.to_dict()["budget"]
    assert request.content == content
    return budget


def test_counts_input_then_output_once_each():
    tokenizer = Tokenizer()
    assert token_budget(tokenizer, limit=3) == {"exact_tokens": True, "input": 3, "limit": 3, "met": True,
                                                "metric": "tokens", "output": 3, "tokenizer": "words"}  # fmt: skip
    assert tokenizer.texts == ["one two  \nthree\n", "one two\nthree\n"]


def named(**attributes):
    return type("Tokenizer", (), {"count": lambda self, text: 1, **attributes})()


@pytest.mark.parametrize("tokenizer, name", [
    (named(), "caller-supplied"), (named(name=42), "caller-supplied"), (named(name=None), "caller-supplied"),
    (named(name=property(lambda self: fail(KeyboardInterrupt))), "caller-supplied"), (named(name="\ud800"), "caller-supplied"),
    (named(name=type("S", (str,), {})("sub")), "sub"), (Tokenizer(), "words"),
])  # fmt: skip
def test_tokenizer_name(tokenizer, name):
    assert token_budget(tokenizer)["tokenizer"] == name


def recurse(text):
    return recurse(text)


def reenter(text):
    """Folds the text it is asked to count, through both entry points, and counts the result."""
    assert token_budget(Tokenizer(len), limit=1, content=text)["input"] == len(text)
    return len(tw.fold(text, language="text").output)


def vanish(self, text):
    del type(self).count  # looked up afresh for each count: the second one fails
    return 2


# Whatever count does, the fold goes on and the caller sees only the counts.
@pytest.mark.parametrize("name, tokenizer, counted", [
    ("int", Tokenizer(lambda t: 5), (5, 5)),
    ("bool", Tokenizer(lambda t: True), (1, 1)),
    ("int subclass", Tokenizer(lambda t: type("Seven", (int,), {})(7)), (7, 7)),
    ("too large", Tokenizer(lambda t: 2**64), (FAILED, FAILED)),
    ("negative", Tokenizer(lambda t: -1), (FAILED, FAILED)),
    ("float", Tokenizer(lambda t: 1.5), (FAILED, FAILED)),
    ("None", Tokenizer(lambda t: None), (FAILED, FAILED)),
    ("raises", Tokenizer(lambda t: fail(ValueError("no"))), (FAILED, FAILED)),
    ("raises a base exception", Tokenizer(lambda t: fail(KeyboardInterrupt)), (FAILED, FAILED)),
    ("recurses without end", Tokenizer(recurse), (FAILED, FAILED)),
    ("re-enters the engine", Tokenizer(reenter), (14, 14)),
    ("count is missing", type("Countless", (), {})(), (FAILED, FAILED)),
    ("count goes away", named(count=vanish), (2, FAILED)),
])  # fmt: skip
def test_count_results(name, tokenizer, counted):
    budget = token_budget(tokenizer)
    assert (budget["input"], budget["output"]) == tuple(float(c) if c >= 2**63 else c for c in counted)
    assert budget["met"] is (counted[1] != FAILED)
    assert len(getattr(tokenizer, "texts", "io")) == 2  # one count each, never retried


def test_the_request_being_folded_cannot_be_changed_from_count():
    refused = []

    def count(text):
        for field, value in {"content": "x", "profile": "logs", "budget_tokens": 1, "language": "json",
                             "protected_line_markers": ["x"]}.items():  # fmt: skip
            try:
                setattr(request, field, value)
            except RuntimeError as error:
                refused.append(str(error))
        return 3

    request = tw.FoldRequest("a  \n", language="text", budget_tokens=5, tokenizer=Tokenizer(count))
    assert (tw.Engine().fold_request(request).output, refused) == ("a\n", ["Already borrowed"] * 10)
    assert (request.content, request.profile, request.budget_tokens, request.language) == ("a  \n", "safe", 5, "text")
    request.content = "b"  # free again after the fold
    assert request.content == "b"


def test_byte_and_char_budgets_leave_the_tokenizer_alone():
    tokenizer = Tokenizer()
    for keyword, metric in [("budget_bytes", "bytes"), ("budget_chars", "characters")]:
        request = tw.FoldRequest("é  \n", language="text", tokenizer=tokenizer, **{keyword: 2})
        budget = tw.Engine().fold_request(request).report.to_dict()["budget"]
        assert (budget["metric"], budget["exact_tokens"], "tokenizer" in budget) == (metric, False, False)
    assert tokenizer.texts == []
    budget = tw.fold("ab\n", language="text", budget_bytes=10, budget_chars=5).report.to_dict()["budget"]
    assert (budget["metric"], budget["limit"]) == ("bytes", 10)  # fold has no error for two: bytes win


ONE = "specify at most one of budget_bytes, budget_chars, budget_tokens"
NO_TOKENIZER = "budget_tokens requires a tokenizer object"


@pytest.mark.parametrize("kwargs, message", [
    ({"budget_bytes": 1, "budget_chars": 2}, ONE), ({"budget_chars": 1, "budget_tokens": 2, "tokenizer": Tokenizer()}, ONE),
    ({"budget_bytes": 0, "budget_chars": 0, "budget_tokens": 0}, ONE),
    ({"budget_tokens": 2}, NO_TOKENIZER), ({"budget_tokens": 2, "tokenizer": None}, NO_TOKENIZER),
])  # fmt: skip
def test_request_budget_selection_errors(kwargs, message):
    with raises_exactly(tw.InvalidConfigError, message):
        tw.Engine().fold_request(tw.FoldRequest("x", **kwargs))


def test_request_releases_its_tokenizer():
    tokenizer = Tokenizer()
    probe = weakref.ref(tokenizer)
    tokenizer.request = tw.FoldRequest("x", budget_tokens=1, tokenizer=tokenizer)  # a cycle through the request
    tw.Engine().fold_request(tokenizer.request)
    del tokenizer
    gc.collect()
    assert probe() is None

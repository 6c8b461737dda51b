import gc
import weakref

import pytest

import tersewright as tw
from conftest import fail

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


def named(**attributes):
    return type("Tokenizer", (), {"count": lambda self, text: 1, **attributes})()


def recurse(text):
    return recurse(text)


def reenter(text):
    """Folds the text it is asked to count, through both entry points, and counts the result."""
    assert token_budget(Tokenizer(len), limit=1, content=text)["input"] == len(text)
    return len(tw.fold(text, language="text").output)


def vanish(self, text):
    del type(self).count  # looked up afresh for each count: the second one fails
    return 2


# Whatever count does and whatever name the tokenizer has, the fold goes on and the caller sees only the counts.
@pytest.mark.parametrize("tokenizer, name, counted", [
    (Tokenizer(lambda t: 5), "words", (5, 5)),
    (Tokenizer(lambda t: True), "words", (1, 1)),
    (Tokenizer(lambda t: type("Seven", (int,), {})(7)), "words", (7, 7)),
    (Tokenizer(lambda t: -1), "words", (FAILED, FAILED)),
    (Tokenizer(lambda t: 1.5), "words", (FAILED, FAILED)),
    (Tokenizer(lambda t: type("Three", (), {"__index__": lambda self: 3})()), "words", (3, 3)),
    (Tokenizer(lambda t: fail(ValueError("no"))), "words", (FAILED, FAILED)),
    (Tokenizer(lambda t: fail(KeyboardInterrupt)), "words", (FAILED, FAILED)),
    (Tokenizer(recurse), "words", (FAILED, FAILED)),
    (Tokenizer(reenter), "words", (14, 14)),
    (type("Countless", (), {})(), "caller-supplied", (FAILED, FAILED)),
    (named(count=vanish), "caller-supplied", (2, FAILED)),
    (named(name=42), "caller-supplied", (1, 1)),
    (named(name=None), "caller-supplied", (1, 1)),
    (named(name=property(lambda self: fail(KeyboardInterrupt))), "caller-supplied", (1, 1)),
    (named(name="\ud800"), "caller-supplied", (1, 1)),
    (named(name=type("S", (str,), {})("sub")), "sub", (1, 1)),
])  # fmt: skip
def test_counts_and_names(tokenizer, name, counted):
    budget = token_budget(tokenizer)
    assert (budget["input"], budget["output"]) == tuple(float(c) if c >= 2**63 else c for c in counted)
    assert (budget["met"], budget["tokenizer"]) == (counted[1] != FAILED, name)
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


def test_only_a_token_budget_counts_input_then_output():
    tokenizer = Tokenizer()
    for keyword, metric in [("budget_bytes", "bytes"), ("budget_chars", "characters")]:
        request = tw.FoldRequest("é  \n", language="text", tokenizer=tokenizer, **{keyword: 2})
        budget = tw.Engine().fold_request(request).report.to_dict()["budget"]
        assert (budget["metric"], budget["exact_tokens"], "tokenizer" in budget) == (metric, False, False)
    assert token_budget(tokenizer, limit=3) == {"exact_tokens": True, "input": 3, "limit": 3, "met": True,
                                                "metric": "tokens", "output": 3, "tokenizer": "words"}  # fmt: skip
    assert tokenizer.texts == ["one two  \nthree\n", "one two\nthree\n"]
    budget = tw.fold("ab\n", language="text", budget_bytes=10, budget_chars=5).report.to_dict()["budget"]
    assert (budget["metric"], budget["limit"]) == ("bytes", 10)  # fold has no error for two: bytes win


def test_request_releases_its_tokenizer():
    tokenizer = Tokenizer()
    probe = weakref.ref(tokenizer)
    tokenizer.request = tw.FoldRequest("x", budget_tokens=1, tokenizer=tokenizer)  # a cycle through the request
    tw.Engine().fold_request(tokenizer.request)
    del tokenizer
    gc.collect()
    assert probe() is None

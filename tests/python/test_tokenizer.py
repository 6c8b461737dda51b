import gc
import weakref

import pytest

import tersewright as tw
from conftest import raises_exactly

FAILED = 2**64 - 1


class Counter:
    name = "words"

    def __init__(self):
        self.texts = []

    def count(self, text):
        self.texts.append(text)
        return len(text.split())


def token_fold(tokenizer, limit=100, content="one two  \nthree\n"):
    request = tw.FoldRequest(content, language="text", budget_tokens=limit, tokenizer=tokenizer)
    return tw.Engine().fold_request(request).report.to_dict()["budget"]


def test_counts_input_then_output_once_each():
    counter = Counter()
    budget = token_fold(counter, limit=3)
    assert counter.texts == ["one two  \nthree\n", "one two\nthree\n"]
    assert budget == {"exact_tokens": True, "input": 3, "limit": 3, "met": True, "metric": "tokens",
                      "output": 3, "tokenizer": "words"}  # fmt: skip


def with_name(**attributes):
    return type("Tokenizer", (), {"count": lambda self, text: 1, **attributes})()


@pytest.mark.parametrize(
    "tokenizer, name",
    [(with_name(), "caller-supplied"), (with_name(name=42), "caller-supplied"), (with_name(name=None), "caller-supplied"),
     (with_name(name=property(lambda self: 1 / 0)), "caller-supplied"), (with_name(name="\ud800"), "caller-supplied"),
     (with_name(name=type("S", (str,), {})("sub")), "sub"), (Counter(), "words")],
)  # fmt: skip
def test_tokenizer_name(tokenizer, name):
    assert token_fold(tokenizer)["tokenizer"] == name


def raising(text):
    raise ValueError("boom")


def wrong_arity():
    return 1


@pytest.mark.parametrize(
    "returned, counted",
    [(5, 5), (True, 1), (0, 0), (2**64 - 1, FAILED), (-1, FAILED), (2**64, FAILED), (1.5, FAILED), ("3", FAILED),
     (None, FAILED)],
)  # fmt: skip
def test_count_results(returned, counted):
    budget = token_fold(with_name(count=lambda self, text: returned), limit=2**64 - 2)
    assert (budget["input"], budget["output"]) == (float(counted) if counted >= 2**63 else counted,) * 2
    assert budget["met"] is (counted <= 2**64 - 2)


class Attribute:
    name = "attr"


@pytest.mark.parametrize("count", [raising, wrong_arity, "not callable", None])
def test_count_failures_are_swallowed(count):
    tokenizer = Attribute()
    if count is not None:
        tokenizer.count = count
    result = tw.Engine().fold_request(tw.FoldRequest("a b\n", language="text", budget_tokens=5, tokenizer=tokenizer))
    assert result.report.to_json().endswith(
        '"budget":{"metric":"tokens","tokenizer":"attr","exact_tokens":true,"limit":5,'
        '"input":18446744073709551615,"output":18446744073709551615,"met":false},"protected_bytes":0}'
    )
    assert result.report.to_dict()["warnings"][-1] == {
        "code": "budget_not_met",
        "message": "output size 18446744073709551615 exceeds budget limit 5 under metric 'tokens'",
    }


def test_count_is_looked_up_afresh_each_time():
    class Swapping:
        def first(self, text):
            self.count = self.second
            return 1

        def second(self, text):
            return 2

        count = first

    budget = token_fold(Swapping())
    assert (budget["input"], budget["output"]) == (1, 2)


def test_assigning_the_request_from_count_is_refused():
    seen = []

    class Meddling:
        def count(self, text):
            try:
                request.budget_tokens = 1
            except RuntimeError as error:
                seen.append(str(error))
            request.content = "changed"  # leaves count with RuntimeError: the count fails
            return 1

    request = tw.FoldRequest("a b\n", language="text", budget_tokens=7, tokenizer=Meddling())
    result = tw.Engine().fold_request(request)
    assert seen == ["Already borrowed", "Already borrowed"]
    assert (request.budget_tokens, request.content) == (7, "a b\n")
    budget = result.report.to_dict()["budget"]
    assert (budget["input"], budget["met"]) == (float(FAILED), False)
    request.content = "free again"
    assert request.content == "free again"


def test_count_may_fold_the_same_request_again():
    outputs = []
    tokenizer = with_name(count=lambda self, text: outputs.append(tw.Engine().fold_request(inner).output) or 1)
    inner = tw.FoldRequest("a b \n", language="text")
    request = tw.FoldRequest("x", language="text", budget_tokens=7, tokenizer=tokenizer)
    assert tw.Engine().fold_request(request).report.to_dict()["budget"]["met"] is True
    assert outputs == ["a b\n", "a b\n"]


def test_byte_and_char_budgets_leave_the_tokenizer_alone():
    counter = Counter()
    for keyword, metric in [("budget_bytes", "bytes"), ("budget_chars", "characters")]:
        request = tw.FoldRequest("é  \n", language="text", tokenizer=counter, **{keyword: 2})
        budget = tw.Engine().fold_request(request).report.to_dict()["budget"]
        measured = (5, 3) if metric == "bytes" else (4, 2)
        assert budget == {"exact_tokens": False, "input": measured[0], "limit": 2, "met": measured[1] <= 2,
                          "metric": metric, "output": measured[1]}  # fmt: skip
    assert counter.texts == []


@pytest.mark.parametrize(
    "kwargs, message",
    [
        ({"budget_bytes": 1, "budget_chars": 2}, "specify at most one of budget_bytes, budget_chars, budget_tokens"),
        ({"budget_chars": 1, "budget_tokens": 2, "tokenizer": Counter()},
         "specify at most one of budget_bytes, budget_chars, budget_tokens"),
        ({"budget_bytes": 0, "budget_chars": 0, "budget_tokens": 0},
         "specify at most one of budget_bytes, budget_chars, budget_tokens"),
        ({"budget_tokens": 2}, "budget_tokens requires a tokenizer object"),
        ({"budget_tokens": 2, "tokenizer": None}, "budget_tokens requires a tokenizer object"),
    ],
)  # fmt: skip
def test_request_budget_selection_errors(kwargs, message):
    with raises_exactly(tw.InvalidConfigError, message):
        tw.Engine().fold_request(tw.FoldRequest("x", **kwargs))


def test_language_is_checked_before_the_budgets():
    request = tw.FoldRequest("x", language="cobol", budget_bytes=1, budget_chars=1)
    with raises_exactly(ValueError, "unknown language: cobol"):
        tw.Engine().fold_request(request)
    request.language = "PY"
    with raises_exactly(tw.InvalidConfigError, "specify at most one of budget_bytes, budget_chars, budget_tokens"):
        tw.Engine().fold_request(request)


def test_module_fold_prefers_bytes_over_chars():
    budget = tw.fold("ab\n", language="text", budget_bytes=10, budget_chars=5).report.to_dict()["budget"]
    assert (budget["metric"], budget["limit"]) == ("bytes", 10)


def test_request_releases_its_tokenizer():
    counter = Counter()
    probe = weakref.ref(counter)
    request = tw.FoldRequest("x", budget_tokens=1, tokenizer=counter)
    counter.request = request  # a cycle through the request
    tw.Engine().fold_request(request)
    del counter, request
    gc.collect()
    assert probe() is None

import gc
import os
import sys

import tersewright as tw

ITERATIONS = 20_000


class Tokenizer:
    name = "t"

    def count(self, text):
        return len(text)


class FailingTokenizer:
    def count(self, text):
        raise ValueError(text)


FAILING_CALLS = [
    (tw.fold, (), {}),
    (tw.fold, ("x",), {"nonsense": 1}),
    (tw.fold, ("x",), {"content": "y"}),
    (tw.fold, tuple(range(10)), {}),
    (tw.fold, ("x",), {"profile": None}),
    (tw.fold, ("x",), {"budget_bytes": -1}),
    (tw.fold, ("x",), {"budget_bytes": 1.5}),
    (tw.fold, ("x",), {"protected_ranges": [(1, 2, 3)]}),
    (tw.fold, ("x",), {"protected_ranges": "s"}),
    (tw.fold, ("x",), {"protected_line_markers": ["a", 1]}),
    (tw.fold, ("\ud800",), {}),
    (tw.fold, ("x",), {"language": "cobol"}),
    (tw.fold, ("x",), {"profile": "nope"}),
    (tw.fold_file, ("/nonexistent/file",), {}),
    (tw.fold_file, ("/",), {}),
    (tw.profile_info, ("nope",), {}),
    (tw.Engine, (1,), {}),
    (tw.FoldResult, (), {}),
    (tw.FoldRequest, ("x",), {"allow_lossy": 1}),
]


def exercise(engine, path):
    result = tw.fold("x = 1  # c\n\n\n", path="a.py")
    report = result.report
    _ = (result.output, result.lossy, repr(result), repr(report), report.to_dict(), report.to_json())
    _ = [getattr(report, name) for name in ("profile", "syntax_valid", "reduction_ratio", "input_bytes")]
    engine.fold("a  \n", language="text", budget_chars=1, protected_ranges=[(0, 1)], protected_line_markers=["k"])
    engine.fold_file(path).report.to_json()
    tw.fold_file(path, language="text")
    request = tw.FoldRequest("b  \n", budget_tokens=1, tokenizer=Tokenizer(), protected_ranges=[(0, 1)])
    request.protected_line_markers = ["m"]
    _ = (request.protected_ranges, request.protected_line_markers, repr(request))
    engine.fold_request(request).report.to_dict()
    engine.fold_request(tw.FoldRequest("c", budget_tokens=1, tokenizer=FailingTokenizer())).report.to_json()
    _ = (tw.profiles(), tw.profile_info("budgeted"), tw.detect_language("# x\n", "a.md"), tw.supported_languages())
    for function, args, kwargs in FAILING_CALLS:
        try:
            function(*args, **kwargs)
        except (TypeError, ValueError, OverflowError, OSError, tw.TerseWrightError):
            pass
        else:
            raise AssertionError(f"{function.__name__}{args} did not fail")


def resident_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def test_no_growth_over_many_calls(tmp_path):
    path = str(tmp_path / "f.py")
    with open(path, "w") as file:
        file.write("def f():\n    return 1  # one\n")
    engine = tw.Engine()
    for _ in range(300):
        exercise(engine, path)
    total_references = getattr(sys, "gettotalrefcount", None)
    gc.collect()
    before = (total_references() if total_references else 0, sys.getallocatedblocks(), resident_bytes())
    for _ in range(ITERATIONS):
        exercise(engine, path)
    gc.collect()
    after = (total_references() if total_references else 0, sys.getallocatedblocks(), resident_bytes())
    references, blocks, resident = (b - a for a, b in zip(before, after))
    assert references < 200
    # One leaked object per iteration, however small, would add ITERATIONS blocks.
    assert blocks < ITERATIONS // 10
    assert resident < 2 * 1024 * 1024

"""Per-call cost of the Python surface, measured side by side in one run.

Run with the built package on the path:  PYTHONPATH=build/python python3 bench/python_overhead.py
"""

import json
import sys
import timeit

import tersewright as tw

# Exactly 100 bytes of Python with a comment and trailing blanks to remove.
TEXT = "import os\n\n\ndef area(w, h):  # rectangle\n    return w * h   \n\n\nprint(area(2, 3))\nx = os.sep  # seps\n"
assert len(TEXT.encode()) == 100, len(TEXT.encode())


def per_call_times(cases, rounds=9):
    """Best time per call of each case; rounds interleave the cases so that load on a shared
    machine hits them alike."""
    timers = [(timeit.Timer(call), timeit.Timer(call).autorange()[0]) for _, call in cases]
    best = [float("inf")] * len(cases)
    for _ in range(rounds):
        for index, (timer, number) in enumerate(timers):
            best[index] = min(best[index], timer.timeit(number) / number)
    return best


def main():
    engine = tw.Engine()
    report = engine.fold(TEXT, path="bench.py").report
    cases = [
        ("Engine.fold, 100-byte Python text", lambda: engine.fold(TEXT, path="bench.py")),
        ("fold (module, new engine each call)", lambda: tw.fold(TEXT, path="bench.py")),
        ("Engine.fold, same text as plain text", lambda: engine.fold(TEXT, language="text")),
        ("Engine() construction", tw.Engine),
        ("Report.to_json()", report.to_json),
        ("Report.to_dict()", report.to_dict),
        ("json.dumps(Report.to_dict())", lambda: json.dumps(report.to_dict())),
    ]
    print(f"Python {sys.version.split()[0]}; report: {report!r}")
    width = max(len(name) for name, _ in cases)
    for (name, _), seconds in zip(cases, per_call_times(cases)):
        print(f"{name:<{width}}  {seconds * 1e6:9.2f} us/call")


if __name__ == "__main__":
    main()

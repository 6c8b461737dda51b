import json

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import tersewright as tw
from conftest import plain

TEXT_JSON = (
    '{"engine_version":"0.1.0","profile":"safe","profile_version":1,"profile_schema_version":1,'
    '"detected_language":"text","parse_status":"fallback","behavior_preserving":true,'
    '"semantic_equivalence":"not_guaranteed","input":{"bytes":10,"chars":10,"lines":4},'
    '"output":{"bytes":6,"chars":6,"lines":3},"reduction_ratio":0.4,"rules":['
    '{"rule":"trim_trailing_whitespace","rule_name":"trim_trailing_whitespace","changes":2,"bytes_removed":3,'
    '"lossy":false,"description":"Trimmed trailing whitespace on trivia lines."},'
    '{"rule":"collapse_blank_lines","rule_name":"collapse_blank_lines","changes":1,"bytes_removed":1,'
    '"lossy":false,"description":"Collapsed runs of blank lines."}],"warnings":[],"protected_bytes":0}'
)
ESCAPED_NAME = 'q"b\\s/\x08\t\n\x0c\r\x00\x01\x1b\x1f\x7fé😀'
NAMED = type("Named", (), {"name": ESCAPED_NAME, "count": lambda self, text: 0})()


# (a fold, a run of its JSON text): every member kind, optional members, escapes and the extreme numbers.
MEMBERS = [
    (plain("a  \n\n\n\tb\t\n"), TEXT_JSON),
    (tw.fold("x = 1\n#2\n", path="a.py"), '"parse_status":"parsed","behavior_preserving":true,'
     '"semantic_equivalence":"not_guaranteed","syntax_valid":true,"input":{"bytes":9,"chars":9,"lines":2},'),
    (tw.fold("def (:\n", path="broken.py"), '"semantic_equivalence":"not_guaranteed","syntax_valid":false,"input":'),
    (tw.fold("def f():\n    return 1\n", profile="interface-only", path="m.py"), '"bytes_removed":-36,"lossy":true,'),
    (plain("abcdef\n", budget_bytes=3), '"warnings":[{"code":"budget_not_met","message":"output size 7 exceeds budget '
     'limit 3 under metric \'bytes\'"}],"budget":{"metric":"bytes","exact_tokens":false,"limit":3,"input":7,'
     '"output":7,"met":false},"protected_bytes":0}'),
    (plain("a  \n", budget_bytes=2**63), '"budget":{"metric":"bytes","exact_tokens":false,'
     '"limit":9223372036854775808,"input":4,"output":2,"met":true},"protected_bytes":0}'),
    (plain("x", protected_ranges=[(0, 2**64 - 1)]), '"protected_bytes":18446744073709551615}'),
    (tw.Engine().fold_request(tw.FoldRequest("x", language="text", budget_tokens=0, tokenizer=NAMED)),
     '"budget":{"metric":"tokens","tokenizer":"q\\"b\\\\s/\\b\\t\\n\\f\\r\\u0000\\u0001\\u001b\\u001f\x7fé😀",'
     '"exact_tokens":true,'),
]  # fmt: skip


def dict_form(json_text):
    """What to_dict gives for a JSON text: keys sorted at every level, integers from 2**63 on as floats."""
    data = json.loads(json_text, parse_int=lambda digits: float(digits) if int(digits) >= 2**63 else int(digits))
    return json.dumps(data, sort_keys=True)


@pytest.mark.parametrize("result, fragment", MEMBERS, ids=range(len(MEMBERS)))
def test_report_json_and_its_dict_form(result, fragment):
    text = result.report.to_json()
    assert fragment in text and text == result.report.to_json()
    assert json.dumps(result.report.to_dict()) == dict_form(text)  # same values, types and key order


def test_the_representation_of_a_lossy_fold():
    assert repr(MEMBERS[3][0]) == "FoldResult(output_bytes=58, reduction=0.000, lossy=true)"


# (content, the ratio as the representations print it, as the JSON writes it): ties go to the even digit.
@pytest.mark.parametrize("content, shown, written", [
    ("abcdefghijklmn \n", "0.062", "0.0625"),
    ("abcdefghijkl   \n", "0.188", "0.1875"),
    ("a  \n", "0.500", "0.5"),
    ("abc\n", "0.000", "0.0"),
    (" ", "1.000", "1.0"),
    ("a" * 997 + "  \n", "0.002", "0.0020000000000000018"),
    ("a" * 9999 + " \n", "0.000", "0.00009999000099991662"),
    ("a" * 99998 + " \n", "0.000", "9.99999999995449e-6"),
    ("a" * 399998 + " \n", "0.000", "2.500000000016378e-6"),
], ids=lambda value: str(value)[:16])  # fmt: skip
def test_ratio_notations(content, shown, written):
    result = plain(content)
    assert repr(result) == f"FoldResult(output_bytes={len(result.output)}, reduction={shown}, lossy=false)"
    assert repr(result.report) == f'Report(profile="safe", language="text", parse_status=fallback, reduction={shown})'
    assert f'"reduction_ratio":{written},"rules"' in result.report.to_json()
    assert float(written) == result.report.reduction_ratio


@settings(max_examples=300, deadline=None, database=None)
@given(content=st.text(st.characters(blacklist_categories=("Cs",)), max_size=300),
       language=st.sampled_from([None, "text", "python", "go", "markdown", "log", "json"]),
       profile=st.sampled_from(tw.profiles()), budget=st.none() | st.integers(0, 2**64 - 1))  # fmt: skip
def test_json_and_dict_agree(content, language, profile, budget):
    report = tw.fold(content, profile=profile, language=language, budget_chars=budget).report
    text = report.to_json()
    assert json.dumps(report.to_dict()) == dict_form(text)
    # Compact, in order, escaped as the standard library escapes: only the ratio's notation differs.
    data = json.loads(text)
    ratio = text.split('"reduction_ratio":')[1].split(",")[0]
    rebuilt = json.dumps(data, separators=(",", ":"), ensure_ascii=False)
    assert rebuilt.replace(f'"reduction_ratio":{data["reduction_ratio"]!r}', f'"reduction_ratio":{ratio}') == text

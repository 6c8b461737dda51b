import decimal
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

PYTHON_JSON = (
    '{"engine_version":"0.1.0","profile":"safe","profile_version":1,"profile_schema_version":1,'
    '"detected_language":"python","parse_status":"parsed","behavior_preserving":true,'
    '"semantic_equivalence":"not_guaranteed","syntax_valid":true,"input":{"bytes":20,"chars":20,"lines":2},'
    '"output":{"bytes":10,"chars":10,"lines":1},"reduction_ratio":0.5,"rules":[{"rule":"strip_comments",'
    '"rule_name":"strip_comments","changes":1,"bytes_removed":10,"lossy":false,'
    '"description":"Removed comment nodes."}],"warnings":[],"protected_bytes":0}'
)

TOP_LEVEL_KEYS = [
    "behavior_preserving", "budget", "detected_language", "engine_version", "input", "output", "parse_status",
    "profile", "profile_schema_version", "profile_version", "protected_bytes", "reduction_ratio", "rules",
    "semantic_equivalence", "syntax_valid", "warnings",
]  # fmt: skip


def test_plain_text_report_json_bytes():
    report = plain("a  \n\n\n\tb\t\n").report
    assert report.to_json() == TEXT_JSON
    assert report.to_json() == TEXT_JSON  # repeatable
    assert report.to_dict() == json.loads(TEXT_JSON)


def test_python_report_json_bytes():
    result = tw.fold("x = 12345\n#23456789\n", path="a.py")
    assert result.output == "x = 12345\n"
    assert result.report.to_json() == PYTHON_JSON


def test_dict_keys_are_sorted_at_every_level():
    request = tw.FoldRequest("def f():\n    return 1\n", profile="interface-only", path="m.py", budget_bytes=1,
                             tokenizer=object())  # fmt: skip
    report = tw.Engine().fold_request(request).report
    data = report.to_dict()
    assert list(data) == TOP_LEVEL_KEYS
    assert list(data["budget"]) == ["exact_tokens", "input", "limit", "met", "metric", "output"]
    assert list(data["input"]) == list(data["output"]) == ["bytes", "chars", "lines"]
    assert [list(rule) for rule in data["rules"]] == [
        ["bytes_removed", "changes", "description", "lossy", "rule", "rule_name"]
    ] * len(data["rules"])
    assert [list(warning) for warning in data["warnings"]] == [["code", "message"]] * len(data["warnings"])


def test_lossy_interface_fold_with_negative_bytes_removed():
    result = tw.fold("def f():\n    return 1\n", profile="interface-only", path="m.py")
    assert result.output == "def f():\n    ...  # [tersewright: implementation omitted]\n"
    assert result.lossy is True and result.report.behavior_preserving is False
    assert '"bytes_removed":-36,"lossy":true,' in result.report.to_json()
    rule = result.report.to_dict()["rules"][0]
    assert (rule["rule"], rule["bytes_removed"], rule["lossy"]) == ("interface_only", -36, True)
    assert result.report.reduction_ratio == 0.0
    assert repr(result).endswith(", reduction=0.000, lossy=true)")


def test_json_without_optional_members():
    text = plain("x").report.to_json()
    assert '"syntax_valid"' not in text and '"budget"' not in text
    assert '"semantic_equivalence":"not_guaranteed","input":' in text
    assert text.endswith('"rules":[],"warnings":[],"protected_bytes":0}')
    data = plain("x").report.to_dict()
    assert "syntax_valid" not in data and "budget" not in data
    assert list(data)[0] == "behavior_preserving"


def test_syntax_valid_false_follows_semantic_equivalence():
    report = tw.fold("def (:\n", path="broken.py").report
    assert report.syntax_valid is False and report.parse_status == "parse_failed"
    assert '"semantic_equivalence":"not_guaranteed","syntax_valid":false,"input":' in report.to_json()
    assert report.to_dict()["syntax_valid"] is False


def test_budget_member_and_huge_numbers():
    report = plain("a  \n", budget_bytes=2**64 - 1).report
    assert report.to_json().endswith(
        '"warnings":[],"budget":{"metric":"bytes","exact_tokens":false,"limit":18446744073709551615,'
        '"input":4,"output":2,"met":true},"protected_bytes":0}'
    )
    budget = report.to_dict()["budget"]
    assert budget["limit"] == 2.0**64 and type(budget["limit"]) is float
    assert type(budget["input"]) is int


def test_protected_bytes_beyond_2_63_is_a_float_in_the_dict():
    report = plain("x", protected_ranges=[(0, 2**64 - 1)]).report
    assert report.protected_bytes == 2**64 - 1
    assert report.to_json().endswith('"protected_bytes":18446744073709551615}')
    assert report.to_dict()["protected_bytes"] == float(2**64 - 1)


ESCAPED_NAME = 'q"b\\s/\x08\t\n\x0c\r\x00\x01\x1b\x1f\x7fé😀'
ESCAPED_JSON = '"q\\"b\\\\s/\\b\\t\\n\\f\\r\\u0000\\u0001\\u001b\\u001f\x7fé😀"'


def test_string_escapes():
    class Named:
        name = ESCAPED_NAME

        def count(self, text):
            return 0

    request = tw.FoldRequest("x", language="text", budget_tokens=0, tokenizer=Named())
    report = tw.Engine().fold_request(request).report
    assert f'"tokenizer":{ESCAPED_JSON},"exact_tokens":true' in report.to_json()
    assert report.to_dict()["budget"]["tokenizer"] == ESCAPED_NAME
    assert json.loads(report.to_json())["budget"]["tokenizer"] == ESCAPED_NAME


def expected_ratio_text(value):
    """The report's number notation, derived independently from Python's shortest repr."""
    if value == 0:
        return "0.0"
    sign, digits, exponent = decimal.Decimal(repr(value)).normalize().as_tuple()
    digits = "".join(map(str, digits))
    point = len(digits) + exponent  # value = 0.digits * 10**point
    if 0 < point <= 16:
        whole, fraction = digits[:point].ljust(point, "0"), digits[point:] or "0"
        return f"{whole}.{fraction}"
    if -5 < point <= 0:
        return "0." + "0" * -point + digits
    mantissa = digits[0] + ("." + digits[1:] if len(digits) > 1 else "")
    return f"{mantissa}e{point - 1}"


# (kept bytes, removed trailing blanks): the ratio is removed / (kept + removed + 1).
RATIO_CASES = [(1, 0), (1, 1), (2, 1), (1, 2), (10, 1), (0, 1), (9_999, 1), (99_998, 1), (249_998, 1), (399_998, 1)]


@pytest.mark.parametrize("kept, removed", RATIO_CASES)
def test_ratio_notation(kept, removed):
    report = plain("a" * kept + " " * removed + "\n").report
    text = report.to_json()
    written = text[text.index('"reduction_ratio":') + 18 : text.index(',"rules"')]
    assert written == expected_ratio_text(report.reduction_ratio)
    assert float(written) == report.reduction_ratio


def test_notation_oracle():
    # Pins the oracle to the documented examples, so that a wrong oracle cannot hide a wrong writer.
    examples = {0.0: "0.0", 1.0: "1.0", 0.25: "0.25", 1 / 3: "0.3333333333333333", 4e-6: "4e-6", 2.5e-6: "2.5e-6",
                0.0001: "0.0001", 12.5: "12.5", 100.0: "100.0", 1e16: "1e16", 1e15: "1000000000000000.0"}  # fmt: skip
    assert {value: expected_ratio_text(value) for value in examples} == examples


JSON_ORDER = [
    "engine_version", "profile", "profile_version", "profile_schema_version", "detected_language", "parse_status",
    "behavior_preserving", "semantic_equivalence", "syntax_valid", "input", "output", "reduction_ratio", "rules",
    "warnings", "budget", "protected_bytes",
]  # fmt: skip


@settings(max_examples=300, deadline=None, database=None)
@given(
    content=st.text(st.characters(blacklist_categories=("Cs",)), max_size=300),
    language=st.sampled_from([None, "text", "python", "go", "markdown", "log", "json"]),
    profile=st.sampled_from(tw.profiles()),
    budget=st.none() | st.integers(0, 2**63 - 1),
)
def test_json_of_any_fold(content, language, profile, budget):
    result = tw.fold(content, profile=profile, language=language, budget_chars=budget)
    report = result.report
    text = report.to_json()
    data = json.loads(text)
    assert list(data) == [key for key in JSON_ORDER if key in data]
    assert report.output_bytes == len(result.output.encode())
    ratio = text.split('"reduction_ratio":')[1].split(",")[0]
    assert ratio == expected_ratio_text(report.reduction_ratio)
    # Compact, in order, escaped as the standard library escapes: only the ratio's notation differs.
    rebuilt = json.dumps(data, separators=(",", ":"), ensure_ascii=False)
    assert rebuilt.replace(f'"reduction_ratio":{data["reduction_ratio"]!r}', f'"reduction_ratio":{ratio}') == text

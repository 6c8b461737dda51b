import importlib
import os
import subprocess
import sys
import textwrap

import pytest

import tersewright
from conftest import raises_exactly

ATTRIBUTES = [
    "Engine", "FoldRequest", "FoldResult", "Report",
    "TerseWrightError", "UnknownProfileError", "InvalidConfigError", "BudgetNotMetError",
    "fold", "fold_file", "profiles", "profile_info", "detect_language", "supported_languages",
    "__version__",
]  # fmt: skip

EXCEPTIONS = [
    ("TerseWrightError", Exception),
    ("UnknownProfileError", tersewright.TerseWrightError),
    ("InvalidConfigError", tersewright.TerseWrightError),
    ("BudgetNotMetError", tersewright.TerseWrightError),
]


def test_attributes_come_in_their_fixed_order(core):
    names = [name for name in vars(core) if not name.startswith("__") or name == "__version__"]
    assert names == ATTRIBUTES
    assert core.__version__ == "0.1.0"
    assert core.__doc__ == ""


def test_package_reexports_the_module(core):
    for name in ATTRIBUTES:
        assert getattr(tersewright, name) is getattr(core, name)
    assert sorted(tersewright.__all__) == sorted(ATTRIBUTES)


def test_initialising_again_gives_the_cached_module(core):
    saved = sys.modules.pop(core.__name__)
    try:
        again = importlib.import_module(core.__name__)
    finally:
        sys.modules[core.__name__] = saved
    assert again is core
    bare = os.path.dirname(core.__file__)
    sys.path.insert(0, bare)
    try:
        import _core
    finally:
        sys.path.remove(bare)
    assert _core is core


def test_a_second_interpreter_is_refused():
    pytest.importorskip("_xxsubinterpreters")
    script = textwrap.dedent(
        """
        import _xxsubinterpreters as interpreters
        import tersewright
        interpreter = interpreters.create()
        try:
            interpreters.run_string(interpreter, "import tersewright")
        except interpreters.RunFailedError as error:
            print(error)
        else:
            print("imported")
        interpreters.destroy(interpreter)
        print(tersewright.fold("a ", language="text").output == "a")
        """
    )
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=60, env=os.environ)
    assert done.returncode == 0, done.stderr
    first, second = done.stdout.splitlines()
    assert first.startswith("<class 'ImportError'>: ")
    assert second == "True"


@pytest.mark.parametrize("name", ["Engine", "FoldRequest", "FoldResult", "Report"])
def test_classes_live_in_builtins(core, name):
    cls = getattr(core, name)
    assert (cls.__name__, cls.__qualname__, cls.__module__) == (name, name, "builtins")


@pytest.mark.parametrize("name, base", EXCEPTIONS)
def test_exception_types(core, name, base):
    error = getattr(core, name)
    assert error.__bases__ == (base,)
    assert (error.__module__, error.__name__, error.__qualname__) == ("_core", name, name)
    assert error.__doc__ is None
    assert str(error("a message")) == "a message"


def test_profiles_are_listed_fresh_each_call(core):
    first = core.profiles()
    assert first == ["safe", "code-review", "interface-only", "documentation", "logs", "budgeted"]
    first.append("mine")
    assert core.profiles() == ["safe", "code-review", "interface-only", "documentation", "logs", "budgeted"]


def test_profile_info_dictionary(core):
    info = core.profile_info("logs")
    assert list(info) == ["description", "loss", "name", "preservation", "rules", "version"]
    assert (info["name"], info["version"], info["loss"]) == ("logs", 1, {"allow_lossy": True})
    assert list(info["preservation"].items()) == [
        ("protect_error_handling", True),
        ("protect_imports", True),
        ("protected_line_markers", ["tersewright:keep", "@tersewright-keep"]),
        ("protected_ranges", []),
    ]
    assert list(info["rules"].items()) == [
        ("blank_lines", "collapse_to_one"),
        ("collapse_log_repeats", 1),
        ("comments", "keep"),
        ("docstrings", False),
        ("interface_only", False),
        ("markdown_dedupe", False),
        ("trim_trailing_whitespace", True),
    ]
    safe, budgeted = core.profile_info("safe"), core.profile_info("budgeted")
    assert (safe["rules"]["collapse_log_repeats"], safe["rules"]["comments"], safe["loss"]) == (
        None, "remove", {"allow_lossy": False})  # fmt: skip
    assert budgeted["rules"]["blank_lines"] == "remove_all"


def test_profile_info_is_a_new_dict_each_call(core):
    core.profile_info("safe")["rules"]["comments"] = "changed"
    assert core.profile_info("safe")["rules"]["comments"] == "remove"


@pytest.mark.parametrize("name", ["Safe", "", " safe", "code_review", "safe\0"])
def test_profile_info_unknown_name_is_the_message(core, name):
    with raises_exactly(core.UnknownProfileError, name):
        core.profile_info(name)


def test_supported_languages(core):
    languages = core.supported_languages()
    assert languages == ["markdown", "log", "json", "text", "python", "rust", "javascript", "typescript", "tsx", "go"]
    languages.clear()
    assert len(core.supported_languages()) == 10


def test_detect_language(core):
    assert core.detect_language("x = 1\n", "a.py") == "python"
    assert core.detect_language("", None) == core.detect_language("") == core.detect_language("", path=None)
    assert core.detect_language("", None) in core.supported_languages() + ["unknown"]


def test_an_unmet_budget_is_reported_not_raised(core):
    result = core.fold("abcdef\n", language="text", budget_bytes=3)
    budget = result.report.to_dict()["budget"]
    assert (budget["met"], budget["output"], budget["limit"]) == (False, 7, 3)
    assert result.report.to_dict()["warnings"] == [
        {"code": "budget_not_met", "message": "output size 7 exceeds budget limit 3 under metric 'bytes'"}
    ]


def test_unknown_profile_and_language_order(core):
    # The profile is the engine's to judge, after the binding has parsed the language.
    with raises_exactly(ValueError, "unknown language: cobol"):
        core.fold("x", profile="nope", language="COBOL")
    with raises_exactly(core.UnknownProfileError, "nope"):
        core.fold("x", profile="nope", language="text")

import importlib
import json
import os
import subprocess
import sys
import textwrap

import pytest

import tersewright
from conftest import PROFILES, raises_exactly

core = tersewright._core
ATTRIBUTES = [
    "Engine", "FoldRequest", "FoldResult", "Report",
    "TerseWrightError", "UnknownProfileError", "InvalidConfigError", "BudgetNotMetError",
    "fold", "fold_file", "profiles", "profile_info", "detect_language", "supported_languages", "__version__",
]  # fmt: skip


def test_attributes_in_their_fixed_order_reexported_by_the_package():
    assert [name for name in vars(core) if not name.startswith("__") or name == "__version__"] == ATTRIBUTES
    package_own = ["DIRECTIVE_MARKERS", "directive_ranges", "fit", "FitResult", "FitEntry", "FitSkip"]
    assert (core.__version__, core.__doc__, sorted(tersewright.__all__)) == ("0.1.0", "", sorted(ATTRIBUTES + package_own))
    assert all(hasattr(tersewright, name) for name in package_own)
    assert all(getattr(tersewright, name) is getattr(core, name) for name in ATTRIBUTES)
    for name in ATTRIBUTES[:8]:  # the classes, then the exceptions
        cls, module = getattr(core, name), "builtins" if name in ATTRIBUTES[:4] else "_core"
        assert (cls.__name__, cls.__qualname__, cls.__module__) == (name, name, module)
    errors = [getattr(core, name) for name in ATTRIBUTES[4:8]]
    assert [error.__bases__ for error in errors] == [(Exception,)] + [(core.TerseWrightError,)] * 3
    assert [error.__doc__ for error in errors] == [None] * 4


def test_initialising_again_gives_the_cached_module():
    saved = sys.modules.pop(core.__name__)
    try:
        assert importlib.import_module(core.__name__) is core
    finally:
        sys.modules[core.__name__] = saved


def test_a_second_interpreter_is_refused():
    pytest.importorskip("_xxsubinterpreters")
    script = textwrap.dedent("""
        import _xxsubinterpreters as interpreters
        import tersewright
        interpreter = interpreters.create()
        try:
            interpreters.run_string(interpreter, "import tersewright")
        except interpreters.RunFailedError as error:
            print(error)
        interpreters.destroy(interpreter)
        print(tersewright.fold("a ", language="text").output == "a")
        """)  # fmt: skip
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=60, env=os.environ)
    assert done.returncode == 0, done.stderr
    assert done.stdout.splitlines() == ["<class 'ImportError'>: _core supports a single interpreter per process and "
                                        "was already initialised in another one", "True"]


def test_listings_are_fresh_lists_and_no_argument_callables_take_none():
    for listing, expected in [(core.profiles, PROFILES), (core.supported_languages, [
            "markdown", "log", "json", "text", "python", "rust", "javascript", "typescript", "tsx", "go"])]:
        listing().append("mine")
        assert listing() == expected
    report = core.fold("x", language="text").report
    for function in [core.profiles, core.supported_languages, report.to_dict, report.to_json]:
        with pytest.raises(TypeError, match="takes no arguments"):
            function(1)


def test_profile_info_is_a_fresh_sorted_dict():
    info = core.profile_info("logs")
    assert info.pop("description").startswith("LOSSY: collapse consecutive duplicate log events")
    assert json.dumps(info) == (
        '{"loss": {"allow_lossy": true}, "name": "logs", "preservation": {"protect_error_handling": true, '
        '"protect_imports": true, "protected_line_markers": ["tersewright:keep", "@tersewright-keep"], '
        '"protected_ranges": []}, "rules": {"blank_lines": "collapse_to_one", "collapse_log_repeats": 1, '
        '"comments": "keep", "docstrings": false, "interface_only": false, "markdown_dedupe": false, '
        '"trim_trailing_whitespace": true}, "version": 1}')
    info["rules"]["comments"] = "changed"
    safe, budgeted = core.profile_info("safe"), core.profile_info("budgeted")["rules"]
    assert (core.profile_info("logs")["rules"]["comments"], safe["rules"]["collapse_log_repeats"], safe["loss"],
            budgeted["blank_lines"], budgeted["docstrings"]) == (
        "keep", None, {"allow_lossy": False}, "remove_all", True)  # fmt: skip


@pytest.mark.parametrize("name", ["Safe", "", " safe", "code_review", "safe\0"])
def test_unknown_profile_message_is_the_name(name):
    with raises_exactly(core.UnknownProfileError, name):
        core.profile_info(name)
    with raises_exactly(core.UnknownProfileError, name):
        core.fold("x", profile=name, language="text")


def test_detect_language():
    assert (core.detect_language("x = 1\n", "a.py"), core.detect_language("x = 1\n")) == ("python", "unknown")

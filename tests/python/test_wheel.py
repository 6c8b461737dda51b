"""The wheel: built offline from a copy of the sources, installed into a fresh virtual environment,
and run from there without any help from the build tree."""

import os
import re
import shutil
import subprocess
import sys
import sysconfig
import zipfile
from pathlib import Path

import pytest

SOURCE_ROOT = Path(__file__).resolve().parents[2]
# Build trees, VCS metadata and leftovers of earlier builds stay behind: the wheel must build from
# what a clean clone holds.
COPY_IGNORE = shutil.ignore_patterns("build*", ".git", "node_modules", "__pycache__", "*.egg-info", "dist", ".hypothesis")


def _run(command, **kwargs):
    done = subprocess.run(command, capture_output=True, **kwargs)
    assert done.returncode == 0, f"{command} failed:\n{done.stdout.decode()[-3000:]}\n{done.stderr.decode()[-3000:]}"
    return done


def _clean_env(**extra):
    env = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "PYTHONHOME", "VIRTUAL_ENV")}
    env.update(extra)
    return env


@pytest.fixture(scope="module")
def installed(tmp_path_factory):
    work = tmp_path_factory.mktemp("wheel")
    source = work / "source"
    shutil.copytree(SOURCE_ROOT, source, ignore=COPY_IGNORE, symlinks=True)
    env = _clean_env(TERSEWRIGHT_CMAKE_BUILD_DIR=str(work / "cmake"), CMAKE_BUILD_PARALLEL_LEVEL="2")
    _run(
        [sys.executable, "-m", "pip", "wheel", "--no-build-isolation", "--no-deps", "--no-cache-dir",
         "--wheel-dir", str(work / "dist"), str(source)],
        env=env, cwd=work, timeout=3000,
    )
    wheels = list((work / "dist").glob("tersewright-0.1.0-*.whl"))
    assert len(wheels) == 1, wheels
    venv = work / "venv"
    _run([sys.executable, "-m", "venv", "--system-site-packages", str(venv)], env=_clean_env(), timeout=300)
    _run([str(venv / "bin" / "python"), "-m", "pip", "install", "--no-index", "--no-deps", str(wheels[0])],
         env=_clean_env(), timeout=300)
    return wheels[0], venv


def test_wheel_holds_the_package_and_its_metadata(installed):
    wheel, _ = installed
    with zipfile.ZipFile(wheel) as archive:
        names = set(archive.namelist())
        package = {name.split("/", 1)[1] for name in names if name.startswith("tersewright/")}
        assert package == {
            "__init__.py", "__main__.py", "bundle.py", "directives.py", "distributed.py", "fitting.py", "_core.pyi",
            "_local_worker.py", "py.typed",
            *(f"cli/{name}.py" for name in ("__init__", "cluster", "commands", "errors", "fit", "ignore", "outputs",
                                            "parallel", "reporting", "sources")),
            "_core" + sysconfig.get_config_var("EXT_SUFFIX"),
        }
        metadata = archive.read("tersewright-0.1.0.dist-info/METADATA").decode()
        entry_points = archive.read("tersewright-0.1.0.dist-info/entry_points.txt").decode()
    assert "\nVersion: 0.1.0\n" in metadata and "\nRequires-Python: >=3.9\n" in metadata
    assert re.search(r"\nRequires-Dist: pathspec ?\(?>=0\.11\)?\n", metadata)  # either metadata spelling
    assert "\nProvides-Extra: distributed\n" in metadata
    assert "tersewright = tersewright.cli:main" in entry_points


SOURCE = "import os  # unused\n\n\n\nprint(os.sep)   \n"


# how the command is started, arguments, standard input, expected standard output
@pytest.mark.parametrize(
    "launcher,args,stdin,expected",
    [
        ("script", ["--version"], "", "tersewright 0.1.0\n"),
        ("script", ["fold", "--language", "python"], SOURCE, "import os\n\nprint(os.sep)\n"),
        ("script", ["fold", "--profile", "code-review", "--language", "py"], SOURCE, "import os  # unused\n\nprint(os.sep)\n"),
        ("module", ["--version"], "", "tersewright 0.1.0\n"),
        ("module", ["detect", "-"], "# Title\n- item\n", "-\tmarkdown\n"),
    ],
)
def test_installed_command_runs_outside_the_build_tree(installed, tmp_path, launcher, args, stdin, expected):
    _, venv = installed
    command = [str(venv / "bin" / "tersewright")] if launcher == "script" else [str(venv / "bin" / "python"), "-m", "tersewright"]
    done = _run(command + args, input=stdin.encode(), cwd=tmp_path, env=_clean_env(), timeout=120)
    assert done.stdout.decode() == expected


def test_installed_package_comes_from_the_environment(installed, tmp_path):
    _, venv = installed
    code = "import tersewright, sys; print(tersewright.__file__); print(tersewright.fold('a  \\n', language='text').output, end='')"
    done = _run([str(venv / "bin" / "python"), "-c", code], cwd=tmp_path, env=_clean_env(), timeout=120)
    location, folded = done.stdout.decode().split("\n", 1)
    assert Path(location).resolve().is_relative_to(venv.resolve())
    assert folded == "a\n"

"""Build glue: setuptools packages python/tersewright and lets our CMake build produce _core.

The metadata lives in pyproject.toml. The extension is declared without sources so that the wheel
is tagged for this interpreter and platform; build_ext then configures the CMake project with the
interpreter that runs the build, builds only the `_core` target and copies the module into place.

Environment:
  TERSEWRIGHT_CMAKE_BUILD_DIR  CMake build directory to use (default: inside setuptools' build tree)
  CMAKE_BUILD_PARALLEL_LEVEL   parallel compile jobs (default: 2)
"""

import os
import shutil
import subprocess
import sys
import sysconfig
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

SOURCE_DIR = Path(__file__).resolve().parent


class CMakeBuild(build_ext):
    def build_extension(self, ext: Extension) -> None:
        build_dir = Path(os.environ.get("TERSEWRIGHT_CMAKE_BUILD_DIR") or Path(self.build_temp) / "cmake").resolve()
        build_type = "Debug" if self.debug else "Release"
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", "2")
        self._run(
            [
                "cmake",
                "-S", str(SOURCE_DIR),
                "-B", str(build_dir),
                "-G", "Ninja",
                f"-DCMAKE_BUILD_TYPE={build_type}",
                f"-DPython3_EXECUTABLE={sys.executable}",
                "-DTERSEWRIGHT_BUILD_TESTS=OFF",
            ]
        )
        self._run(["cmake", "--build", str(build_dir), "--target", "tersewright_core", "-j", jobs])

        suffix = sysconfig.get_config_var("EXT_SUFFIX")
        built = build_dir / "python" / "tersewright" / f"_core{suffix}"
        if not built.is_file():
            raise RuntimeError(f"the CMake build did not produce {built}")
        target = Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built, target)

    @staticmethod
    def _run(command) -> None:
        print(" ".join(command), flush=True)
        subprocess.run(command, check=True)


setup(
    # Package layout here rather than in pyproject.toml, whose [tool.setuptools] table Debian's
    # setuptools still flags as beta.
    package_dir={"": "python"},
    packages=["tersewright", "tersewright.cli"],
    package_data={"tersewright": ["_core.pyi", "py.typed"]},
    include_package_data=False,
    ext_modules=[Extension("tersewright._core", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    # setuptools' scratch space (and by default its own CMake tree) in one place that `make clean` removes.
    options={"build": {"build_base": "build/setuptools"}},
)

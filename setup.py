"""Builds the extension module zumen._zumen with CMake for pip.

CMake configures the project with the tests and benchmarks left out and
builds the one target zumen_python (the module and the static library it
links); its file is copied into the package with the font rules it draws
with. Everything else about the package is in pyproject.toml.

Environment: ZUMEN_BUILD_TYPE (default RelWithDebInfo, as the project's own
builds), ZUMEN_CMAKE_ARGS (more arguments for cmake), CMAKE_BUILD_PARALLEL_LEVEL.
"""

import os
import re
import shlex
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent


def project_version() -> str:
    m = re.search(r"project\(zumen VERSION ([0-9.]+)", (ROOT / "CMakeLists.txt").read_text())
    if not m:
        raise RuntimeError("CMakeLists.txt names no version of zumen")
    return m.group(1)


class CMakeExtension(Extension):
    """An extension that a CMake target builds."""

    def __init__(self, name: str, target: str):
        super().__init__(name, sources=[])
        self.target = target


class CMakeBuild(build_ext):
    def build_extension(self, ext: Extension) -> None:
        if not isinstance(ext, CMakeExtension):
            return super().build_extension(ext)
        build = Path(self.build_temp).resolve() / "cmake"
        build.mkdir(parents=True, exist_ok=True)
        # The source folder left out of what the objects record (debug
        # information, file names), so that the same sources give the same
        # objects wherever they are checked out, and ccache finds them again.
        flags = f"{os.environ.get('CXXFLAGS', '')} -ffile-prefix-map={ROOT}=.".strip()
        args = [
            "-S", str(ROOT), "-B", str(build),
            f"-DCMAKE_BUILD_TYPE={os.environ.get('ZUMEN_BUILD_TYPE', 'RelWithDebInfo')}",
            "-DZUMEN_TESTS=OFF", "-DZUMEN_BENCH=OFF", "-DZUMEN_PYTHON=ON",
            f"-DPython3_EXECUTABLE={sys.executable}",
            f"-DCMAKE_CXX_FLAGS={flags}",
        ]
        if not (build / "CMakeCache.txt").exists() and shutil.which("ninja"):
            args += ["-G", "Ninja"]
        env = dict(os.environ)
        if shutil.which("ccache"):
            args.append("-DCMAKE_CXX_COMPILER_LAUNCHER=ccache")
            env.setdefault("CCACHE_BASEDIR", str(ROOT))
        args += shlex.split(os.environ.get("ZUMEN_CMAKE_ARGS", ""))
        subprocess.run(["cmake", *args], check=True, env=env)
        jobs = str(self.parallel or os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL") or os.cpu_count() or 1)
        subprocess.run(["cmake", "--build", str(build), "--target", ext.target, "-j", jobs], check=True, env=env)

        built = sorted((build / "python" / "zumen").glob("_zumen.*so"))
        if not built:
            raise RuntimeError(f"CMake built no _zumen module in {build / 'python' / 'zumen'}")
        destination = Path(self.get_ext_fullpath(ext.name))
        destination.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built[0], destination)
        # The font rules the package draws with (zumen/__init__.py sets them).
        shutil.copyfile(ROOT / "fonts" / "zumen-fonts.conf", destination.parent / "zumen-fonts.conf")


setup(
    version=project_version(),
    ext_modules=[CMakeExtension("zumen._zumen", target="zumen_python")],
    cmdclass={"build_ext": CMakeBuild},
    # Beside the project's own CMake folders (build/, build-asan/, ...), not in them.
    options={"build": {"build_base": "build-python"}, "egg_info": {"egg_base": "build-python"}},
)

"""The package with its libraries: `pip install --no-build-isolation --no-index
./python` compiles the plug-in (libfftplug) and the host's reordering
(libfftplug_natural) with CMake from the source tree this folder sits in, and
ships them inside the package, with the English names of the entries
(plugin/entry_rows.txt), so that fftplug.Plugin() needs no
environment variable. Metadata: pyproject.toml."""
import os
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import setup
from setuptools.command.build_py import build_py
from setuptools.dist import Distribution

HERE = Path(__file__).resolve().parent
TREE = HERE.parent
TARGETS = ("fftplug", "fftplug_natural")


def library_file(target):
    if sys.platform == "win32":
        return f"{target}.dll"
    return f"lib{target}.dylib" if sys.platform == "darwin" else f"lib{target}.so"


class BuildPyWithLibraries(build_py):
    """build_py, then the libraries built by CMake and copied into the package."""

    def run(self):
        super().run()
        package = Path(self.build_lib) / "fftplug"
        for path in self.build_libraries():
            self.copy_file(str(path), str(package / path.name))
        self.copy_file(str(TREE / "plugin" / "entry_rows.txt"), str(package / "entry_rows.txt"))

    def build_libraries(self):
        if not (TREE / "CMakeLists.txt").is_file() or not (TREE / "plugin").is_dir():
            raise SystemExit(f"fftplug: no fftplug source tree at {TREE}: the package is built from python/ of a "
                             "clone, beside the plug-in's sources")
        cmake = shutil.which("cmake")
        if cmake is None:
            raise SystemExit("fftplug: cmake is not installed (Debian: apt-get install cmake g++)")
        build = HERE / "build" / "cmake"
        configure = [cmake, "-S", str(TREE), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                     "-DFFTPLUG_BUILD_TESTS=OFF", "-DFFTPLUG_BUILD_TOOLS=OFF"]
        if not (build / "CMakeCache.txt").is_file() and shutil.which("ninja"):
            configure += ["-G", "Ninja"]
        parallel = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", "2")
        subprocess.run(configure, check=True)
        subprocess.run([cmake, "--build", str(build), "--target", *TARGETS, "--parallel", parallel], check=True)
        return [build / "bin" / library_file(target) for target in TARGETS]


class BinaryDistribution(Distribution):
    """A package with compiled libraries: a wheel for this platform."""

    def has_ext_modules(self):
        return True


setup(cmdclass={"build_py": BuildPyWithLibraries}, distclass=BinaryDistribution)

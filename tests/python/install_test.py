"""The Python package installed as its README says, from a fresh copy of the
source tree into a fresh virtual environment, must give a working
fftplug.Plugin() with no environment variable:

    python3 -m venv --system-site-packages VENV
    VENV/bin/python -m pip install --no-build-isolation --no-index ./python

    install_test.py SOURCE_DIR WORK_DIR

Exit status 77 (CTest: skipped) with a one-line reason when venv, pip,
setuptools, wheel, numpy or cmake is missing; 1 with the failing step's output
otherwise."""
import importlib.util
import os
import shutil
import subprocess
import sys
import textwrap
from pathlib import Path

missing = [name for name in ("ensurepip", "pip", "setuptools", "wheel", "numpy", "scipy")
           if importlib.util.find_spec(name) is None]
if shutil.which("cmake") is None:
    missing.append("cmake")
if missing:
    print(f"python_install skipped: {sys.executable} has no {', '.join(missing)} "
          "(Debian: apt-get install python3-venv python3-pip python3-setuptools python3-wheel cmake g++)")
    sys.exit(77)

source, work = Path(sys.argv[1]).resolve(), Path(sys.argv[2]).resolve()
shutil.rmtree(work, ignore_errors=True)
work.mkdir(parents=True)
clone, venv = work / "fftplug", work / "venv"
# What a fresh clone holds: the tree without builds and caches.
shutil.copytree(source, clone, ignore=shutil.ignore_patterns(".git", "build", "out", "__pycache__", "*.egg-info"))

environment = {k: v for k, v in os.environ.items() if k not in ("FFTPLUG_PLUGIN", "FFTPLUG_TOOLS_DIR", "PYTHONPATH")}
environment.setdefault("CMAKE_BUILD_PARALLEL_LEVEL", "2")


def step(*command, cwd=work):
    run = subprocess.run(command, cwd=cwd, env=environment, capture_output=True, text=True)
    if run.returncode != 0:
        print(f"python_install: {' '.join(map(str, command))} failed ({run.returncode}):\n{run.stdout}\n{run.stderr}")
        sys.exit(1)
    return run.stdout


step(sys.executable, "-m", "venv", "--system-site-packages", str(venv))
python = venv / ("Scripts/python.exe" if os.name == "nt" else "bin/python")
step(str(python), "-m", "pip", "install", "--no-build-isolation", "--no-index", "./python", cwd=clone)
check = textwrap.dedent(f"""
    import importlib.metadata, os, sys
    import numpy as np, scipy.fft, fftplug
    package = os.path.dirname(fftplug.__file__)
    assert package.startswith({str(venv)!r}), package
    plugin = fftplug.Plugin()
    assert os.path.dirname(plugin.path) == package, plugin.path
    x = np.random.default_rng(1).standard_normal(1024).astype(np.complex64)
    assert np.allclose(plugin.fft(x, entry=7), np.fft.fft(x), atol=1e-3)
    with scipy.fft.set_backend(fftplug.scipy_backend(9)):
        assert np.allclose(scipy.fft.ifft(scipy.fft.fft(x)), x, atol=1e-5)
    assert plugin.entries[7].gloss == "decimation in frequency (radix 4 + reversal + half + 3 butterflies)"
    assert importlib.metadata.version("fftplug") == fftplug.__version__
    assert os.path.isfile(os.path.join(package, "py.typed"))
    print("ok", plugin.path)
""")
print(step(str(python), "-c", check).strip())

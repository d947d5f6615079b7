"""Shared fixtures of the Python host's tests: the plug-in ($FFTPLUG_PLUGIN or
the build in this tree), the C++ host's dump helper and the deliberately
broken plug-ins (in $FFTPLUG_TOOLS_DIR, or beside the plug-in), the entries'
rows, and the test signals."""
import os
import sys
from pathlib import Path
from typing import NamedTuple

import numpy as np
import pytest

# The package of this tree, installed or not.
sys.path.insert(0, str(Path(__file__).resolve().parents[1]))
import fftplug  # noqa: E402


@pytest.fixture(scope="session")
def plugin():
    return fftplug.Plugin()


def _beside_plugin(plugin, variable, name):
    """`name` in the folder $variable names, which must then hold it; else
    beside the plug-in; the test is skipped when it is in neither."""
    configured = os.environ.get(variable)
    path = Path(configured or Path(plugin.path).parent) / name
    if not path.is_file():
        if configured:
            pytest.fail(f"{variable}={configured}: no {name} there")
        pytest.skip(f"{name} is not beside the plug-in; set {variable} to its folder")
    return str(path)


@pytest.fixture(scope="session")
def host_dump(plugin):
    return _beside_plugin(plugin, "FFTPLUG_TOOLS_DIR", "fftplug_host_dump")


@pytest.fixture(scope="session")
def broken_plugin(plugin):
    """The path of the test plug-in with one deliberate fault."""
    return lambda fault: _beside_plugin(plugin, "FFTPLUG_TOOLS_DIR", f"libfftplug_broken_{fault}.so")


class EntryRow(NamedTuple):
    name: str
    flags: int
    gloss: str
    label: str
    raw_name: bytes


# The catalogue flags each row's flags word stands for.
ROW_FLAGS = {"plain": 0x001, "natural input": 0x201, "prepares": 0x401}


def entry_rows():
    """The entries' rows of this tree (plugin/entry_rows.txt), in catalogue
    order: what the catalogue and the package's glosses must say."""
    rows = []
    path = Path(__file__).resolve().parents[2] / "plugin" / "entry_rows.txt"
    for line in path.read_text(encoding="utf-8").splitlines():
        if not line.strip() or line.startswith("#"):
            continue
        _, _, flags, name, gloss, label, shift_jis = line.split(" | ")
        raw = bytes(int(octal, 8) for octal in shift_jis.strip().split("\\")[1:])
        rows.append(EntryRow(name, ROW_FLAGS[flags], gloss, label, raw))
    return rows


def random_signal(n, seed):
    """n complex64 samples with real and imaginary parts uniform in [-1, 1)."""
    rng = np.random.default_rng(seed)
    return (rng.uniform(-1, 1, n) + 1j * rng.uniform(-1, 1, n)).astype(np.complex64)


def relative_error(got, ref):
    """‖got − ref‖₂ / ‖ref‖₂, the measure of fftbench verify."""
    got, ref = np.asarray(got, dtype=np.complex128), np.asarray(ref, dtype=np.complex128)
    return np.linalg.norm(got - ref) / np.linalg.norm(ref)


def bound(n):
    """fftbench verify's bound on the relative RMS error at n points."""
    return 1.5e-7 * np.sqrt(np.log2(n) + 1)


def bits(a):
    return np.ascontiguousarray(a, dtype=np.complex64).view(np.uint32)

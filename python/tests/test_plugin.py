"""The Python host against the plug-in: catalogue, loading, every entry's
transform, the C++ host's bits, the preparation, batches, the plan cache and
the refusals."""
import os
import subprocess
import sys
from pathlib import Path

import numpy as np
import pytest
from conftest import bits, bound, entry_rows, random_signal, relative_error

import fftplug


def test_catalogue(plugin):
    rows = entry_rows()
    assert (plugin.signature, plugin.creator) == (3, "SDK-C Tavelo 2000/09/27")
    assert [(e.name, e.raw_name, e.flags, e.gloss, e.label) for e in plugin.entries] == \
        [(r.name, r.raw_name, r.flags, r.gloss, r.label) for r in rows]
    assert [e.index for e in plugin.entries] == list(range(len(rows)))
    assert [e.flags for e in plugin.entries] == [0x001, 0x001, 0x201] + [0x401] * 7
    assert [e.input_order for e in plugin.entries] == ["bit-reversed"] * 2 + ["natural"] + ["bit-reversed"] * 7
    assert [e.output_order for e in plugin.entries] == ["natural"] * 2 + ["bit-reversed"] + ["natural"] * 7
    assert [e.prepares_table for e in plugin.entries] == [False] * 3 + [True] * 7
    assert plugin.entries[0].raw_name == bytes.fromhex("8E9E8AD4208AD488F882AB288AEE90943229")
    assert all(e.gloss and e.label for e in plugin.entries)


LOAD_ERRORS = {
    "missing": "no such file",
    "not a library": "does not load",
    "FFTPLUG_PLUGIN": "no such file",
    "no_run": "lacks the export runEntry",
    "specs_overrun": "getEntrySpecs wrote past its 1088 bytes",
    "count_zero": "getEntryCount returned 0;",
    "count_huge": "getEntryCount returned 1000000;",
    "empty path": "empty path",
    "directory": "is a directory",
    "bytes path, missing": "no such file",
}


@pytest.mark.parametrize("case", list(LOAD_ERRORS))
def test_load_errors(case, tmp_path, broken_plugin, monkeypatch):
    path = tmp_path / "absent.so"
    if case == "not a library":
        path = tmp_path / "text.so"
        path.write_text("not a shared library\n")
    elif case == "FFTPLUG_PLUGIN":
        monkeypatch.setenv("FFTPLUG_PLUGIN", str(path))
    elif case in ("no_run", "specs_overrun", "count_zero", "count_huge"):
        path = broken_plugin(case)
    elif case == "directory":
        path = tmp_path
    argument = {"FFTPLUG_PLUGIN": None, "empty path": "", "bytes path, missing": os.fsencode(path)}.get(case, path)
    with pytest.raises(fftplug.PluginLoadError, match=LOAD_ERRORS[case]) as error:
        fftplug.Plugin(argument)
    assert (case == "empty path" or str(path) in str(error.value)) and "\n" not in str(error.value)


def test_path_forms_load_the_same_plugin(plugin):
    for path in (plugin.path.encode(), Path(plugin.path)):
        assert fftplug.Plugin(path).entries == plugin.entries


@pytest.mark.parametrize("log2n", range(17))
@pytest.mark.parametrize("entry", range(10))
def test_every_entry_against_numpy(plugin, entry, log2n):
    n = 1 << log2n
    x = random_signal(n, seed=1000 * entry + log2n)
    y = plugin.fft(x, entry=entry)
    assert y.dtype == np.complex64 and y.shape == (n,)
    assert relative_error(y, np.fft.fft(x.astype(np.complex128))) <= bound(n)
    assert fftplug.error_bound(n) == pytest.approx(bound(n))


@pytest.mark.parametrize("n", [1, 8, 1 << 11, 1 << 17])
@pytest.mark.parametrize("entry", range(10))
def test_same_bits_as_the_cpp_driver(plugin, host_dump, tmp_path, entry, n):
    out = tmp_path / "dump.bin"
    subprocess.run([host_dump, "transform", plugin.path, str(entry), str(n), str(entry + 1), str(out)], check=True)
    dump = np.fromfile(out, dtype=np.complex64)
    signal, result = dump[:n], dump[n:]
    assert np.array_equal(bits(plugin.fft(signal, entry=entry)), bits(result))
    # the rows of a batch, along either axis, are the same transforms
    batch = np.stack([signal, signal[::-1]])
    expected = np.stack([result, plugin.fft(signal[::-1], entry=entry)])
    assert np.array_equal(bits(plugin.fft(batch, entry=plugin.entries[entry])), bits(expected))
    assert np.array_equal(bits(plugin.fft(batch.T.copy(), axis=0, entry=entry)), bits(expected.T))


@pytest.mark.parametrize("n", [1, 2, 8, 1 << 10, 1 << 20])
def test_table_same_bits_as_the_cpp_host(host_dump, tmp_path, n):
    out = tmp_path / "table.bin"
    subprocess.run([host_dump, "table", str(n), str(out)], check=True)
    assert np.array_equal(bits(fftplug.twiddle_table(n)), bits(np.fromfile(out, dtype=np.complex64)))


@pytest.mark.parametrize("n", [1, 2, 8, 1024])
@pytest.mark.parametrize("entry", range(10))
def test_reps_zero_prepares_the_table(plugin, entry, n):
    rng = np.random.default_rng(n + entry)
    # Arbitrary bits, NaN payloads and signed zeros among them, move as they are.
    table, input, work = (rng.integers(0, 1 << 32, 2 * n, dtype=np.uint32).view(np.complex64) for _ in range(3))
    before, input_before, work_before = table.copy(), input.copy(), work.copy()
    plugin.run(entry, input, work, table, 0)
    upper = before[n // 2:]
    expected = np.concatenate([fftplug.bit_reversed(upper), upper]) if entry >= 3 and n > 1 else before
    assert np.array_equal(bits(table), bits(expected))
    assert np.array_equal(bits(input), bits(input_before)) and np.array_equal(bits(work), bits(work_before))
    plugin.run(entry, None, None, table, 0)  # a second preparation changes nothing
    assert np.array_equal(bits(table), bits(expected))
    if n == 8 and entry >= 3:
        assert np.array_equal(bits(table[:4]), bits(before[[4, 6, 5, 7]]))


@pytest.mark.parametrize("n", [1, 2, 8, 64])
def test_bit_reversed(n):
    width = n.bit_length() - 1
    rev = [int(format(i, f"0{width}b")[::-1], 2) if width else 0 for i in range(n)]
    x = np.arange(n) * 10
    assert list(fftplug.bit_reversed(x)) == [10 * rev[i] for i in range(n)]
    if n == 8:
        assert list(fftplug.bit_reversed(np.arange(8))) == [0, 4, 2, 6, 1, 5, 3, 7]


@pytest.mark.parametrize("form", ["strided", "reversed", "complex128", "int16", "list of floats"])
def test_fft_takes_any_numeric_input(plugin, form):
    base = random_signal(256, seed=5).astype(np.complex128)
    x = {"strided": base[::2], "reversed": base[127::-1], "complex128": base[:128],
         "int16": (base[:128].real * 1000).astype(np.int16), "list of floats": list(base.real[:128])}[form]
    kept = np.array(x, copy=True)
    y = plugin.fft(x, entry=8)
    assert y.dtype == np.complex64 and y.shape == (128,)
    assert relative_error(y, np.fft.fft(np.asarray(x, dtype=np.complex64).astype(np.complex128))) <= bound(128)
    assert np.array_equal(np.asarray(x), kept)


def _refusals():
    c = lambda n: np.zeros(n, dtype=np.complex64)  # noqa: E731
    shared = c(16)
    read_only = c(8)
    read_only.setflags(write=False)
    return {
        "length 3": lambda p: p.fft(np.ones(3)),
        "length 0": lambda p: p.fft(np.ones(0)),
        "axis 2 of 2-D": lambda p: p.fft(np.ones((4, 4)), axis=2),
        "axis 1.0": lambda p: p.fft(np.ones((4, 4)), axis=1.0),
        "n 12": lambda p: p.fft(np.ones(16), n=12),
        "n 2^29": lambda p: p.fft(np.ones(16), n=1 << 29),
        "norm 'unitary'": lambda p: p.fft(np.ones(4), norm="unitary"),
        "workers 0": lambda p: p.fft(np.ones(4), workers=0),
        "ifft length 6": lambda p: p.ifft(np.ones(6)),
        "0-D": lambda p: p.fft(np.float32(1)),
        "strings": lambda p: p.fft(np.array(["a", "b"])),
        "entry 10": lambda p: p.fft(np.ones(4), entry=10),
        "entry -1": lambda p: p.fft(np.ones(4), entry=-1),
        "entry 2.0": lambda p: p.fft(np.ones(4), entry=2.0),
        "entry True": lambda p: p.fft(np.ones(4), entry=True),
        "run entry 16": lambda p: p.run(16, c(8), c(8), c(8), 1),
        "plan cache size -1": lambda p: setattr(p, "plan_cache_size", -1),
        "run complex128": lambda p: p.run(3, np.zeros(8, np.complex128), c(8), c(8), 1),
        "run big-endian": lambda p: p.run(3, np.zeros(8, ">c8"), c(8), c(8), 1),
        "run strided work": lambda p: p.run(3, c(8), c(16)[::2], c(8), 1),
        "run read-only work": lambda p: p.run(3, c(8), read_only, c(8), 1),
        "run read-only table, reps 0": lambda p: p.run(3, None, None, read_only, 0),
        "run 2-D work": lambda p: p.run(3, c(8), c(8).reshape(2, 4), c(8), 1),
        "run list input": lambda p: p.run(3, [0j] * 8, c(8), c(8), 1),
        "run sizes differ": lambda p: p.run(3, c(8), c(4), c(8), 1),
        "run table of 6": lambda p: p.run(3, c(6), c(6), c(6), 1),
        "run no input": lambda p: p.run(3, None, c(8), c(8), 1),
        "run input overlaps work": lambda p: p.run(3, shared[:8], shared[4:12], c(8), 1),
        "run work overlaps table": lambda p: p.run(3, c(8), shared[:8], shared[7:15], 1),
        "run reps 2^31": lambda p: p.run(3, c(8), c(8), c(8), 1 << 31),
        "bit_reversed length 6": lambda p: fftplug.bit_reversed(np.ones(6)),
        "bit_reversed 2-D": lambda p: fftplug.bit_reversed(np.ones((2, 2))),
        "twiddle_table 12": lambda p: fftplug.twiddle_table(12),
        "twiddle_table 0": lambda p: fftplug.twiddle_table(0),
        "twiddle_table 2^31": lambda p: fftplug.twiddle_table(1 << 31),
        "twiddle_table 4.0": lambda p: fftplug.twiddle_table(4.0),
    }


@pytest.mark.parametrize("case", list(_refusals()))
def test_bad_input_raises_value_error(plugin, case):
    with pytest.raises(ValueError) as error:
        _refusals()[case](plugin)
    assert str(error.value) and "\n" not in str(error.value)


def test_compare_example_runs(plugin):
    script = Path(__file__).resolve().parents[2] / "examples" / "compare.py"
    run = subprocess.run([sys.executable, str(script), "--plugin", plugin.path, "--max-log2", "5"],
                         capture_output=True, text=True, check=True)
    rows = {line.split()[0]: line.split()[1:] for line in run.stdout.splitlines()[2:]}
    assert list(rows) == ["2^1", "2^2", "2^3", "2^4", "2^5", "worst"]
    assert len(rows["worst"]) == 10 and all(float(v) <= bound(32) for v in rows["worst"])

"""scipy.fft under fftplug.scipy_backend: what the plug-in takes (each
against scipy's own answer and dtype) and what it leaves to scipy, set as a
context or as the global backend."""
import subprocess
import sys
import textwrap
from pathlib import Path

import numpy as np
import pytest
from conftest import bits, bound, random_signal, relative_error

import fftplug

scipy_fft = pytest.importorskip("scipy.fft")


def through(backend, function, *args, **kwargs):
    with scipy_fft.set_backend(backend):
        return getattr(scipy_fft, function)(*args, **kwargs)


@pytest.mark.parametrize("n", [1, 16, 1 << 12])
@pytest.mark.parametrize("norm", [None, "backward", "ortho", "forward"])
@pytest.mark.parametrize("function", ["fft", "ifft"])
@pytest.mark.parametrize("entry", [0, 2, 6, 9])
def test_matches_scipy(plugin, entry, function, norm, n):
    x = random_signal(n, seed=n + entry)
    got = through(fftplug.scipy_backend(entry, plugin), function, x, None, -1, norm)
    expected = getattr(scipy_fft, function)(x, norm=norm)
    assert got.dtype == expected.dtype == np.complex64
    assert relative_error(got, getattr(scipy_fft, function)(x.astype(np.complex128), norm=norm)) <= bound(n)
    if function == "fft" and norm in (None, "backward"):
        assert np.array_equal(bits(got), bits(plugin.fft(x, entry=entry)))


# input -> (taken by default, taken with precision="single")
DTYPES = {
    "complex64": (True, True), "float32": (True, True), "float16": (True, True), "int16": (True, True),
    "uint8": (True, True), "bool": (True, True), "int32 within ±2^24": (True, True),
    "int64 beyond 2^24": (False, True), "float64": (False, True), "complex128": (False, True),
    "longdouble": (False, False),
}


def typed_signal(case, n=256):
    x = random_signal(n, seed=12)
    if case == "int32 within ±2^24":
        return (x.real * (1 << 24)).astype(np.int32)
    if case == "int64 beyond 2^24":
        return (x.real * (1 << 40)).astype(np.int64)
    dtype = {"int16": np.int16, "uint8": np.uint8, "bool": np.bool_}.get(case)
    if dtype is not None:
        return (np.abs(x.real) * 200).astype(dtype)
    return x.astype(case) if "complex" in case else x.real.astype(case)


@pytest.mark.parametrize("precision", ["exact", "single"])
@pytest.mark.parametrize("case", list(DTYPES))
def test_dtypes_taken_and_left(plugin, case, precision):
    x = typed_signal(case)
    backend = fftplug.scipy_backend(7, plugin, precision=precision)
    got = through(backend, "fft", x)
    expected = scipy_fft.fft(x)
    assert got.dtype == expected.dtype and got.shape == expected.shape
    taken = DTYPES[case][precision == "single"]
    if taken:
        assert relative_error(got, expected) <= 2 * bound(256)
        assert np.array_equal(got, plugin.fft(x, entry=7).astype(expected.dtype))
    else:
        assert np.array_equal(got, expected)  # scipy's own


# (shape, n, axis, overwrite_x, workers): calls that run on the plug-in
CALLS = {
    "n pads": ((48,), 64, -1, False, None),
    "n cuts": ((100,), 64, -1, False, None),
    "batch of rows": ((64, 1 << 9), None, -1, False, None),
    "columns": ((1 << 8, 5), None, 0, False, None),
    "3-D, middle axis, padded": ((3, 20, 4), 32, 1, False, None),
    "overwrite_x": ((4, 128), None, -1, True, None),
    "workers 2": ((9, 256), None, -1, False, 2),
    "workers -1, axis 0": ((256, 9), None, 0, False, -1),
}


@pytest.mark.parametrize("function", ["fft", "ifft"])
@pytest.mark.parametrize("call", list(CALLS))
def test_calls_on_the_plugin_match_scipy(plugin, call, function):
    shape, n, axis, overwrite_x, workers = CALLS[call]
    x = random_signal(int(np.prod(shape)), seed=13).reshape(shape)
    expected = getattr(scipy_fft, function)(x.astype(np.complex128), n, axis, "ortho")
    given = x.copy()
    got = through(fftplug.scipy_backend(9, plugin), function, given, n, axis, "ortho", overwrite_x, workers)
    assert got.dtype == np.complex64 and got.shape == expected.shape
    assert relative_error(got, expected) <= bound(expected.shape[axis])
    assert np.array_equal(bits(got), bits(getattr(plugin, function)(x, n, axis, "ortho", entry=9)))
    if overwrite_x:
        assert np.shares_memory(got, given)
    else:
        assert np.array_equal(given, x)


# Calls the plug-in leaves to scipy: the same bits as scipy's own answer.
LEFT = {
    "odd length": ("ifft", lambda x: (x[:15],), {"norm": "ortho"}),
    "n = 1000": ("fft", lambda x: (x,), {"n": 1000}),
    "rfft": ("rfft", lambda x: (x.real,), {}),
    "fft2": ("fft2", lambda x: (x.reshape(8, 8),), {}),
    "float64 by default": ("fft", lambda x: (x.real.astype(np.float64),), {}),
    "hfft": ("hfft", lambda x: (x[:33],), {}),
}


@pytest.mark.parametrize("case", list(LEFT))
def test_left_to_scipy(plugin, case):
    function, args, kwargs = LEFT[case]
    args = args(random_signal(64, seed=3))
    f = getattr(scipy_fft, function)
    got = through(fftplug.scipy_backend(6, plugin), function, *args, **kwargs)
    expected = f(*args, **kwargs)
    assert got.dtype == expected.dtype and np.array_equal(got, expected)


# Bad calls raise what scipy's own raise.
BAD = {
    "length 0": ((np.zeros(0, np.complex64),), {}),
    "n 0": ((np.ones(8, np.complex64),), {"n": 0}),
    "n 2.0": ((np.ones(8, np.complex64),), {"n": 2.0}),
    "axis 1 of 1-D": ((np.ones(8, np.complex64),), {"axis": 1}),
    "norm 'unitary'": ((np.ones(8, np.complex64),), {"norm": "unitary"}),
    "workers 0": ((np.ones(8, np.complex64),), {"workers": 0}),
    "0-D": ((np.complex64(1),), {}),
    "strings": ((np.array(["a", "b"]),), {}),
    "plan": ((np.ones(8, np.complex64),), {"plan": object()}),
    "unknown keyword": ((np.ones(8, np.complex64),), {"colour": 1}),
}


@pytest.mark.parametrize("case", list(BAD))
def test_bad_calls_raise_as_scipy(plugin, case):
    args, kwargs = BAD[case]
    with pytest.raises(Exception) as own:
        scipy_fft.fft(*args, **kwargs)
    with pytest.raises(type(own.value)):
        through(fftplug.scipy_backend(7, plugin), "fft", *args, **kwargs)


def test_global_backend_alone(plugin):
    """With only the plug-in's backend installed globally (in a process of
    its own), every call gets scipy's answer: the plug-in's where it takes
    the call, scipy's own implementation's where it does not."""
    script = textwrap.dedent(f"""
        import sys
        sys.path.insert(0, {str(Path(fftplug.__file__).parents[1])!r})
        import numpy as np, scipy.fft, fftplug
        plugin = fftplug.Plugin({plugin.path!r})
        x = (np.arange(64) % 7 - 3).astype(np.complex64)
        own = [scipy.fft.fft(x), scipy.fft.rfft(x.real), scipy.fft.fft(x[:50]), scipy.fft.fft2(x.reshape(8, 8)),
               scipy.fft.fft(x.astype(np.complex128)), scipy.fft.dct(x.real)]
        scipy.fft.set_global_backend(fftplug.scipy_backend(7, plugin))
        got = [scipy.fft.fft(x), scipy.fft.rfft(x.real), scipy.fft.fft(x[:50]), scipy.fft.fft2(x.reshape(8, 8)),
               scipy.fft.fft(x.astype(np.complex128)), scipy.fft.dct(x.real)]
        assert np.array_equal(got[0], plugin.fft(x, entry=7)), "fft ran elsewhere"
        assert np.allclose(got[0], own[0], atol=1e-4)
        for g, o in zip(got[1:], own[1:]):
            assert g.dtype == o.dtype and np.array_equal(g, o), (g, o)
        print("ok")
    """)
    run = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True)
    assert run.returncode == 0 and run.stdout.strip() == "ok", run.stderr


def test_backend_construction(plugin):
    assert fftplug.scipy_backend(8).plugin is fftplug.scipy_backend(3).plugin  # loaded once
    backend = fftplug.ScipyBackend(plugin.entries[8], plugin, precision="single")
    assert (backend.entry, backend.plugin, backend.precision) == (8, plugin, "single")
    assert fftplug.scipy_backend(8, plugin).entry == fftplug.ScipyBackend(8, plugin).entry == 8
    with pytest.raises(TypeError):
        fftplug.ScipyBackend(8, "libfftplug.so")
    with pytest.raises(TypeError, match="entry, then plugin"):
        fftplug.ScipyBackend(plugin, 8)
    with pytest.raises(ValueError, match="precision"):
        fftplug.scipy_backend(8, plugin, precision="double")
    with pytest.raises(ValueError, match="out of range"):
        fftplug.scipy_backend(10, plugin)

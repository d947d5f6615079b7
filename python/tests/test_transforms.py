"""Plugin.fft and ifft with scipy.fft's options (n, axis, norm, batches,
workers, overwrite_x) against scipy's own answer, the plan cache and the
memory a call takes."""
import tracemalloc

import numpy as np
import pytest
from conftest import bits, bound, random_signal, relative_error

import fftplug

scipy_fft = pytest.importorskip("scipy.fft")

# (shape, n, axis): transforms along one axis of 1-D to 3-D input, cut, padded
SHAPES = {
    "1-D": ((64,), None, -1),
    "1-D padded": ((48,), 64, 0),
    "1-D cut": ((100,), 32, -1),
    "2-D rows": ((5, 128), None, -1),
    "2-D columns": ((256, 3), None, 0),
    "3-D middle axis, padded": ((2, 24, 3), 32, 1),
    "3-D last axis cut": ((3, 2, 40), 16, 2),
    "empty batch": ((0, 8), None, -1),
}


@pytest.mark.parametrize("shape", list(SHAPES))
@pytest.mark.parametrize("norm", [None, "ortho", "forward"])
@pytest.mark.parametrize("function", ["fft", "ifft"])
@pytest.mark.parametrize("entry", [2, 7, 9])
def test_options_match_scipy(plugin, entry, function, norm, shape):
    size, n, axis = SHAPES[shape]
    x = random_signal(int(np.prod(size)), seed=len(shape) + entry).reshape(size)
    got = getattr(plugin, function)(x, n, axis, norm, entry=entry)
    expected = getattr(scipy_fft, function)(x.astype(np.complex128), n, axis, norm)
    assert got.dtype == np.complex64 and got.shape == expected.shape
    if expected.size:
        assert relative_error(got, expected) <= bound(expected.shape[axis])
    assert np.array_equal(x, random_signal(int(np.prod(size)), seed=len(shape) + entry).reshape(size))


@pytest.mark.parametrize("dtype", ["float16", "float32", "float64", "int8", "uint16", "int64", "bool",
                                   ">c8", "complex128"])
def test_any_numeric_dtype(plugin, dtype):
    x = (random_signal(512, seed=8).view(np.float32) * 100).astype(dtype)
    got = plugin.fft(x, entry=7)
    assert got.dtype == np.complex64
    assert relative_error(got, scipy_fft.fft(x.astype(np.complex64).astype(np.complex128))) <= bound(1024)


@pytest.mark.parametrize("layout", ["contiguous rows", "every other row", "column of a C array"])
def test_overwrite_x_transforms_in_place(plugin, layout):
    base = random_signal(8 * 64, seed=4).reshape(8, 64)
    x, axis = {"contiguous rows": (base, -1), "every other row": (base[::2], -1),
               "column of a C array": (base[:, :8], 0)}[layout]
    expected = plugin.fft(x, axis=axis, entry=7)
    got = plugin.fft(x, axis=axis, entry=7, overwrite_x=True)
    assert np.array_equal(bits(got), bits(expected))
    # rows one stride apart are transformed where they are; the rest is copied
    assert np.shares_memory(got, base) == (layout != "column of a C array")


@pytest.mark.parametrize("workers", [2, 3, -1])
def test_workers_give_the_same_bits(plugin, workers):
    x = random_signal(7 * 512, seed=5).reshape(7, 512)
    one = plugin.fft(x, entry=8)
    assert np.array_equal(bits(plugin.fft(x, entry=8, workers=workers)), bits(one))
    assert np.array_equal(bits(plugin.ifft(x.T, axis=0, entry=3, workers=workers)),
                          bits(plugin.ifft(x.T, axis=0, entry=3)))


def test_plan_cache_is_bounded_and_settable(plugin):
    fresh = fftplug.Plugin(plugin.path, plan_cache_size=3)
    x = random_signal(1 << 10, seed=6)
    for log2n in range(2, 11):
        y = fresh.fft(x[:1 << log2n], entry=5)
        assert relative_error(y, np.fft.fft(x[:1 << log2n].astype(np.complex128))) <= bound(1 << log2n)
    assert fresh.plans() == [(5, 256), (5, 512), (5, 1024)]
    fresh.fft(x[:512], entry=5)  # a hit moves to the back
    assert fresh.plans() == [(5, 256), (5, 1024), (5, 512)]
    fresh.plan_cache_size = 1
    assert fresh.plans() == [(5, 512)]
    fresh.plan_cache_size = 0
    assert fresh.plans() == [] and np.array_equal(fresh.fft(x, entry=5), plugin.fft(x, entry=5))
    assert fresh.plans() == []


@pytest.mark.parametrize("entry", [2, 7])
def test_a_call_allocates_only_its_result(plugin, entry):
    x = random_signal(1 << 16, seed=7)
    plugin.fft(x, entry=entry)  # the plan
    tracemalloc.start()
    try:
        y = plugin.fft(x, entry=entry)
        peak = tracemalloc.get_traced_memory()[1]
    finally:
        tracemalloc.stop()
    assert y.nbytes <= peak <= y.nbytes + 16384


@pytest.mark.parametrize("case", ["beyond float32", "underflow", "underflow by norm", "overflow in the transform"])
@pytest.mark.parametrize("how", ["plugin.fft", "backend"])
def test_double_precision_out_of_range_raises(plugin, how, case):
    x = random_signal(64, seed=9).astype(np.complex128)
    norm = "forward" if case == "underflow by norm" else None
    x = {"beyond float32": x * 1e39, "underflow": x * 1e-300, "underflow by norm": x * 1e-37,
         "overflow in the transform": np.full(64, 1e37, dtype=np.complex128)}[case]
    with pytest.raises(fftplug.SinglePrecisionError, match="float32") as error:
        if how == "plugin.fft":
            plugin.fft(x, norm=norm, entry=7)
        else:
            with scipy_fft.set_backend(fftplug.scipy_backend(7, plugin, precision="single")):
                scipy_fft.fft(x, norm=norm)
    assert "\n" not in str(error.value)


def test_double_precision_within_range(plugin):
    x = random_signal(64, seed=10).astype(np.complex128)
    x[3] = 1e-300  # far below the rest: flushed to zero, harmless
    assert relative_error(plugin.fft(x, entry=7), scipy_fft.fft(x)) <= bound(64)
    large = x * 5e36  # N·√2 times its largest passes float32's: the result is looked at, and is finite
    assert relative_error(plugin.fft(large, entry=7), scipy_fft.fft(large)) <= bound(64)
    x[7] = np.inf  # infinities stay infinities (and NaN), as in scipy
    assert not np.isfinite(plugin.fft(x, entry=7)).any() and not np.isfinite(scipy_fft.fft(x)).any()


@pytest.mark.parametrize("shape, axis", [((1 << 12,), -1), ((3, 1 << 10), -1), ((1 << 10, 2), 0)])
def test_results_start_on_a_line(plugin, shape, axis):
    # vectors that straddle two cache lines slow every stage of the entry
    x = random_signal(int(np.prod(shape)), seed=3).reshape(shape)
    for y in (plugin.fft(x, entry=7, axis=axis), plugin.ifft(x, entry=2, axis=axis)):
        target = y if axis == -1 else np.moveaxis(y, axis, -1)
        assert target.__array_interface__["data"][0] % 64 == 0
    expected = scipy_fft.fft(x.astype(np.complex128), axis=axis)
    assert relative_error(plugin.fft(x, entry=7, axis=axis), expected) < bound(shape[axis])

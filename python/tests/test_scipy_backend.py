"""scipy.fft under fftplug.scipy_backend: fft and ifft of 1-D power-of-two
arrays on the entry, everything else scipy's own."""
import numpy as np
import pytest
from conftest import bits, bound, random_signal, relative_error

import fftplug

scipy_fft = pytest.importorskip("scipy.fft")


@pytest.mark.parametrize("n", [1, 16, 1 << 12])
@pytest.mark.parametrize("norm", [None, "backward", "ortho", "forward"])
@pytest.mark.parametrize("function", ["fft", "ifft"])
@pytest.mark.parametrize("entry", [0, 2, 6, 9])
def test_matches_scipy(plugin, entry, function, norm, n):
    x = random_signal(n, seed=n + entry).astype(np.complex128)
    f = getattr(scipy_fft, function)
    with scipy_fft.set_backend(fftplug.scipy_backend(entry, plugin)):
        got = f(x, None, -1, norm)
    assert got.dtype == np.complex64  # scipy's own would keep complex128
    assert relative_error(got, f(x, norm=norm)) <= bound(n)
    if function == "fft" and norm in (None, "backward"):
        assert np.array_equal(bits(got), bits(plugin.fft(x, entry)))


@pytest.mark.parametrize("case", ["2-D", "odd length", "n differs", "axis 0 of 2-D", "rfft"])
def test_falls_back_to_scipy(plugin, case):
    x = random_signal(64, seed=3).astype(np.complex128)
    function, args, kwargs = {
        "2-D": ("fft", (x.reshape(8, 8),), {}),
        "odd length": ("ifft", (x[:15],), {"norm": "ortho"}),
        "n differs": ("fft", (x,), {"n": 32}),
        "axis 0 of 2-D": ("fft", (x.reshape(8, 8),), {"axis": 0}),
        "rfft": ("rfft", (x.real,), {}),
    }[case]
    f = getattr(scipy_fft, function)
    backend = fftplug.scipy_backend(6, plugin)
    assert backend.__ua_function__(f, args, kwargs) is NotImplemented
    with scipy_fft.set_backend(backend):
        got = f(*args, **kwargs)
    expected = f(*args, **kwargs)
    assert got.dtype == expected.dtype and np.array_equal(got, expected)

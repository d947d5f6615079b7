"""A backend for scipy.fft.set_backend that runs fft and ifft on an entry."""

import math
import operator

import numpy as np

from ._table import MAX_POINTS

_NORMS = ("backward", "ortho", "forward")


def _arguments(x, n=None, axis=-1, norm=None, overwrite_x=False, workers=None, *, plan=None):
    # scipy.fft.fft's and ifft's parameters; overwrite_x and workers change
    # nothing here.
    return x, n, axis, norm, plan


class ScipyBackend:
    """scipy.fft.fft and ifft of 1-D power-of-two arrays on one entry, the
    result complex64; NotImplemented for every other call, so that scipy
    computes it itself."""

    __ua_domain__ = "numpy.scipy.fft"

    def __init__(self, plugin, entry):
        self.plugin = plugin
        self.entry = entry

    def __repr__(self):
        return f"ScipyBackend({self.plugin!r}, entry={self.entry})"

    def __ua_function__(self, method, args, kwargs):
        name = getattr(method, "__name__", None)
        if name not in ("fft", "ifft"):
            return NotImplemented
        try:
            x, n, axis, norm, plan = _arguments(*args, **kwargs)
            x = np.asarray(x)
            axis = operator.index(axis)
            n = x.shape[-1] if n is None else operator.index(n)
        except (TypeError, ValueError, IndexError):
            return NotImplemented
        norm = "backward" if norm is None else norm
        length = x.shape[0] if x.ndim == 1 else 0
        if (plan is not None or norm not in _NORMS or x.ndim != 1 or x.dtype.kind not in "biufc"
                or axis not in (0, -1) or n != length or length < 1 or length & (length - 1)
                or length > MAX_POINTS):
            return NotImplemented
        if name == "fft":
            y = self.plugin.fft(x, self.entry)
            scale = {"backward": 1.0, "ortho": 1 / math.sqrt(length), "forward": 1 / length}[norm]
        else:
            # ifft(x) = conj(fft(conj(x))) / N, which every entry can compute
            y = np.conj(self.plugin.fft(np.conj(x.astype(np.complex64)), self.entry))
            scale = {"backward": 1 / length, "ortho": 1 / math.sqrt(length), "forward": 1.0}[norm]
        if scale != 1.0:
            y *= np.float32(scale)
        return y


def scipy_backend(entry=6, plugin=None):
    """A backend for scipy.fft.set_backend: inside
    `with scipy.fft.set_backend(fftplug.scipy_backend(8)):` scipy.fft.fft and
    ifft of 1-D power-of-two arrays run on entry 8 of the plug-in (Plugin()
    when none is given), with scipy's norm honoured; everything else falls
    back to scipy."""
    from ._plugin import Plugin

    plugin = Plugin() if plugin is None else plugin
    return ScipyBackend(plugin, plugin._entry(entry).index)

"""A backend for scipy.fft: fft and ifft on an entry, everything else scipy's."""

from __future__ import annotations

import functools
import operator
from typing import Any, Callable, Dict, Optional, Tuple, Union

import numpy as np

from ._natural import MAX_POINTS
from ._plugin import NORMS, Entry, Plugin, _scale, default_plugin, resolve_workers

PRECISIONS = ("exact", "single")

# Integers of more than 16 bits are taken by default when their values lie
# within ±2^24, where float32 holds every integer.
_EXACT_INTEGERS = 1 << 24

_C64, _C128 = np.dtype(np.complex64), np.dtype(np.complex128)


def _arguments(x, n=None, axis=-1, norm=None, overwrite_x=False, workers=None, *, plan=None):
    # scipy.fft.fft's and ifft's parameters
    return x, n, axis, norm, overwrite_x, workers, plan


@functools.lru_cache(maxsize=None)
def _scipy_own() -> Callable[[Any, tuple, dict], Any]:
    """scipy's own backend's dispatch: what scipy.fft computes without any
    backend set."""
    try:
        from scipy.fft._backend import _ScipyBackend

        return _ScipyBackend.__ua_function__
    except ImportError:  # a scipy that keeps it elsewhere: its modules by name
        from scipy.fft import _fftlog, _pocketfft

        def own(method, args, kwargs):
            name = getattr(method, "__name__", None)
            function = getattr(_pocketfft, name, None) or getattr(_fftlog, name, None)
            return NotImplemented if function is None else function(*args, **kwargs)

        return own


@functools.lru_cache(maxsize=None)
def _scipy_workers() -> Callable[[Optional[int]], int]:
    """scipy.fft's reading of `workers`, scipy.fft.set_workers included."""
    try:
        from scipy.fft._pocketfft.helper import _workers

        return _workers
    except ImportError:
        return resolve_workers


def _single_result(dtype: np.dtype, x: np.ndarray, precision: str) -> Optional[np.dtype]:
    """scipy's result dtype for input of `dtype` when the plug-in takes it
    under `precision`; None when scipy keeps it."""
    kind, size = dtype.kind, dtype.itemsize
    if kind == "c":
        return _C64 if size == 8 else _C128 if size == 16 and precision == "single" else None
    if kind == "f":
        return _C64 if size <= 4 else _C128 if size == 8 and precision == "single" else None
    if kind in "biu":
        if size <= 2 or precision == "single" or x.size == 0:
            return _C128
        if -_EXACT_INTEGERS <= int(x.min()) and int(x.max()) <= _EXACT_INTEGERS:
            return _C128
    return None


class ScipyBackend:
    """A backend for ``scipy.fft.set_backend`` and ``set_global_backend``:
    ``fft`` and ``ifft`` on one entry of a plug-in, every other call scipy's
    own.

    Parameters
    ----------
    entry : int or Entry, optional
        The entry that computes fft and ifft (6 by default).
    plugin : Plugin, optional
        By default the plug-in `default_plugin` loads once per process.
    precision : {"exact", "single"}, optional
        "exact" (the default): the plug-in takes only input that single
        precision holds as it is: complex64, float32, float16, and integers
        whose values float32 holds exactly (up to 16 bits, or within ±2^24);
        double precision stays with scipy. "single": double-precision input
        (float64, complex128, any integers) is computed in single precision
        too; the result keeps scipy's dtype (complex128), and a finite value
        beyond float32's range, data so small that it would come out as
        zeros, or a transform that overflows raises `SinglePrecisionError`.

    Notes
    -----
    The plug-in takes ``fft(x, n, axis, norm, overwrite_x, workers)`` where
    the transform's length (`n`, or x's length along `axis`) is a power of
    two up to 2^28: N-D input is a batch of transforms along `axis`, `n`
    cuts or pads, every `norm` is honoured, `workers` spreads the batch over
    threads, `overwrite_x` lets complex64 input be transformed in place. The
    result has scipy's dtype (complex64 for single-precision input,
    complex128 for integers and, under "single", double precision). Every
    other call (other lengths, long double, rfft, fft2, a `plan` …) is
    computed by scipy's own implementation, so that the backend can stand
    alone as the global one.
    """

    __ua_domain__ = "numpy.scipy.fft"

    def __init__(self, entry: Union[int, Entry] = 6, plugin: Optional[Plugin] = None, *,
                 precision: str = "exact") -> None:
        if plugin is None:
            plugin = default_plugin()
        elif not isinstance(plugin, Plugin):
            raise TypeError(f"plugin must be a fftplug.Plugin, not {type(plugin).__name__} "
                            "(the order is entry, then plugin)")
        if precision not in PRECISIONS:
            raise ValueError(f"precision must be one of {', '.join(map(repr, PRECISIONS))}, not {precision!r}")
        self.plugin = plugin
        self._entry = plugin._entry(entry)
        self.entry = self._entry.index
        self.precision = precision

    def __repr__(self) -> str:
        return f"ScipyBackend({self.entry}, {self.plugin!r}, precision={self.precision!r})"

    def __ua_function__(self, method: Any, args: tuple, kwargs: Dict[str, Any]) -> Any:
        name = getattr(method, "__name__", None)
        if name == "fft" or name == "ifft":
            if len(args) == 1 and not kwargs:  # the commonest call first, the quick way
                x = args[0]
                if type(x) is np.ndarray and x.dtype is _C64 and x.ndim == 1:
                    result = self.plugin._direct(x, self.entry, name == "ifft")
                    if result is not None:
                        return result
            result = self._transform(name == "ifft", args, kwargs)
            if result is not NotImplemented:
                return result
        return _scipy_own()(method, args, kwargs)

    def _transform(self, inverse: bool, args: tuple, kwargs: Dict[str, Any]) -> Any:
        """The plug-in's result for a call it takes, else NotImplemented
        (scipy then answers, errors included)."""
        try:
            x, n, axis, norm, overwrite_x, workers, plan = _arguments(*args, **kwargs)
            if plan is not None or (norm is not None and norm not in NORMS):
                return NotImplemented
            if not isinstance(x, np.ndarray):
                x = np.asarray(x)
            ndim = x.ndim
            axis = operator.index(axis)
            if ndim == 0 or not -ndim <= axis < ndim:
                return NotImplemented
            axis %= ndim
            n = x.shape[axis] if n is None else operator.index(n)
            if n < 1 or n & (n - 1) or n > MAX_POINTS:
                return NotImplemented
            result_dtype = _single_result(x.dtype, x, self.precision)
            if result_dtype is None:
                return NotImplemented
            workers = _scipy_workers()(workers)
        except (TypeError, ValueError):
            return NotImplemented
        return self.plugin._natural_transform(self._entry, x, n, axis, _scale(norm, n, inverse), inverse, workers,
                                              bool(overwrite_x), result_dtype)


def scipy_backend(entry: Union[int, Entry] = 6, plugin: Optional[Plugin] = None, *,
                  precision: str = "exact") -> ScipyBackend:
    """A backend for scipy.fft on one entry: ``ScipyBackend(entry, plugin,
    precision=precision)``.

    Examples
    --------
    >>> import scipy.fft, fftplug
    >>> with scipy.fft.set_backend(fftplug.scipy_backend(8)):
    ...     X = scipy.fft.fft(x)           # doctest: +SKIP

    or, for the whole process, ``scipy.fft.set_global_backend(fftplug.scipy_backend(8))``.
    The default plug-in is loaded once per process, not once per backend.
    """
    return ScipyBackend(entry, plugin, precision=precision)


__all__: Tuple[str, ...] = ("PRECISIONS", "ScipyBackend", "scipy_backend")

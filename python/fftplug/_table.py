"""The twiddle table a host hands to every entry, and bit-reversed order."""

import functools
import operator

import numpy as np
import numpy.typing as npt

# The largest N an entry takes: N is a signed 32-bit word.
MAX_POINTS = 1 << 30


def check_points(n: int, what: str = "length") -> int:
    """n as an int if it is a power of two from 1 to 2^30; ValueError otherwise."""
    try:
        n = operator.index(n)
    except TypeError:
        raise ValueError(f"{what} must be an integer, not {type(n).__name__}") from None
    if n < 1 or n & (n - 1):
        raise ValueError(f"{what} {n} is not a power of two")
    if n > MAX_POINTS:
        raise ValueError(f"{what} {n} exceeds 2^30 points")
    return n


def error_bound(n: int) -> float:
    """The bound `fftbench verify` holds every entry's relative RMS error to.

    Parameters
    ----------
    n : int
        The number of points, a power of two.

    Returns
    -------
    float
        1.5e-7·√(log2 n + 1).
    """
    n = check_points(n, "N")
    return 1.5e-7 * np.sqrt(n.bit_length() - 1 + 1.0)


@functools.lru_cache(maxsize=8)
def _reversal(n):
    """rev(i, log2 n) for every i < n, read-only."""
    bits = n.bit_length() - 1
    i = np.arange(n, dtype=np.int64)
    r = np.zeros(n, dtype=np.int64)
    for _ in range(bits):
        r = (r << 1) | (i & 1)
        i >>= 1
    r.setflags(write=False)
    return r


def bit_reversed(x: npt.ArrayLike) -> np.ndarray:
    """A copy of x in bit-reversed order: element i moves to position
    rev(i, log2 N). The permutation is its own inverse.

    Parameters
    ----------
    x : array_like
        1-D, of a power-of-two length, any dtype.

    Returns
    -------
    numpy.ndarray
        The reordered copy, x's dtype.
    """
    x = np.asarray(x)
    if x.ndim != 1:
        raise ValueError(f"expected a 1-D array, got {x.ndim}-D")
    n = check_points(x.shape[0])
    return x[_reversal(n)]


def _half_table(n):
    """W(n, k) = e^(-2πi·k/n) for 0 <= k < n/2, rounded once to single
    precision from long double, as the C++ host computes it: the angle is
    folded into the first octant so that multiples of π/4 come out exact
    (1, 0, ±i) or symmetric."""
    ld = np.longdouble
    # The angle is 2π·t/(8n) with t = 8k: a whole turn is 8n, the half,
    # quarter and eighth turns 4n, 2n and n. k < n/2 keeps it below π.
    t = 8 * np.arange(n // 2, dtype=np.int64)
    negate_cosine = t > 2 * n  # θ = π − θ'
    t = np.where(negate_cosine, 4 * n - t, t)
    swap = t > n  # θ = π/2 − θ'
    t = np.where(swap, 2 * n - t, t)
    pi = ld("3.141592653589793238462643383279502884")
    theta = ld(2) * pi * t.astype(ld) / (ld(8) * ld(n))
    c, s = np.cos(theta), np.sin(theta)
    c, s = np.where(swap, s, c), np.where(swap, c, s)
    c = np.where(negate_cosine, -c, c)
    w = np.empty(n // 2, dtype=np.complex64)
    # W = cos θ − i·sin θ; adding zero turns a −0 into +0.
    w.real = (c + ld(0)).astype(np.float32)
    w.imag = (-s + ld(0)).astype(np.float32)
    return w


@functools.lru_cache(maxsize=4)
def _segmented(n):
    table = np.empty(n, dtype=np.complex64)
    table[0] = 1
    half = n // 2
    if n > 1:
        table[half:] = _half_table(n)
    m = 1
    while m < half:
        # every lower segment is an exact copy of values of the half table
        table[m:2 * m] = table[half::n // (2 * m)]
        m *= 2
    table.setflags(write=False)
    return table


def twiddle_table(n: int) -> np.ndarray:
    """The segmented twiddle table for n points, as every entry reads it.

    Parameters
    ----------
    n : int
        The number of points, a power of two from 1 to 2^30.

    Returns
    -------
    numpy.ndarray
        A new complex64 array: table[m + j] = W(2m, j) for m = 1, 2, 4, ...,
        n/2 and 0 <= j < m, with W(M, j) = e^(-2πi·j/M); table[0] belongs to
        no segment and holds 1. The same single-precision bits as the C++
        host's table.
    """
    return _segmented(check_points(n, "N")).copy()

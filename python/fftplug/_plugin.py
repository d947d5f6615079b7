"""Loading a plug-in of the fftplug ABI with ctypes and driving its entries."""

from __future__ import annotations

import concurrent.futures
import ctypes
import ctypes.util
import dataclasses
import math
import operator
import os
import threading
from pathlib import Path
from typing import Any, List, Optional, Sequence, Tuple, Union

import numpy as np
import numpy.typing as npt

from . import _names
from ._errors import PluginLoadError, SinglePrecisionError
from ._natural import (CONJUGATE, bind_export, DEFAULT_PLAN_CACHE_SIZE, MAX_POINTS, Plan, PlanCache, data_address,
                       load_natural_library, shared_library_name)
from ._table import check_points

FLAG_ENTRY = 0x001
FLAG_NATURAL_INPUT = 0x200  # natural-order input, bit-reversed result
FLAG_PREPARES_TABLE = 0x400  # a call with reps = 0 prepares the table

NATURAL = "natural"
BIT_REVERSED = "bit-reversed"

NORMS = ("backward", "ortho", "forward")

_RECORDS = 16
_RECORD_BYTES = 68
_CATALOGUE_BYTES = _RECORDS * _RECORD_BYTES
_CREATOR_BYTES = 24
_MARKER = 0xA5  # fills the host's buffers, so that writes past them show

_C64 = np.dtype(np.complex64)
_MAX_ROWS = (1 << 31) - 1  # the row count of one call is a signed 32-bit word
_F32 = np.finfo(np.float32)
_PACKAGE = Path(__file__).resolve().parent

PathLike = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]


@dataclasses.dataclass(frozen=True)
class Entry:
    """One catalogue record as a host reads it.

    An `Entry` stands wherever an entry index does (it has ``__index__``):
    ``plugin.fft(x, entry=plugin.entries[8])``.

    Attributes
    ----------
    index : int
        The entry's index in the catalogue.
    name : str
        The name, decoded from Shift-JIS (code page 932).
    flags : int
        The catalogue's flags word.
    input_order, output_order : str
        `NATURAL` or `BIT_REVERSED`: the orders the entry takes and leaves.
    prepares_table : bool
        Whether a call with ``reps = 0`` rewrites the table's lower half.
    gloss : str or None
        What the name says in English, for fftplug's ten names; None for
        any other.
    label : str or None
        A few words for legends ("DIF r4"), None for an unknown name.
    raw_name : bytes
        The name's bytes, without the terminator.
    """

    index: int
    name: str
    flags: int
    input_order: str
    output_order: str
    prepares_table: bool
    gloss: Optional[str] = None
    label: Optional[str] = None
    raw_name: bytes = dataclasses.field(repr=False, default=b"")

    @property
    def natural_input(self) -> bool:
        return self.input_order == NATURAL

    def __index__(self) -> int:
        return self.index


def _entry_from_record(index: int, record: bytes) -> Entry:
    field, flags = record[:64], int.from_bytes(record[64:68], "little")
    raw = field.split(b"\0", 1)[0]
    natural = bool(flags & FLAG_NATURAL_INPUT)
    name = raw.decode("cp932", errors="replace")
    return Entry(
        index=index,
        name=name,
        flags=flags,
        input_order=NATURAL if natural else BIT_REVERSED,
        output_order=BIT_REVERSED if natural else NATURAL,
        prepares_table=bool(flags & FLAG_PREPARES_TABLE),
        gloss=_names.gloss(name),
        label=_names.label(name),
        raw_name=raw,
    )


def library_name() -> str:
    """The plug-in's file name on this platform."""
    return shared_library_name("fftplug")


def _local_candidates() -> List[str]:
    name = library_name()
    candidates = [str(_PACKAGE / name)]
    for root in (_PACKAGE.parents[1], Path.cwd()):
        if not (root / "CMakePresets.json").is_file():
            continue  # not an fftplug source tree
        path = str(root / "build" / "release" / "bin" / name)
        if path not in candidates:
            candidates.append(path)
    return candidates


def default_plugin_candidates() -> List[str]:
    """Where ``Plugin()`` looks, in order.

    $FFTPLUG_PLUGIN alone when it is set; otherwise the library installed
    inside this package (``pip install`` builds it there), build/release/bin
    of the source tree this package sits in and of the working directory
    when it is one, then a libfftplug on the system's library path.
    """
    configured = os.environ.get("FFTPLUG_PLUGIN")
    if configured:
        return [configured]
    candidates = _local_candidates()
    installed = ctypes.util.find_library("fftplug")
    if installed:
        candidates.append(installed)
    return candidates


def _find_default_plugin() -> str:
    configured = os.environ.get("FFTPLUG_PLUGIN")
    if configured:
        return configured
    for path in _local_candidates():
        if os.path.isfile(path):
            return path
    candidates = default_plugin_candidates()  # the system's search last: it may run ldconfig
    for path in candidates:
        if os.path.isfile(path) or os.sep not in path:  # a bare name: the system's search
            return path
    looked = f"; looked for {', '.join(candidates)}" if candidates else ""
    raise PluginLoadError(f"no fftplug plug-in found: build it, set FFTPLUG_PLUGIN or pass its path{looked}")


def _index(value: Any, what: str) -> int:
    if isinstance(value, bool):
        raise ValueError(f"{what} must be an integer, not bool")
    try:
        return operator.index(value)
    except TypeError:
        raise ValueError(f"{what} must be an integer, not {type(value).__name__}") from None


def _int32(value: Any, what: str) -> int:
    value = _index(value, what)
    if not -(1 << 31) <= value < (1 << 31):
        raise ValueError(f"{what} {value} does not fit a signed 32-bit word")
    return value


def _samples(array: Any, what: str, n: Optional[int] = None, writable: bool = False) -> np.ndarray:
    """array itself if it is a 1-D, contiguous, aligned, native complex64
    numpy array (of n samples when n is given); ValueError otherwise."""
    if not isinstance(array, np.ndarray):
        raise ValueError(f"{what} must be a numpy array, not {type(array).__name__}")
    if array.dtype != _C64:
        raise ValueError(f"{what} must have dtype complex64 (native byte order), not {array.dtype}")
    if array.ndim != 1:
        raise ValueError(f"{what} must be 1-D, not {array.ndim}-D")
    if not (array.flags.c_contiguous and array.flags.aligned):
        raise ValueError(f"{what} must be contiguous and aligned")
    if writable and not array.flags.writeable:
        raise ValueError(f"{what} must be writeable")
    if n is not None and array.shape[0] != n:
        raise ValueError(f"{what} holds {array.shape[0]} samples, the table {n}")
    return array


def _plugin_path(path: Optional[PathLike]) -> str:
    if path is None:
        path = _find_default_plugin()
    try:
        path = os.fsdecode(os.fspath(path))
    except TypeError:
        raise TypeError(f"the plug-in's path must be a str, bytes or os.PathLike, not {type(path).__name__}") from None
    if not path:
        raise PluginLoadError("empty path: pass the plug-in's file, or nothing for the default "
                              "(default_plugin_candidates())")
    if os.sep in path or (os.altsep and os.altsep in path) or os.path.exists(path):
        # A path means that file, never a search of the system's folders.
        if os.path.isdir(path):
            raise PluginLoadError(f"{path}: is a directory, not the plug-in's library file ({library_name()})")
        if not os.path.isfile(path):
            raise PluginLoadError(f"{path}: no such file")
        path = os.path.abspath(path)
    return path


def resolve_workers(workers: Optional[int]) -> int:
    """scipy.fft's meaning of `workers`: None is 1, a negative count wraps
    around from os.cpu_count() (-1: every processor), 0 is an error."""
    if workers is None:
        return 1
    workers = _index(workers, "workers")
    cpus = os.cpu_count() or 1
    if workers < 0:
        if workers < -cpus:
            raise ValueError(f"workers value out of range; got {workers}, must not be less than {-cpus}")
        workers += 1 + cpus
    elif workers == 0:
        raise ValueError("workers must not be zero")
    return workers


_pool: Optional[concurrent.futures.ThreadPoolExecutor] = None
_pool_threads = 0
_pool_lock = threading.Lock()


def _thread_pool(threads: int) -> concurrent.futures.ThreadPoolExecutor:
    """A pool of at least `threads` threads, kept between calls."""
    global _pool, _pool_threads
    with _pool_lock:
        if _pool is None or _pool_threads < threads:
            if _pool is not None:
                _pool.shutdown(wait=False)
            _pool = concurrent.futures.ThreadPoolExecutor(max_workers=threads, thread_name_prefix="fftplug")
            _pool_threads = threads
        return _pool


def _row_stride(a: np.ndarray, n: int) -> Optional[int]:
    """The byte distance between the rows (all axes but the last) of `a` when
    one distance walks them all, the samples of a row contiguous and the
    first n samples of the rows apart from each other; None otherwise."""
    if a.strides[-1] != 8 or not a.flags.aligned:
        return None
    stride = None
    extent = 1
    for size, step in zip(reversed(a.shape[:-1]), reversed(a.strides[:-1])):
        if size == 1:
            continue
        if stride is None:
            stride = step
        elif step != stride * extent:
            return None
        extent *= size
    if stride is None:
        return 8 * n
    return stride if abs(stride) >= 8 * n else None


# From this many samples on, results are placed on a 64-byte line: an
# entry's vectors then never straddle two lines (numpy's own allocations
# start 16 or 32 bytes into a line as often as not, and 16 bytes off costs
# the transform a fifth to a third of its speed). Below it the extra
# allocation costs more than it saves.
_LINE_BYTES = 64
_ALIGN_FROM_SAMPLES = 1024


def _empty_result(shape: Tuple[int, ...]) -> np.ndarray:
    """An uninitialised complex64 array of `shape`, starting on a 64-byte
    line when it holds at least _ALIGN_FROM_SAMPLES samples."""
    count = math.prod(shape)
    if count < _ALIGN_FROM_SAMPLES:
        return np.empty(shape, dtype=_C64)
    raw = np.empty(8 * count + _LINE_BYTES, dtype=np.uint8)
    start = -data_address(raw) % _LINE_BYTES
    return raw[start:start + 8 * count].view(_C64).reshape(shape)


def _scale(norm: Optional[str], n: int, inverse: bool) -> float:
    if norm is None or norm == "backward":
        return 1.0 / n if inverse else 1.0
    if norm == "ortho":
        return 1.0 / math.sqrt(n)
    if norm == "forward":
        return 1.0 if inverse else 1.0 / n
    raise ValueError(f'Invalid norm value {norm!r}, should be "backward", "ortho" or "forward"')


def _single_precision_holds(dtype: np.dtype) -> bool:
    """Whether every value of dtype is a float32 (or pair of them) as it is."""
    if dtype.kind in "fc":
        return dtype.itemsize <= (4 if dtype.kind == "f" else 8)
    return dtype.kind == "b" or (dtype.kind in "iu" and dtype.itemsize <= 2)


def check_single_range(x: np.ndarray, n: int, scale: float) -> bool:
    """Raises SinglePrecisionError where x cannot be transformed in single
    precision: a finite value beyond float32's largest, or the largest value
    of the result (at least the input's largest times `scale`) below
    float32's normal range. Returns whether the transform of this finite
    input could overflow float32 (N·√2 times the largest value beyond it),
    for the caller to look at the result. Reads x twice, allocates nothing
    unless x holds infinities."""
    if x.dtype.kind not in "fc" or x.size == 0:
        return False
    values = x.real if x.dtype.kind == "c" else x  # views; the imaginary part below
    parts = (values, x.imag) if x.dtype.kind == "c" else (values,)
    largest = 0.0
    for part in parts:
        high, low = float(np.fmax.reduce(part, axis=None)), float(np.fmin.reduce(part, axis=None))
        largest = max(largest, abs(high) if high == high else 0.0, abs(low) if low == low else 0.0)
    if math.isinf(largest):  # infinities stay infinite; look at the finite values alone
        largest = 0.0
        for part in parts:
            finite = np.abs(part[np.isfinite(part)])
            if finite.size:
                largest = max(largest, float(finite.max()))
    if largest > _F32.max:
        raise SinglePrecisionError(
            f"a value of magnitude {largest:.3g} is beyond float32's largest ({float(_F32.max):.3g}); the plug-in "
            "computes in single precision: scale the input or leave this transform to scipy")
    if 0.0 < largest * min(1.0, scale) < _F32.tiny:
        raise SinglePrecisionError(
            f"the data's largest magnitude is {largest:.3g}, the result's at least {largest * min(1.0, scale):.3g}, "
            f"below float32's normal range (from {float(_F32.tiny):.3g}); in single precision it would come out "
            "as zeros: scale the input or leave this transform to scipy")
    if largest * n * math.sqrt(2.0) <= _F32.max:
        return False
    # Only where every value is finite does a non-finite result mean overflow.
    return all(math.isfinite(float(np.add.reduce(part, axis=None))) for part in parts)


class Plugin:
    """A plug-in of the fftplug ABI, loaded with ctypes.

    Parameters
    ----------
    path : str, bytes or os.PathLike, optional
        The library file. By default $FFTPLUG_PLUGIN, else the library
        installed with this package, else the libfftplug built in this source
        tree (see `default_plugin_candidates`). A name without a folder is
        looked up on the system's library path.
    plan_cache_size : int, optional
        How many plans (the prepared table of one entry and N, 8·N bytes
        each) `fft` and `ifft` keep, the least recently used going first;
        16 by default, 0 keeps none. Settable later as
        ``plugin.plan_cache_size``.

    Raises
    ------
    PluginLoadError
        For a file that is missing, is a directory, does not load, lacks an
        export or writes a catalogue out of bounds; the message is one line
        naming the path.

    Notes
    -----
    On Windows ctypes.CDLL loads fftplug.dll the same way (cdecl), from a
    Python of the DLL's bitness; only the Linux library is tested. The
    transforms (`fft`, `ifft`) also need the host's reordering library,
    fftplug_natural, found beside the plug-in or inside this package.
    """

    def __init__(self, path: Optional[PathLike] = None, *, plan_cache_size: int = DEFAULT_PLAN_CACHE_SIZE) -> None:
        self._plans = PlanCache(plan_cache_size)
        path = _plugin_path(path)
        try:
            library = ctypes.CDLL(path)
        except OSError as error:
            raise PluginLoadError(f"{path}: does not load: {error}") from None
        self.path = path
        self._library = library
        self._natural_library = None
        self._natural_lock = threading.Lock()

        def export(name, result, *arguments):
            return bind_export(library, path, name, result, *arguments)

        p, u32, i32 = ctypes.c_void_p, ctypes.c_uint32, ctypes.c_int32
        get_signature = export("getCircuitSignature", i32)
        get_creator = export("getCreatorSignature", p, p)
        get_count = export("getEntryCount", i32)
        get_specs = export("getEntrySpecs", p, p)
        self._run_entry = export("runEntry", None, u32, i32, p, u32, p, u32, p, u32, i32)
        self._run_entry_address = ctypes.cast(self._run_entry, ctypes.c_void_p).value

        self.signature = get_signature()
        creator = ctypes.create_string_buffer(bytes([_MARKER]) * (2 * _CREATOR_BYTES))
        get_creator(creator)
        self.creator = creator.raw[:_CREATOR_BYTES].split(b"\0", 1)[0].decode("cp932", errors="replace")
        count = get_count()
        if not 1 <= count <= _RECORDS:
            raise PluginLoadError(f"{path}: getEntryCount returned {count}; a catalogue has 1 to 16 entries")
        specs = ctypes.create_string_buffer(bytes([_MARKER]) * (2 * _CATALOGUE_BYTES))
        get_specs(specs)
        raw = specs.raw
        if raw[_CATALOGUE_BYTES:2 * _CATALOGUE_BYTES] != bytes([_MARKER]) * _CATALOGUE_BYTES:
            raise PluginLoadError(f"{path}: getEntrySpecs wrote past its {_CATALOGUE_BYTES} bytes")
        self.entries: Tuple[Entry, ...] = tuple(
            _entry_from_record(i, raw[i * _RECORD_BYTES:(i + 1) * _RECORD_BYTES]) for i in range(count))

    def __repr__(self) -> str:
        return f"Plugin({self.path!r})"

    @property
    def plan_cache_size(self) -> int:
        """How many plans `fft` and `ifft` keep (see the class's parameters)."""
        return self._plans.size

    @plan_cache_size.setter
    def plan_cache_size(self, size: int) -> None:
        self._plans.size = size

    def _entry(self, entry: Union[int, Entry]) -> Entry:
        """The catalogue record of `entry` (an index or an `Entry`);
        ValueError when there is none."""
        index = _index(entry, "entry")
        if not 0 <= index < len(self.entries):
            raise ValueError(f"entry {index} is out of range 0 to {len(self.entries) - 1}")
        return self.entries[index]

    def run(self, entry: Union[int, Entry], input: Optional[np.ndarray], work: Optional[np.ndarray],
            table: np.ndarray, reps: int) -> None:
        """The raw call ``runEntry(entry, N, input, 0, work, 0, table, 0, reps)``.

        N is the table's length; the arrays are complex64 of N samples each,
        passed with nothing converted.

        Parameters
        ----------
        entry : int or Entry
        input, work : numpy.ndarray or None
            1-D, contiguous, aligned, native complex64; work writeable. Both
            may be None when ``reps <= 0``.
        table : numpy.ndarray
            The twiddle table (`twiddle_table`), writeable on a preparation.
        reps : int
            < 0 does nothing; 0 lets an entry that prepares the table rewrite
            ``table[:N//2]`` as the bit-reversed copy of ``table[N//2:]``;
            > 0 copies input to work and transforms work in place, reps times.

        Raises
        ------
        ValueError
            For anything the ABI forbids: an entry out of range, a table
            length that is not a power of two, arrays of the wrong size,
            dtype or layout, read-only or overlapping arrays.
        """
        index = self._entry(entry).index
        reps = _int32(reps, "reps")
        table = _samples(table, "table", writable=reps == 0)
        n = check_points(table.shape[0], "table length")
        arrays = {"table": table}
        for what, array, writable in (("input", input, False), ("work", work, True)):
            if array is None and reps <= 0:
                continue
            arrays[what] = _samples(array, what, n, writable)
        names = list(arrays)
        for i, first in enumerate(names):
            for second in names[i + 1:]:
                if np.may_share_memory(arrays[first], arrays[second]):
                    raise ValueError(f"{first} and {second} overlap")
        pointer = {what: data_address(array) for what, array in arrays.items()}
        self._run_entry(index, n, pointer.get("input"), 0, pointer.get("work"), 0, pointer["table"], 0, reps)

    def fft(self, x: npt.ArrayLike, n: Optional[int] = None, axis: int = -1, norm: Optional[str] = None,
            entry: Union[int, Entry] = 6, *, workers: Optional[int] = None,
            overwrite_x: bool = False) -> np.ndarray:
        """The forward DFT ``X[k] = Σ x[j]·exp(-2πi·jk/N)`` by one entry, in
        single precision, in natural order.

        Parameters
        ----------
        x : array_like
            Numeric input, any dtype, any number of dimensions (each 1-D
            slice along `axis` is transformed).
        n : int, optional
            Length of the transform: x is cut or padded with zeros along
            `axis` to it. By default x's length there. A power of two up to
            2^28.
        axis : int, optional
            The axis transformed; the last by default.
        norm : {None, "backward", "ortho", "forward"}, optional
            scipy.fft's normalisation: forward unscaled by default.
        entry : int or Entry, optional
            The entry that computes it (6 by default).
        workers : int, optional
            Threads that share the transforms of a batch; scipy.fft's meaning
            (None: 1; -1: every processor).
        overwrite_x : bool, optional
            Allows the transform to be computed in x's own memory (and
            returned there) when x is complex64 with rows one stride apart.

        Returns
        -------
        numpy.ndarray
            complex64, x's shape with `n` along `axis`.

        Raises
        ------
        ValueError
            An entry out of range, a length that is not a power of two,
            non-numeric or 0-D input, a bad axis, norm or workers.
        SinglePrecisionError
            Double-precision input with a finite value beyond float32's range,
            or so small that its transform would underflow, or whose
            transform overflows float32.

        Notes
        -----
        The input is put into the entry's order by the host's compiled
        reordering straight into the result array, which the entry then
        transforms in place (entry 2: transforms, then the result is put
        back into order); the entry's table for N is built and prepared once
        and kept in the plug-in's plan cache. The result has the same bits
        as the C++ host's driver gives.
        """
        if (n is None and norm is None and workers is None and type(x) is np.ndarray and x.dtype is _C64
                and x.ndim == 1 and (axis == -1 or axis == 0) and type(entry) is int and not overwrite_x):
            y = self._direct(x, entry, False)
            if y is not None:
                return y
        return self._transform(x, n, axis, norm, entry, False, workers, overwrite_x)

    def ifft(self, x: npt.ArrayLike, n: Optional[int] = None, axis: int = -1, norm: Optional[str] = None,
             entry: Union[int, Entry] = 6, *, workers: Optional[int] = None,
             overwrite_x: bool = False) -> np.ndarray:
        """The inverse DFT ``x[j] = (1/N)·Σ X[k]·exp(2πi·jk/N)``, computed as
        ``conj(fft(conj(X)))/N`` by one entry, in single precision.

        Parameters and result as in `fft`; ``norm=None`` ("backward") divides
        by N, "ortho" by √N, "forward" not at all.
        """
        if (n is None and norm is None and workers is None and type(x) is np.ndarray and x.dtype is _C64
                and x.ndim == 1 and (axis == -1 or axis == 0) and type(entry) is int and not overwrite_x):
            y = self._direct(x, entry, True)
            if y is not None:
                return y
        return self._transform(x, n, axis, norm, entry, True, workers, overwrite_x)

    def _direct(self, x: np.ndarray, index: int, inverse: bool) -> Optional[np.ndarray]:
        """The quick way for the commonest call: x 1-D complex64 with its
        samples contiguous and aligned, the plan for (index, N) cached, the
        norm "backward"; None for any other call (the general way then
        checks it and makes the plan)."""
        n = x.shape[0]
        plan = self._plans.lookup((index, n))
        if plan is None or x.strides[0] != 8:
            return None
        src = data_address(x)
        if src & 3:
            return None
        out = _empty_result((n,))
        if plan.execute(plan.handle, src, 8 * n, data_address(out), 8 * n, 1, CONJUGATE if inverse else 0,
                        1.0 / n if inverse else 1.0):
            raise RuntimeError("fftplugNaturalPlanExecute refused its arguments")
        return out

    def _transform(self, x, n, axis, norm, entry, inverse, workers, overwrite_x):
        e = self._entry(entry)
        if not isinstance(x, np.ndarray):
            x = np.asarray(x)
        if x.dtype.kind not in "biufc":
            raise ValueError(f"dtype {x.dtype} is not numeric")
        if x.ndim == 0:
            raise ValueError("expected an array of at least one dimension, got a 0-D one")
        axis = _index(axis, "axis")
        if not -x.ndim <= axis < x.ndim:
            raise ValueError(f"axis {axis} is out of bounds for an array of dimension {x.ndim}")
        axis %= x.ndim
        n = x.shape[axis] if n is None else _index(n, "n")
        n = check_points(n)
        if n > MAX_POINTS:
            raise ValueError(f"length {n} exceeds 2^28 points, the most the host's reordering takes")
        scale = _scale(norm, n, inverse)
        return self._natural_transform(e, x, n, axis, scale, inverse, resolve_workers(workers), overwrite_x)

    def _natural(self):
        natural = self._natural_library
        if natural is None:
            with self._natural_lock:
                if self._natural_library is None:
                    self._natural_library = load_natural_library(self.path)
                natural = self._natural_library
        return natural

    def _plan(self, e: Entry, n: int) -> Plan:
        return self._plans.get((e.index, n), lambda: Plan(self._natural(), self._library,
                                                         self._run_entry_address, e.index, e.flags, n))

    def _natural_transform(self, e: Entry, x: np.ndarray, n: int, axis: int, scale: float, inverse: bool,
                           workers: int, overwrite_x: bool, result_dtype: Optional[np.dtype] = None) -> np.ndarray:
        """The transform of every 1-D slice of x along `axis` (checked:
        0 <= axis < x.ndim, n a power of two the reordering takes, workers
        >= 1), into a new complex64 array (or x itself, see overwrite_x),
        converted to result_dtype when one is given."""
        overflow_possible = False
        if not _single_precision_holds(x.dtype):
            overflow_possible = check_single_range(x, n, scale)
        last = x.ndim - 1
        rows_view = x if axis == last else np.moveaxis(x, axis, -1)
        length = rows_view.shape[-1]
        batch = rows_view.shape[:-1]
        stride = _row_stride(rows_view, n) if x.dtype == _C64 and n <= length else None
        if stride is not None and overwrite_x and n == length and result_dtype in (None, _C64) \
                and rows_view.flags.writeable:
            src = out = rows_view
            src_stride = out_stride = stride
        elif stride is not None:
            src, src_stride = rows_view, stride
            out = _empty_result(batch + (n,))
            out_stride = 8 * n
        else:
            out = _empty_result(batch + (n,))
            kept = min(n, length)
            np.copyto(out[..., :kept] if kept < n else out, rows_view[..., :kept] if kept < length else rows_view,
                      casting="unsafe")
            if n > length:
                out[..., length:] = 0
            src, src_stride = out, 8 * n
            out_stride = src_stride
        rows = math.prod(batch)
        if rows:
            self._execute(self._plan(e, n), src, src_stride, out, out_stride, rows, inverse, scale, workers)
        if overflow_possible and not np.isfinite(out).all():
            raise SinglePrecisionError(
                f"the transform overflows float32 (its values reach beyond {float(_F32.max):.3g}); the plug-in "
                "computes in single precision: scale the input or leave this transform to scipy")
        result = out if result_dtype is None or result_dtype == _C64 else out.astype(result_dtype)
        return result if axis == last else np.moveaxis(result, -1, axis)

    def _execute(self, plan: Plan, src: np.ndarray, src_stride: int, out: np.ndarray, out_stride: int, rows: int,
                 inverse: bool, scale: float, workers: int) -> None:
        """The plan on `rows` rows, in as many calls as `workers` asks (each
        on a thread of the pool) or a row count of 32 bits needs."""
        execute = plan.execute
        options = CONJUGATE if inverse else 0
        src_address, out_address = data_address(src), data_address(out)
        parts = max(min(workers, rows), -(-rows // _MAX_ROWS))
        if parts == 1:
            status = execute(plan.handle, src_address, src_stride, out_address, out_stride, rows, options, scale)
        else:
            bounds = [rows * i // parts for i in range(parts + 1)]

            def run(i):
                first, count = bounds[i], bounds[i + 1] - bounds[i]
                return execute(plan.handle, src_address + first * src_stride, src_stride,
                               out_address + first * out_stride, out_stride, count, options, scale)

            if workers > 1:
                status = min(_thread_pool(min(workers, parts)).map(run, range(parts)))
            else:
                status = min(map(run, range(parts)))
        if status != 0:
            raise RuntimeError(f"fftplugNaturalPlanExecute refused its arguments ({status})")

    def plans(self) -> Sequence[Tuple[int, int]]:
        """The (entry index, N) of the plans now cached, least recently used first."""
        return self._plans.keys()


_default_plugins = {}
_default_lock = threading.Lock()


def default_plugin() -> Plugin:
    """``Plugin()``, loaded once per process for each library it finds (see
    `default_plugin_candidates`): what `scipy_backend` uses when given no
    plug-in."""
    path = _plugin_path(None)
    with _default_lock:
        plugin = _default_plugins.get(path)
        if plugin is None:
            plugin = _default_plugins[path] = Plugin(path)
        return plugin

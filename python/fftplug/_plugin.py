"""Loading a plug-in of the fftplug ABI with ctypes and driving its entries."""

import ctypes
import ctypes.util
import dataclasses
import operator
import os
import sys
from pathlib import Path

import numpy as np

from ._table import _segmented, bit_reversed, check_points

FLAG_ENTRY = 0x001
FLAG_NATURAL_INPUT = 0x200  # natural-order input, bit-reversed result
FLAG_PREPARES_TABLE = 0x400  # a call with reps = 0 prepares the table

NATURAL = "natural"
BIT_REVERSED = "bit-reversed"

_RECORDS = 16
_RECORD_BYTES = 68
_CATALOGUE_BYTES = _RECORDS * _RECORD_BYTES
_CREATOR_BYTES = 24
_MARKER = 0xA5  # fills the host's buffers, so that writes past them show


class PluginLoadError(OSError):
    """A plug-in that does not load, lacks an export or whose catalogue
    cannot be read. The message is one line naming the path."""


@dataclasses.dataclass(frozen=True)
class Entry:
    """One catalogue record as a host reads it."""

    index: int
    name: str  # decoded from Shift-JIS (code page 932)
    flags: int
    input_order: str  # NATURAL or BIT_REVERSED
    output_order: str
    prepares_table: bool  # a call with reps = 0 rewrites the table's lower half
    raw_name: bytes = dataclasses.field(repr=False, default=b"")  # without the terminator

    @property
    def natural_input(self):
        return self.input_order == NATURAL


def _entry_from_record(index, record):
    field, flags = record[:64], int.from_bytes(record[64:68], "little")
    raw = field.split(b"\0", 1)[0]
    natural = bool(flags & FLAG_NATURAL_INPUT)
    return Entry(
        index=index,
        name=raw.decode("cp932", errors="replace"),
        flags=flags,
        input_order=NATURAL if natural else BIT_REVERSED,
        output_order=BIT_REVERSED if natural else NATURAL,
        prepares_table=bool(flags & FLAG_PREPARES_TABLE),
        raw_name=raw,
    )


def library_name():
    """The plug-in's file name on this platform."""
    if sys.platform == "win32":
        return "fftplug.dll"
    if sys.platform == "darwin":
        return "libfftplug.dylib"
    return "libfftplug.so"


def default_plugin_candidates():
    """Where Plugin() looks, in order: $FFTPLUG_PLUGIN alone when it is set;
    otherwise build/release/bin of the source tree this package sits in and of
    the working directory when it is one, then an installed libfftplug on the system's
    library path."""
    configured = os.environ.get("FFTPLUG_PLUGIN")
    if configured:
        return [configured]
    name = library_name()
    tree = Path(__file__).resolve().parents[2]  # <tree>/python/fftplug/ when run from the sources
    candidates = []
    for root in (tree, Path.cwd()):
        if not (root / "CMakePresets.json").is_file():
            continue  # not an fftplug source tree
        path = str(root / "build" / "release" / "bin" / name)
        if path not in candidates:
            candidates.append(path)
    installed = ctypes.util.find_library("fftplug")
    if installed:
        candidates.append(installed)
    return candidates


def _find_default_plugin():
    candidates = default_plugin_candidates()
    if os.environ.get("FFTPLUG_PLUGIN"):
        return candidates[0]
    for path in candidates:
        if os.path.isfile(path) or os.sep not in path:  # a bare name: the system's search
            return path
    looked = f"; looked for {', '.join(candidates)}" if candidates else ""
    raise PluginLoadError(f"no fftplug plug-in found: build it, set FFTPLUG_PLUGIN or pass its path{looked}")


def _index(value, what):
    if isinstance(value, bool):
        raise ValueError(f"{what} must be an integer, not bool")
    try:
        return operator.index(value)
    except TypeError:
        raise ValueError(f"{what} must be an integer, not {type(value).__name__}") from None


def _int32(value, what):
    value = _index(value, what)
    if not -(1 << 31) <= value < (1 << 31):
        raise ValueError(f"{what} {value} does not fit a signed 32-bit word")
    return value


def _samples(array, what, n=None, writable=False):
    """array itself if it is a 1-D, contiguous, aligned, native complex64
    numpy array (of n samples when n is given); ValueError otherwise."""
    if not isinstance(array, np.ndarray):
        raise ValueError(f"{what} must be a numpy array, not {type(array).__name__}")
    if array.dtype != np.dtype(np.complex64):
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


class Plugin:
    """A plug-in of the fftplug ABI, loaded with ctypes.

    path: the library file; by default $FFTPLUG_PLUGIN, else the
    libfftplug built in this source tree (default_plugin_candidates()). On
    Windows ctypes.CDLL loads fftplug.dll the same way (cdecl), from a Python
    of the DLL's bitness; only the Linux library is tested.
    """

    def __init__(self, path=None):
        path = _find_default_plugin() if path is None else os.fspath(path)
        if os.sep in path or (os.altsep and os.altsep in path) or os.path.exists(path):
            # A path means that file, never a search of the system's folders.
            if not os.path.isfile(path):
                raise PluginLoadError(f"{path}: no such file")
            path = os.path.abspath(path)
        try:
            library = ctypes.CDLL(path)
        except OSError as error:
            raise PluginLoadError(f"{path}: does not load: {error}") from None
        self.path = path
        self._library = library

        def export(name, result, *arguments):
            try:
                function = getattr(library, name)
            except AttributeError:
                raise PluginLoadError(f"{path}: lacks the export {name}") from None
            function.restype = result
            function.argtypes = arguments
            return function

        p, u32, i32 = ctypes.c_void_p, ctypes.c_uint32, ctypes.c_int32
        get_signature = export("getCircuitSignature", i32)
        get_creator = export("getCreatorSignature", p, p)
        get_count = export("getEntryCount", i32)
        get_specs = export("getEntrySpecs", p, p)
        self._run_entry = export("runEntry", None, u32, i32, p, u32, p, u32, p, u32, i32)

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
        self.entries = tuple(_entry_from_record(i, raw[i * _RECORD_BYTES:(i + 1) * _RECORD_BYTES])
                             for i in range(count))

    def __repr__(self):
        return f"Plugin({self.path!r})"

    def _entry(self, entry):
        index = _index(entry, "entry")
        if not 0 <= index < len(self.entries):
            raise ValueError(f"entry {index} is out of range 0 to {len(self.entries) - 1}")
        return self.entries[index]

    def run(self, entry, input, work, table, reps):
        """runEntry(entry, N, input, 0, work, 0, table, 0, reps), N the table's
        length, on complex64 arrays of N samples each, with nothing converted:
        reps < 0 does nothing; reps = 0 lets an entry that prepares the table
        rewrite table[:N//2] as the bit-reversed copy of table[N//2:] (input
        and work may then be None); reps > 0 copies input to work and
        transforms work in place, reps times. The arrays must not overlap;
        work, and table on a preparation, must be writeable."""
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
        pointer = {what: array.ctypes.data for what, array in arrays.items()}
        self._run_entry(index, n, pointer.get("input"), 0, pointer.get("work"), 0, pointer["table"], 0, reps)

    def fft(self, x, entry=6):
        """The forward DFT X[k] = Σ x[n]·e^(-2πi·nk/N) of the 1-D array x
        (N a power of two, any numeric dtype), computed in single precision by
        `entry` as a host drives it: the table built and, where the entry's
        flags say so, prepared; the input in the order the entry takes; the
        result a new complex64 array in natural order."""
        e = self._entry(entry)
        x = np.asarray(x)
        if x.ndim != 1:
            raise ValueError(f"expected a 1-D array, got {x.ndim}-D")
        if x.dtype.kind not in "biufc":
            raise ValueError(f"dtype {x.dtype} is not numeric")
        n = check_points(x.shape[0])
        signal = x.astype(np.complex64)
        input = signal if e.natural_input else bit_reversed(signal)
        table = _segmented(n)  # shared and read-only: a transform only reads it
        if e.prepares_table:
            table = table.copy()
            self.run(e.index, None, None, table, 0)
        work = np.zeros(n, dtype=np.complex64)
        self.run(e.index, input, work, table, 1)
        return bit_reversed(work) if e.natural_input else work

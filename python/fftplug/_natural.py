"""The host's compiled natural-order transform (the fftplug_natural library,
host/natural_order.h) through ctypes, and the plans it keeps per entry and N."""

from __future__ import annotations

import collections
import ctypes
import operator
import os
import sys
import threading
from pathlib import Path
from typing import Any, Callable, Dict, List, Optional, Tuple

import numpy as np

from ._errors import PluginLoadError

# The largest N the host's reordering takes.
MAX_POINTS = 1 << 28

# Options of a transform (natural_order.h).
CONJUGATE = 1

DEFAULT_PLAN_CACHE_SIZE = 16

_PACKAGE = Path(__file__).resolve().parent
_TREE = _PACKAGE.parents[1]  # <tree>/python/fftplug/ when run from the sources


def shared_library_name(base: str) -> str:
    """The file name this platform gives the shared library `base`."""
    if sys.platform == "win32":
        return f"{base}.dll"
    if sys.platform == "darwin":
        return f"lib{base}.dylib"
    return f"lib{base}.so"


def natural_library_name() -> str:
    """The file name of the host's reordering library on this platform."""
    return shared_library_name("fftplug_natural")


def natural_library_candidates(plugin_path: Optional[str] = None) -> List[str]:
    """Where the reordering library is looked for, in order: beside the
    plug-in (a build puts both into one folder), inside this package (where
    pip install puts it), in build/release/bin of the source tree this
    package sits in."""
    name = natural_library_name()
    candidates = []
    if plugin_path and os.path.dirname(plugin_path):
        candidates.append(os.path.join(os.path.dirname(plugin_path), name))
    candidates.append(str(_PACKAGE / name))
    if (_TREE / "CMakePresets.json").is_file():
        candidates.append(str(_TREE / "build" / "release" / "bin" / name))
    unique = []
    for path in candidates:
        if path not in unique:
            unique.append(path)
    return unique


def _data_address_reader() -> Callable[[Any], int]:
    """array -> the address of its first element, as ``array.ctypes.data``
    gives it but several times faster: on CPython the `data` pointer of
    numpy's array object comes right after the object's header (a layout
    numpy's C API fixes, its macros read it there), which ctypes reads at
    id(array). Checked against numpy's own answer for a fresh array and an
    offset view; ``.ctypes.data`` where that does not hold."""
    fallback = operator.attrgetter("ctypes.data")
    if sys.implementation.name != "cpython":
        return fallback
    header = ctypes.sizeof(ctypes.c_ssize_t) + ctypes.sizeof(ctypes.c_void_p)  # ob_refcnt, ob_type
    read = ctypes.c_void_p.from_address
    probe = np.empty(5, dtype=np.complex64)
    try:
        if all(read(id(a) + header).value == a.ctypes.data for a in (probe, probe[3:], probe[::-1])):
            return lambda array: read(id(array) + header).value
    except (OSError, ValueError):  # pragma: no cover
        pass
    return fallback


data_address = _data_address_reader()



def bind_export(library: ctypes.CDLL, path: str, name: str, result: Any, *arguments: Any) -> Any:
    """The export `name` of a library loaded from `path`, typed; a
    PluginLoadError naming the path where the library lacks it."""
    try:
        function = getattr(library, name)
    except AttributeError:
        raise PluginLoadError(f"{path}: lacks the export {name}") from None
    function.restype = result
    function.argtypes = arguments
    return function

class NaturalLibrary:
    """The reordering library's exports, typed for ctypes. ctypes.CDLL
    releases the GIL during every call into it."""

    def __init__(self, path: str) -> None:
        try:
            library = ctypes.CDLL(path)
        except OSError as error:
            raise PluginLoadError(f"{path}: does not load: {error}") from None
        self.path = path
        self._library = library
        p, i32, i64, u32 = ctypes.c_void_p, ctypes.c_int32, ctypes.c_int64, ctypes.c_uint32

        def export(name, result, *arguments):
            return bind_export(library, path, name, result, *arguments)

        self.plan_create = export("fftplugNaturalPlanCreate", p, p, u32, u32, i32)
        self.plan_destroy = export("fftplugNaturalPlanDestroy", None, p)
        self.plan_execute = export("fftplugNaturalPlanExecute", i32, p, p, i64, p, i64, i32, i32, ctypes.c_float)
        self.plan_bytes = export("fftplugNaturalPlanBytes", i64, p)


_libraries: Dict[str, NaturalLibrary] = {}
_libraries_lock = threading.Lock()


def load_natural_library(plugin_path: Optional[str] = None) -> NaturalLibrary:
    """The reordering library for a plug-in at plugin_path, loaded once per
    file; PluginLoadError naming the places looked at when there is none."""
    candidates = natural_library_candidates(plugin_path)
    for path in candidates:
        if os.path.isfile(path):
            path = os.path.abspath(path)
            with _libraries_lock:
                library = _libraries.get(path)
                if library is None:
                    library = _libraries[path] = NaturalLibrary(path)
            return library
    raise PluginLoadError(f"no {natural_library_name()}, the host's reordering library: build the target "
                          f"fftplug_natural or pip install the package; looked for {', '.join(candidates)}")


class Plan:
    """The prepared twiddle table of one (plug-in, entry, N), held by the
    reordering library (8·N bytes and a few more), freed when the last
    reference goes. Executing it allocates nothing."""

    __slots__ = ("handle", "n", "nbytes", "execute", "_natural", "_plugin_library", "__weakref__")

    def __init__(self, natural: NaturalLibrary, plugin_library: ctypes.CDLL, run_entry: int, index: int,
                 flags: int, n: int) -> None:
        self.handle = None
        self._natural = natural
        self._plugin_library = plugin_library  # runEntry stays loaded while the plan lives
        handle = natural.plan_create(run_entry, index, flags, n)
        if not handle:
            raise MemoryError(f"no memory for the {n}-point table of entry {index}")
        self.handle = handle
        self.n = n
        self.nbytes = int(natural.plan_bytes(handle))
        # execute(handle, src, srcStride, dst, dstStride, rows, options, scale)
        self.execute = natural.plan_execute

    def __del__(self) -> None:
        handle, self.handle = self.handle, None
        if handle:
            try:
                self._natural.plan_destroy(handle)
            except Exception:  # noqa: BLE001  interpreter shutdown: the process frees it
                pass


class PlanCache:
    """At most `size` plans, the least recently used going first; safe to
    share between threads (a plan still in use when it is evicted lives on
    until its last call returns)."""

    def __init__(self, size: int = DEFAULT_PLAN_CACHE_SIZE) -> None:
        self._plans: "collections.OrderedDict[Tuple[int, int], Plan]" = collections.OrderedDict()
        self._lock = threading.Lock()
        self._size = 0
        self.size = size

    @property
    def size(self) -> int:
        return self._size

    @size.setter
    def size(self, size: int) -> None:
        if isinstance(size, bool) or not isinstance(size, int) or size < 0:
            raise ValueError(f"the plan cache's size must be an integer of at least 0, not {size!r}")
        with self._lock:
            self._size = size
            while len(self._plans) > size:
                self._plans.popitem(last=False)

    def get(self, key: Tuple[int, int], make: Callable[[], Plan]) -> Plan:
        """The plan for key, made by make() and kept when it is not cached."""
        plan = self.lookup(key)
        if plan is not None:
            return plan
        plan = make()
        with self._lock:
            if self._size:
                self._plans[key] = plan
                while len(self._plans) > self._size:
                    self._plans.popitem(last=False)
        return plan

    def lookup(self, key: Tuple[int, int]) -> Optional[Plan]:
        """The cached plan for key, or None; no plan is made. Takes no lock:
        each step is one operation of the dictionary (atomic under the GIL),
        and a plan evicted meanwhile is still returned whole."""
        plan = self._plans.get(key)
        if plan is not None:
            try:
                self._plans.move_to_end(key)
            except KeyError:  # evicted by another thread just now
                pass
        return plan

    def keys(self) -> List[Tuple[int, int]]:
        with self._lock:
            return list(self._plans)

    def nbytes(self) -> int:
        with self._lock:
            return sum(plan.nbytes for plan in self._plans.values())

    def clear(self) -> None:
        with self._lock:
            self._plans.clear()

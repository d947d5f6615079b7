"""fftplug from Python: load a plug-in of the fftplug ABI with ctypes and run
its entries on numpy arrays, or behind scipy.fft.

    import fftplug
    plugin = fftplug.Plugin()          # the library installed with the package, or $FFTPLUG_PLUGIN
    X = plugin.fft(x, entry=7)         # radix 4, single precision, natural order
    with scipy.fft.set_backend(fftplug.scipy_backend(7)):
        X = scipy.fft.fft(x)
"""

from ._errors import PluginLoadError, SinglePrecisionError
from ._natural import DEFAULT_PLAN_CACHE_SIZE, natural_library_name
from ._plugin import (BIT_REVERSED, FLAG_ENTRY, FLAG_NATURAL_INPUT, FLAG_PREPARES_TABLE, NATURAL, Entry, Plugin,
                      default_plugin, default_plugin_candidates, library_name)
from ._scipy import ScipyBackend, scipy_backend
from ._table import bit_reversed, error_bound, twiddle_table
from ._version import __version__

__all__ = [
    "BIT_REVERSED", "DEFAULT_PLAN_CACHE_SIZE", "FLAG_ENTRY", "FLAG_NATURAL_INPUT", "FLAG_PREPARES_TABLE", "NATURAL",
    "Entry", "Plugin", "PluginLoadError", "ScipyBackend", "SinglePrecisionError", "__version__", "bit_reversed",
    "default_plugin", "default_plugin_candidates", "error_bound", "library_name", "natural_library_name",
    "scipy_backend", "twiddle_table",
]

"""fftplug from Python: load a plug-in of the fftplug ABI with ctypes and run
its entries on numpy arrays, or behind scipy.fft.

    import fftplug
    plugin = fftplug.Plugin()          # $FFTPLUG_PLUGIN or the built libfftplug
    X = plugin.fft(x, entry=8)         # split radix, single precision
"""

from ._plugin import (BIT_REVERSED, FLAG_ENTRY, FLAG_NATURAL_INPUT, FLAG_PREPARES_TABLE, NATURAL, Entry,
                      Plugin, PluginLoadError, default_plugin_candidates, library_name)
from ._scipy import ScipyBackend, scipy_backend
from ._table import bit_reversed, error_bound, twiddle_table

__version__ = "0.1.0"

__all__ = [
    "BIT_REVERSED", "FLAG_ENTRY", "FLAG_NATURAL_INPUT", "FLAG_PREPARES_TABLE", "NATURAL", "Entry", "Plugin",
    "PluginLoadError", "ScipyBackend", "bit_reversed", "default_plugin_candidates", "error_bound",
    "library_name", "scipy_backend", "twiddle_table",
]

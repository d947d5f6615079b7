"""The exceptions of the Python host."""


class PluginLoadError(OSError):
    """A plug-in (or the host's reordering library) that does not load, lacks
    an export or whose catalogue cannot be read. The message is one line
    naming the path."""


class SinglePrecisionError(ValueError):
    """Input that single precision cannot carry: a finite value beyond
    float32's largest (it would become infinite), data so small that the
    transform would underflow, or a transform whose result overflows."""

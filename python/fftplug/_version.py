"""The package's version, its one source (pyproject.toml reads it)."""

__version__ = "0.1.0"

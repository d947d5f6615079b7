"""The English words for fftplug's catalogue names, from the entries' rows
that the plug-in and fftbench are built from too (plugin/entry_rows.txt; an
installed package carries a copy made by its build)."""

from __future__ import annotations

import functools
from pathlib import Path
from typing import Dict, Optional, Tuple

_FILE = "entry_rows.txt"
_PACKAGE = Path(__file__).resolve().parent
_TREE_FILE = _PACKAGE.parents[1] / "plugin" / _FILE


def names_file() -> Optional[Path]:
    """The names file this package reads: its own copy when installed, the
    source tree's otherwise; None when there is neither."""
    for path in (_PACKAGE / _FILE, _TREE_FILE):
        if path.is_file():
            return path
    return None


def parse_names(text: str) -> Dict[str, Tuple[str, str]]:
    """name -> (gloss, label) from the rows "kernel | folder | flags | name |
    gloss | label | shift-jis"; blank lines and lines starting with # are
    skipped."""
    names = {}
    for number, line in enumerate(text.splitlines(), 1):
        if not line.strip() or line.startswith("#"):
            continue
        fields = [field.strip() for field in line.split(" | ")]
        if len(fields) != 7:
            raise ValueError(f"{_FILE} line {number}: expected kernel | folder | flags | name | gloss | label | "
                             f"shift-jis, got {line!r}")
        names[fields[3]] = (fields[4], fields[5])
    return names


@functools.lru_cache(maxsize=None)
def known_names() -> Dict[str, Tuple[str, str]]:
    path = names_file()
    return parse_names(path.read_text(encoding="utf-8")) if path else {}


def gloss(name: str) -> Optional[str]:
    """The English gloss of one of fftplug's catalogue names, e.g.
    "decimation in time (radix 2)"; None for any other name."""
    known = known_names().get(name)
    return known[0] if known else None


def label(name: str) -> Optional[str]:
    """A few words for legends, e.g. "DIF r4"; None for an unknown name."""
    known = known_names().get(name)
    return known[1] if known else None

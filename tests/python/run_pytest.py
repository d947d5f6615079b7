"""Runs the Python host's tests for CTest.

Exit status 77 (CTest: skipped) with a one-line reason when numpy, scipy or
pytest is missing; pytest's own status otherwise, except that a run that
collected no tests (status 5) fails.
"""
import importlib.util
import sys

missing = [name for name in ("numpy", "scipy", "pytest") if importlib.util.find_spec(name) is None]
if missing:
    print(f"python_host skipped: {sys.executable} has no {', '.join(missing)} "
          "(Debian: apt-get install python3-numpy python3-scipy python3-pytest)")
    sys.exit(77)

import pytest  # noqa: E402

status = int(pytest.main(["-q", "-rs", "-p", "no:cacheprovider", *sys.argv[1:]]))
if status == pytest.ExitCode.NO_TESTS_COLLECTED:
    print("python_host: pytest collected no tests")
    sys.exit(1)
sys.exit(status)

#!/usr/bin/env bash
# Runs a 32-bit x86 Linux program as CTest's emulator: natively where the
# kernel executes 32-bit programs, otherwise under qemu-i386 with its widest
# CPU model, so that the AVX2 path runs too. Exit code and output are the
# program's.
set -u
if [ "$#" -lt 1 ]; then
  echo "usage: run-i386.sh program [arguments...]" >&2
  exit 2
fi
if "$(dirname "$0")/runs-32bit.sh"; then
  exec "$@"
fi
if ! command -v qemu-i386 >/dev/null 2>&1; then
  echo "run-i386.sh: this kernel runs no 32-bit programs and qemu-i386 is missing (run scripts/setup.sh)" >&2
  exit 127
fi
exec qemu-i386 -cpu max "$@"

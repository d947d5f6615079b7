#!/usr/bin/env bash
# Exits 0 when this kernel executes 32-bit x86 programs, non-zero when it
# does not (IA-32 emulation off: "Exec format error") or when the 32-bit C
# library is not installed yet. One answer for setup.sh, test.sh and
# run-i386.sh.
[ -x /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1

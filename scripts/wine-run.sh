#!/usr/bin/env bash
# Runs a Windows program under Wine the way CTest expects of an emulator:
# program and arguments as given, its output on our stdout and stderr, its
# exit code as ours. Wine's own diagnostics are off, and it uses the
# project's prefix (created by scripts/setup.sh, or here on first use) rather
# than the user's ~/.wine.
#
# The first Wine process of a session starts Wine's system processes
# (services.exe, explorer.exe, rpcss.exe ...), and they inherit its standard
# handles. Started by a test, they would hold the test's output pipe open
# until the session ends, and CTest would wait for that, seconds per test.
# So the session is started here, once, by a process whose output goes
# nowhere, and kept for FFTPLUG_WINE_IDLE seconds after its last program
# ends: a suite pays for the session once, not once per executable.
#
# --win64 runs a 64-bit program with 64-bit Wine alone, in a prefix of its
# own: Debian's `wine` takes the 32-bit loader whenever it is installed, and
# that loader cannot start on a kernel that runs no 32-bit programs.
set -u

wine=(wine)
prefix_name=.wine-fftplug
if [ "${1:-}" = --win64 ]; then
  shift
  export WINELOADER=/usr/lib/wine/wine64
  wine=("$WINELOADER")
  prefix_name=.wine-fftplug64
fi

if [ "$#" -lt 1 ]; then
  echo "usage: wine-run.sh [--win64] program.exe [arguments...]" >&2
  exit 2
fi

export WINEDEBUG="${WINEDEBUG:--all}"
export WINEPREFIX="${WINEPREFIX:-$(echo ~)/$prefix_name}"
# No Mono or Gecko installer dialogs.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# Console programs need no display; keep Wine from looking for one.
unset DISPLAY WAYLAND_DISPLAY

for tool in "${wine[0]}" wineserver flock; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "wine-run.sh: '$tool' not found (run scripts/setup.sh)" >&2
    exit 127
  fi
done

# Runs a command with no descriptor of ours: standard input and output on
# /dev/null and every other descriptor closed (the lock's among them), since
# Wine's session processes outlive this script and would hold them.
detached() {
  (
    for fd in $(ls /proc/$BASHPID/fd); do
      if [ "$fd" -gt 2 ]; then eval "exec $fd>&-"; fi
    done
    exec "$@" </dev/null >/dev/null 2>&1
  )
}

idle="${FFTPLUG_WINE_IDLE:-30}"
mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  # The prefix, once: wineboot's chatter stays out of test output.
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    WINEDLLOVERRIDES="mscoree,mshtml=" detached "${wine[@]}" wineboot --init
    detached wineserver -w
  fi
  # Exits at once with a non-zero status when a server already runs for
  # this prefix; otherwise it starts one and the session is primed.
  if detached wineserver "-p$idle"; then
    detached "${wine[@]}" cmd.exe /c exit 0
  fi
) 9>"$WINEPREFIX.lock"

"${wine[@]}" "$@"
exit $?

#!/usr/bin/env bash
# Installs what fftplug needs on a fresh Debian machine, as root, for one
# purpose; packages already present are left alone, so a second run is quick.
#
#   scripts/setup.sh run    what scripts/run.sh uses: the native toolchain,
#                           CMake, the host tools' libraries (CLI11, fmt,
#                           nlohmann-json), the peers FFTW and KissFFT,
#                           gnuplot for the plots and rsvg-convert for the
#                           PNG pictures of draw and trace (about a minute
#                           when new)
#   scripts/setup.sh test   what scripts/test.sh uses (the default): the
#                           above, GoogleTest, the i686 mingw-w64 toolchain
#                           and Wine for the 32-bit DLL (the x86_64 toolchain
#                           and 64-bit Wine where 32-bit Wine cannot run),
#                           gcc's 32-bit libraries and QEMU for the 32-bit
#                           Linux build, clang with libFuzzer and valgrind for
#                           the fuzz and valgrind presets, and Debian's
#                           Python 3 with numpy, scipy, pytest, setuptools and
#                           matplotlib for the Python host, with venv, pip
#                           and wheel for installing it, and Debian's
#                           Chromium with a Japanese font, in which the
#                           report test opens fftbench's HTML report headless
#                           (a few minutes)
set -euo pipefail

purpose="${1:-test}"
case "$purpose" in
  run | test) ;;
  *)
    echo "setup.sh: unknown purpose '$purpose': run or test" >&2
    exit 2
    ;;
esac

run_packages=(
  build-essential cmake ninja-build pkg-config
  libcli11-dev libfmt-dev nlohmann-json3-dev
  libfftw3-dev libkissfft-dev
  gnuplot-nox
  librsvg2-bin
)
test_packages=(
  googletest libgtest-dev
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  wine wine32:i386
  g++-multilib qemu-user
  clang libclang-rt-14-dev valgrind
  python3 python3-numpy python3-scipy python3-pytest python3-setuptools python3-matplotlib
  python3-venv python3-pip python3-wheel
  chromium fonts-ipafont-gothic
)

if [ "$(id -u)" -ne 0 ]; then
  echo "setup.sh installs Debian packages and must run as root" >&2
  exit 1
fi

# install_missing <package...>: installs those of the packages that are missing.
install_missing() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

install_missing "${run_packages[@]}"
if [ "$purpose" = run ]; then
  echo "setup: done (run)"
  exit 0
fi

# Wine's 32-bit half comes from the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
install_missing "${test_packages[@]}"

# Where the kernel runs no 32-bit programs (asked once the 32-bit C library
# is in), 32-bit Wine cannot start; the Windows side of the suite then runs
# as a 64-bit build under 64-bit Wine (the win64 preset). Elsewhere Wine
# stays the 32-bit installation alone.
if ! "$(dirname "$0")/runs-32bit.sh"; then
  install_missing wine64 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
fi

# Wine wants a prefix of its own; create it once, quietly, so that the first
# test under Wine does not pay for it (or print its chatter into test output).
export WINEDEBUG=-all
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-fftplug}"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "setup: creating Wine prefix $WINEPREFIX"
  WINEDLLOVERRIDES="mscoree,mshtml=" wineboot --init >/dev/null 2>&1 || true
  wineserver -w 2>/dev/null || true
fi
echo "setup: done (test)"

#!/usr/bin/env bash
# Builds a single-precision FFTW 3 from its sources for `fftbench bench
# --fftw`: the build a performance-minded user links with (SSE2, AVX, AVX2,
# AVX-512 and FMA; AMD's fork with its own optimisations where the sources
# have them), or with --no-fma the same build with every fused multiply-add
# taken apart, to see how much of its speed the fused operations give it.
#
#   scripts/build-fftw.sh SOURCES PREFIX [--no-fma]
#
# SOURCES: an unpacked FFTW 3 release or AMD's amd-fftw (git archive of a
# tag such as 4.2); it is configured and built in place. PREFIX: where the
# library is installed; time PREFIX/lib/libfftw3f.so. Takes some ten minutes
# on two cores.
#
# Without FMA: configured without --enable-fma, compiled with
# -ffp-contract=off, and with a header forced into every file that defines
# each fused-multiply intrinsic as a multiplication and an addition (the
# SIMD headers call those intrinsics whatever the configuration says).
set -euo pipefail

if [[ $# -lt 2 || $# -gt 3 || ( $# -eq 3 && $3 != --no-fma ) ]]; then
    echo "usage: $0 SOURCES PREFIX [--no-fma]" >&2
    exit 2
fi
sources=$(realpath "$1")
prefix=$(realpath -m "$2")
[[ -x $sources/configure ]] || { echo "$0: $sources has no configure script" >&2; exit 2; }

options=(--prefix="$prefix" --enable-float --enable-shared --disable-static
         --enable-sse2 --enable-avx --enable-avx2 --enable-avx512)
grep -q -- "--enable-amd-opt" "$sources/configure" && options+=(--enable-amd-opt)

if [[ ${3:-} == --no-fma ]]; then
    unfused="$prefix/share/unfused-intrinsics.h"
    mkdir -p "$(dirname "$unfused")"
    {
        echo "/* Forced into every file of a timing-only FFTW build: no fused multiply-add. */"
        echo "#include <immintrin.h>"
        for width in "" 256 512; do
            p="_mm${width}"
            echo "#define ${p}_fmadd_ps(a, b, c) ${p}_add_ps(${p}_mul_ps(a, b), c)"
            echo "#define ${p}_fmsub_ps(a, b, c) ${p}_sub_ps(${p}_mul_ps(a, b), c)"
            echo "#define ${p}_fnmadd_ps(a, b, c) ${p}_sub_ps(c, ${p}_mul_ps(a, b))"
            echo "#define ${p}_fnmsub_ps(a, b, c) ${p}_sub_ps(${p}_setzero_ps(), ${p}_add_ps(${p}_mul_ps(a, b), c))"
        done
        # even lanes a·b − c, odd ones a·b + c, and the reverse
        for p in _mm _mm256; do
            echo "#define ${p}_fmaddsub_ps(a, b, c) ${p}_addsub_ps(${p}_mul_ps(a, b), c)"
            echo "#define ${p}_fmsubadd_ps(a, b, c) ${p}_addsub_ps(${p}_mul_ps(a, b), ${p}_sub_ps(${p}_setzero_ps(), c))"
        done
        echo "#define _mm512_fmaddsub_ps(a, b, c) _mm512_mask_sub_ps(_mm512_add_ps(_mm512_mul_ps(a, b), c), 0x5555, _mm512_mul_ps(a, b), c)"
        echo "#define _mm512_fmsubadd_ps(a, b, c) _mm512_mask_add_ps(_mm512_sub_ps(_mm512_mul_ps(a, b), c), 0x5555, _mm512_mul_ps(a, b), c)"
    } > "$unfused"
    # CPPFLAGS, so that configure still chooses CFLAGS as it does for the build with FMA
    options+=("CPPFLAGS=-ffp-contract=off -include $unfused")
else
    options+=(--enable-fma)
fi

cd "$sources"
./configure "${options[@]}"
make -j"$(nproc)"
make install
fused=$(objdump -d "$prefix/lib/libfftw3f.so" | grep -cE 'vfn?m(add|sub)' || true)
echo "build-fftw.sh: $prefix/lib/libfftw3f.so ($fused fused multiply-add instructions)"

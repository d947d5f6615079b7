# Cross-compiling fftplug for 64-bit Windows with Debian's mingw-w64 x86_64
# toolchain, its tests run under 64-bit Wine. The plug-in a host loads is the
# 32-bit DLL; this build runs the Windows side of the suite (VirtualAlloc
# guard pages, the import-table allocation count, fftbench's child processes)
# on kernels that execute no 32-bit programs, where 32-bit Wine cannot start.
set(FFTPLUG_MINGW_TRIPLE x86_64-w64-mingw32)
set(FFTPLUG_WINE_OPTIONS --win64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-i686-w64-mingw32.cmake)

# Cross-compiling fftplug for 32-bit Windows with Debian's mingw-w64 i686
# toolchain. The -posix compilers are the variant whose C++ runtime has
# std::thread and std::mutex (GoogleTest needs them); the plug-in links that
# runtime in statically, so the thread model never shows in its imports.
# Test executables run under Wine through CMAKE_CROSSCOMPILING_EMULATOR.
# toolchain-x86_64-w64-mingw32.cmake reuses this file for 64-bit Windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 6.1)

if(NOT DEFINED FFTPLUG_MINGW_TRIPLE)
  set(FFTPLUG_MINGW_TRIPLE i686-w64-mingw32)
endif()
if(FFTPLUG_MINGW_TRIPLE MATCHES "^x86_64")
  set(CMAKE_SYSTEM_PROCESSOR AMD64)
else()
  set(CMAKE_SYSTEM_PROCESSOR x86)
endif()

set(CMAKE_C_COMPILER ${FFTPLUG_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${FFTPLUG_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${FFTPLUG_MINGW_TRIPLE}-windres)
# ar, ranlib and objdump (which the DLL check reads the PE image with) are
# found by CMake from the compiler's target prefix.

# Headers and libraries come from the target sysroot only; programs (the
# build tools) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${FFTPLUG_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Executables carry their C and C++ runtimes and the threading library
# inside, so that Wine needs no DLL beside them but the plug-in they load.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Test executables (and try_run) run under Wine, through a wrapper that
# silences Wine's diagnostics, uses the project's own prefix and returns the
# program's exit code.
get_filename_component(FFTPLUG_TOOLCHAIN_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${FFTPLUG_TOOLCHAIN_ROOT}/scripts/wine-run.sh ${FFTPLUG_WINE_OPTIONS})

# The plug-in and its suite as 32-bit Linux programs (gcc -m32), for the
# 32-bit code of every path where the Windows DLL cannot be run: the same
# compiler family as mingw-w64, the same eight vector registers. Programs run
# through scripts/run-i386.sh: natively where the kernel executes 32-bit
# programs, otherwise under QEMU's user-mode emulator with its widest CPU
# model (AVX2 included).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)

get_filename_component(FFTPLUG_TOOLCHAIN_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${FFTPLUG_TOOLCHAIN_ROOT}/scripts/run-i386.sh)

# The plug-in as a shared library: libfftplug.so on Linux, fftplug.dll on
# Windows. It exports exactly the five ABI functions, depends on nothing but
# the C runtime, and keeps its floating point strict (no contraction into
# fused multiply-adds), so that entries that must agree bit for bit do on
# every build.
set(FFTPLUG_SOURCE_ROOT ${CMAKE_CURRENT_LIST_DIR}/..)
set(FFTPLUG_PLUGIN_SOURCES
  ${FFTPLUG_SOURCE_ROOT}/plugin/exports.cpp
  ${FFTPLUG_SOURCE_ROOT}/plugin/catalogue.cpp
  ${FFTPLUG_SOURCE_ROOT}/plugin/table.cpp
  ${FFTPLUG_SOURCE_ROOT}/radix2/ditRadix2.cpp
  ${FFTPLUG_SOURCE_ROOT}/radix2/ditRadix2Half.cpp
  ${FFTPLUG_SOURCE_ROOT}/radix2/difRadix2.cpp
  ${FFTPLUG_SOURCE_ROOT}/radix2/difRadix2Reversed.cpp
  ${FFTPLUG_SOURCE_ROOT}/radix2/difRadix2Recursive.cpp
  ${FFTPLUG_SOURCE_ROOT}/radix2/difRadix2FiveKinds.cpp
  ${FFTPLUG_SOURCE_ROOT}/radix4/difRadix4.cpp
  ${FFTPLUG_SOURCE_ROOT}/radix4/difRadix4ThreeKinds.cpp
  ${FFTPLUG_SOURCE_ROOT}/splitradix/splitRadix.cpp
  ${FFTPLUG_SOURCE_ROOT}/splitradix/splitRadixThreeKinds.cpp)

# fftplug_add_plugin(<target> [TRACED]): TRACED adds the test-only hook that
# reports the recursion order (never part of the shipped library).
function(fftplug_add_plugin target)
  cmake_parse_arguments(ARG "TRACED" "" "" ${ARGN})
  set(sources ${FFTPLUG_PLUGIN_SOURCES})
  if(ARG_TRACED)
    list(APPEND sources ${FFTPLUG_SOURCE_ROOT}/plugin/trace.cpp)
  endif()
  if(WIN32)
    if(ARG_TRACED)
      list(APPEND sources ${FFTPLUG_SOURCE_ROOT}/plugin/fftplug_traced.def)
    else()
      list(APPEND sources ${FFTPLUG_SOURCE_ROOT}/plugin/fftplug.def)
    endif()
  endif()
  add_library(${target} SHARED ${sources})
  target_include_directories(${target} PRIVATE ${FFTPLUG_SOURCE_ROOT}/include)
  target_compile_definitions(${target} PRIVATE FFTPLUG_BUILDING_PLUGIN $<$<BOOL:${ARG_TRACED}>:FFTPLUG_TRACE>)
  target_compile_options(${target} PRIVATE
    -O3 -ffp-contract=off -fno-exceptions -fno-rtti -fno-math-errno
    -Wall -Wextra -Wshadow -Wconversion -Wno-sign-conversion)
  set_target_properties(${target} PROPERTIES
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    PREFIX "")
  if(WIN32)
    # SSE2 registers for all floating point, never the x87 stack. Hosts may
    # call with the stack aligned to 4 bytes only, so functions that keep SSE
    # values on the stack realign it themselves. The C++ runtime is linked
    # in, so that the DLL imports only system DLLs.
    target_compile_options(${target} PRIVATE -msse2 -mfpmath=sse -mincoming-stack-boundary=2)
    target_link_options(${target} PRIVATE -static-libgcc -static-libstdc++ -static -Wl,--kill-at)
    set_target_properties(${target} PROPERTIES OUTPUT_NAME ${target} IMPORT_PREFIX "" )
  else()
    set_target_properties(${target} PROPERTIES PREFIX "lib")
    target_link_options(${target} PRIVATE -Wl,--as-needed -Wl,-z,defs -Wl,-z,now)
  endif()
endfunction()

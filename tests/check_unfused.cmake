# Checks that a built plug-in contains no fused multiply-add instruction:
#
#   cmake -DOBJDUMP=<objdump> -DLIBRARY=<path/to/the/plug-in> -P check_unfused.cmake
#
# Every path must round each product and each sum on its own, as the scalar
# formulas do; a vfmadd…, vfmsub…, vfnmadd…, vfnmsub…, vfmaddsub… or
# vfmsubadd… anywhere in the image means the compiler fused some of them (and
# a path whose code this machine cannot run, as the 32-bit AVX-512 code here,
# is still checked).
cmake_minimum_required(VERSION 3.25)

foreach(required OBJDUMP LIBRARY)
  if(NOT DEFINED ${required} OR "${${required}}" STREQUAL "")
    message(FATAL_ERROR "check_unfused: -D${required}=... is required")
  endif()
endforeach()
if(NOT EXISTS "${LIBRARY}")
  message(FATAL_ERROR "check_unfused: ${LIBRARY} does not exist")
endif()

execute_process(
  COMMAND ${OBJDUMP} -d --no-show-raw-insn "${LIBRARY}"
  OUTPUT_VARIABLE listing
  ERROR_VARIABLE errors
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "check_unfused: ${OBJDUMP} failed on ${LIBRARY}: ${errors}")
endif()
if(NOT listing MATCHES "[ \t]v?(addps|addss|vaddps)[ \t]")
  message(FATAL_ERROR "check_unfused: no float addition found in the listing of ${LIBRARY}: not a disassembly")
endif()

string(REGEX MATCHALL "[^\n]*[ \t]vfn?m(add|sub)[0-9a-z]*[ \t][^\n]*" fused "${listing}")
list(LENGTH fused count)
if(count GREATER 0)
  list(SUBLIST fused 0 5 shown)
  string(REPLACE ";" "\n  " shown "${shown}")
  message(FATAL_ERROR "check_unfused: ${LIBRARY} holds ${count} fused multiply-add instructions, e.g.\n  ${shown}")
endif()
message(STATUS "check_unfused: ${LIBRARY}: no fused multiply-add")

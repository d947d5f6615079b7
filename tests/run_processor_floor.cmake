# Runs the 32-bit Linux plug-in on emulated processors of 1999 and of today:
#
#   cmake -DQEMU=<qemu-i386> -DHOST=<processor_floor_host> -DLIBRARY=<libfftplug.so>
#         -DWORK_DIR=<folder for QEMU's log> -P run_processor_floor.cmake
#
# Fails unless
#   - on a Pentium II (no SSE) the processor check that the DLL's entry
#     routine makes turns the library away, and nothing before it faults;
#   - on a Pentium III (SSE, no SSE2) the dispatch takes the scalar path and
#     every entry at every size is within the suite's error bound, and none
#     of the instructions that QEMU translated from the library's code, which
#     are those it ran, goes beyond SSE (QEMU itself executes SSE2 on this
#     model without complaint, so its log is what tells);
#   - on QEMU's widest model (the AVX2 path) every result has the same bits
#     as on the Pentium III.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/x86_floor.cmake)

foreach(required QEMU HOST LIBRARY WORK_DIR)
  if(NOT DEFINED ${required} OR "${${required}}" STREQUAL "")
    message(FATAL_ERROR "run_processor_floor: -D${required}=... is required")
  endif()
endforeach()
file(MAKE_DIRECTORY "${WORK_DIR}")

# run_on(<cpu> <prefix> [qemu options...]): runs the host on QEMU's model
# <cpu>; sets <prefix>_status and <prefix>_output.
function(run_on cpu prefix)
  execute_process(
    COMMAND "${QEMU}" -cpu ${cpu} ${ARGN} "${HOST}" "${LIBRARY}"
    OUTPUT_VARIABLE output
    ERROR_VARIABLE errors
    RESULT_VARIABLE status)
  set(${prefix}_status "${status}" PARENT_SCOPE)
  set(${prefix}_output "${output}${errors}" PARENT_SCOPE)
endfunction()

# The lines "entry <i> N <N> ...", which must number ten entries times the
# eleven sizes from 1 to 1024.
function(entry_lines out_var output cpu)
  string(REGEX MATCHALL "entry [0-9]+ N [0-9]+ [^\n]*" lines "${output}")
  list(LENGTH lines count)
  if(NOT count EQUAL 110)
    message(FATAL_ERROR "run_processor_floor: ${count} entry results on ${cpu}, expected 110:\n${output}")
  endif()
  set(${out_var} "${lines}" PARENT_SCOPE)
endfunction()

# --- Pentium II: turned away --------------------------------------------------------------
run_on(pentium2 old)
if(NOT old_status EQUAL 3 OR NOT old_output MATCHES "^refused: ")
  message(FATAL_ERROR "run_processor_floor: on a Pentium II the library was not turned away "
                      "(exit ${old_status}):\n${old_output}")
endif()

# --- Pentium III: the scalar path, every instruction within SSE ------------------------------
set(log "${WORK_DIR}/pentium3_in_asm.log")
file(REMOVE "${log}")
run_on(pentium3 p3 -d in_asm -D "${log}")
if(NOT p3_status EQUAL 0)
  message(FATAL_ERROR "run_processor_floor: on a Pentium III the host failed (exit ${p3_status}):\n${p3_output}")
endif()
if(NOT p3_output MATCHES "(^|\n)path scalar\n")
  message(FATAL_ERROR "run_processor_floor: on a Pentium III the dispatch does not take the scalar path:\n${p3_output}")
endif()
entry_lines(p3_lines "${p3_output}" pentium3)
if(NOT p3_output MATCHES "\ncode 0x([0-9a-f]+)-0x([0-9a-f]+)\n")
  message(FATAL_ERROR "run_processor_floor: the host did not say where the library's code is:\n${p3_output}")
endif()
math(EXPR code_first "0x${CMAKE_MATCH_1}")
math(EXPR code_end "0x${CMAKE_MATCH_2}")

# QEMU logs each block of guest code once, as it first translates it:
# "0x40012345:  f3 0f 6f 00   movdqu (%eax), %xmm0".
file(READ "${log}" translated)
set(line_pattern "0x[0-9a-f]+: +([0-9a-f][0-9a-f] )+ *[^\n]*")
string(REGEX MATCHALL "${line_pattern}(%[xyz]mm|%k[0-7])[^\n]*" vector_lines "${translated}")
string(REGEX MATCHALL "\n0x[0-9a-f]+: +([0-9a-f][0-9a-f] )+ *[^\n]*" all_lines "${translated}")
set(in_library 0)
foreach(line IN LISTS all_lines)
  string(REGEX MATCH "^\n0x([0-9a-f]+):" address "${line}")
  math(EXPR address "0x${CMAKE_MATCH_1}")
  if(address GREATER_EQUAL code_first AND address LESS code_end)
    math(EXPR in_library "${in_library} + 1")
  endif()
endforeach()
set(problems "")
set(library_sse 0)
foreach(line IN LISTS vector_lines)
  string(REGEX MATCH "^0x([0-9a-f]+): +([0-9a-f][0-9a-f] )+ *(.*)$" parts "${line}")
  set(instruction "${CMAKE_MATCH_3}")
  math(EXPR address "0x${CMAKE_MATCH_1}")
  if(address LESS code_first OR address GREATER_EQUAL code_end)
    continue()
  endif()
  math(EXPR library_sse "${library_sse} + 1")
  fftplug_beyond_sse(needs "${instruction}")
  if(needs)
    list(APPEND problems "${line} (${needs})")
  endif()
endforeach()
if(in_library EQUAL 0 OR library_sse EQUAL 0)
  message(FATAL_ERROR "run_processor_floor: QEMU's log shows ${in_library} instructions of the library, "
                      "${library_sse} of them SSE: the log does not cover the library's code")
endif()
if(problems)
  list(LENGTH problems count)
  list(SUBLIST problems 0 20 shown)
  list(JOIN shown "\n  " shown)
  message(FATAL_ERROR "run_processor_floor: on a Pentium III the library ran ${count} instructions beyond SSE:\n  ${shown}")
endif()

# --- the widest model: the same bits ---------------------------------------------------------
run_on(max wide)
if(NOT wide_status EQUAL 0)
  message(FATAL_ERROR "run_processor_floor: on QEMU's widest model the host failed (exit ${wide_status}):\n${wide_output}")
endif()
string(REGEX MATCH "(^|\n)path ([^\n]*)" wide_path "${wide_output}")
set(wide_path "${CMAKE_MATCH_2}")
if(wide_path STREQUAL "scalar" OR wide_path STREQUAL "")
  message(FATAL_ERROR "run_processor_floor: QEMU's widest model takes no vector path, so there are no bits "
                      "to compare with:
${wide_output}")
endif()
entry_lines(wide_lines "${wide_output}" max)
if(NOT p3_lines STREQUAL wide_lines)
  foreach(p3_line wide_line IN ZIP_LISTS p3_lines wide_lines)
    if(NOT p3_line STREQUAL wide_line)
      message(FATAL_ERROR "run_processor_floor: the Pentium III and the ${wide_path} path differ:\n"
                          "  ${p3_line}\n  ${wide_line}")
    endif()
  endforeach()
endif()

message(STATUS "Pentium II: ${old_output}")
message(STATUS "Pentium III: scalar path, 10 entries x 11 sizes within the bound; ${in_library} instructions "
               "of the library translated, ${library_sse} with XMM registers, none beyond SSE")
message(STATUS "widest model: ${wide_path} path, the same bits")

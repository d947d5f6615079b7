# Runs one command line and checks its exit status and output:
#
#   cmake -DEXPECT_STATUS=<n>
#         [-DSTDOUT_REGEX_1=<regex> ... -DSTDOUT_REGEX_9=<regex>]
#         [-DSTDERR_REGEX_1=<regex> ... -DSTDERR_REGEX_9=<regex>]
#         [-DSTDOUT_CONTAINS_FILE=<file>]   stdout holds the file's text
#         [-DSTDERR_ONE_LINE=ON]            stderr is exactly one line
#         -P run_cli.cmake -- <program> [arguments...]
#
# An empty first word after "--" (no emulator) is skipped.
cmake_minimum_required(VERSION 3.25)
set(command)
set(collecting OFF)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE ${last})
  if(collecting)
    if(NOT "${CMAKE_ARGV${i}}" STREQUAL "")
      list(APPEND command "${CMAKE_ARGV${i}}")
    endif()
  elseif("${CMAKE_ARGV${i}}" STREQUAL "--")
    set(collecting ON)
  endif()
endforeach()
if(NOT command)
  message(FATAL_ERROR "run_cli.cmake: no command after --")
endif()

execute_process(COMMAND ${command} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(REPLACE "\r\n" "\n" out "${out}")
string(REPLACE "\r\n" "\n" err "${err}")
set(problems)
if(NOT "${status}" STREQUAL "${EXPECT_STATUS}")
  list(APPEND problems "exit status ${status}, expected ${EXPECT_STATUS}")
endif()
foreach(n RANGE 1 9)
  if(DEFINED STDOUT_REGEX_${n} AND NOT out MATCHES "${STDOUT_REGEX_${n}}")
    list(APPEND problems "stdout does not match: ${STDOUT_REGEX_${n}}")
  endif()
  if(DEFINED STDERR_REGEX_${n} AND NOT err MATCHES "${STDERR_REGEX_${n}}")
    list(APPEND problems "stderr does not match: ${STDERR_REGEX_${n}}")
  endif()
endforeach()
if(DEFINED STDOUT_CONTAINS_FILE)
  file(READ "${STDOUT_CONTAINS_FILE}" expected)
  string(FIND "${out}" "${expected}" at)
  if(at EQUAL -1)
    list(APPEND problems "stdout does not contain the text of ${STDOUT_CONTAINS_FILE}")
  endif()
endif()
if(STDERR_ONE_LINE AND NOT err MATCHES "^fftbench: [^\n]+\n$")
  list(APPEND problems "stderr is not one line starting with 'fftbench: '")
endif()

if(problems)
  string(REPLACE ";" "\n  " problems "${problems}")
  message(FATAL_ERROR "${command}\n  ${problems}\n--- stdout ---\n${out}--- stderr ---\n${err}")
endif()

# Checks, function by function, that a 32-bit build of the plug-in runs on a
# processor with SSE and nothing later (a Pentium III) up to the point where
# the CPU check hands over to a wider path:
#
#   cmake -DOBJDUMP=<objdump> -DLIBRARY=<the DLL as linked, or the .so>
#         -DVECTOR_PATHS=<sse2,avx2,...> [-DENTRY=<symbol of the entry routine>]
#         -P check_processor_floor.cmake
#
# Reads the library's disassembly with its symbols, and fails unless
#   - no instruction beyond SSE (x86_floor.cmake: SSE2, SSE3 and later, AVX,
#     AVX-512) appears in any function outside the namespaces of
#     VECTOR_PATHS (fftplug::sse2 ...), whose kernels run only once the
#     dispatch has found their instructions: the exports, the catalogue, the
#     protocol, the preparation, the dispatch and the scalar kernels all run
#     on the floor;
#   - ENTRY, and the processor check it calls, use no floating-point or
#     vector instruction at all: they run before anything tells that the
#     processor has SSE;
#   - and, so that the check is seen to look: runEntry is there, the scalar
#     kernels (where the library has them) use SSE, and every vector path
#     present has instructions that the check counts as beyond SSE.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/x86_floor.cmake)

foreach(required OBJDUMP LIBRARY)
  if(NOT DEFINED ${required} OR "${${required}}" STREQUAL "")
    message(FATAL_ERROR "check_processor_floor: -D${required}=... is required")
  endif()
endforeach()
if(NOT EXISTS "${LIBRARY}")
  message(FATAL_ERROR "check_processor_floor: ${LIBRARY} does not exist")
endif()

execute_process(
  COMMAND "${OBJDUMP}" -d --no-show-raw-insn "${LIBRARY}"
  OUTPUT_VARIABLE listing
  ERROR_VARIABLE errors
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "check_processor_floor: ${OBJDUMP} failed on ${LIBRARY}: ${errors}")
endif()

# A path's namespace as it starts a mangled name: fftplug::sse2 is N7fftplug4sse2.
string(REPLACE "," ";" VECTOR_PATHS "${VECTOR_PATHS}")
set(vector_names "")
foreach(path IN LISTS VECTOR_PATHS)
  string(LENGTH "${path}" length)
  list(APPEND vector_names "${length}${path}")
endforeach()
list(JOIN vector_names "|" vector_alternatives)
set(vector_function "^_?_ZZ?N7fftplug(${vector_alternatives})")
set(scalar_function "^_?_ZZ?N7fftplug6scalar")
set(entry_function "^(${ENTRY}|_?_ZN7fftplug19meetsProcessorFloorEv)$")

string(REGEX MATCHALL "[0-9a-f]+ <[^>\n]+>:\n([^\n]+\n)*" functions "${listing}")
list(LENGTH functions function_count)
if(function_count EQUAL 0)
  message(FATAL_ERROR "check_processor_floor: no functions in the listing of ${LIBRARY}: stripped, or not a disassembly")
endif()

set(problems "")
set(entry_seen "")
set(runs_entries OFF)
set(scalar_seen OFF)
set(scalar_sse 0)
set(vector_seen "")
set(vector_beyond "")
foreach(function IN LISTS functions)
  string(REGEX MATCH "^[0-9a-f]+ <([^>\n]+)>:" header "${function}")
  set(name "${CMAKE_MATCH_1}")
  string(REGEX MATCHALL "\t[^\n]+" instructions "${function}")
  if(name MATCHES "${vector_function}")
    string(REGEX REPLACE "^[0-9]+" "" path_name "${CMAKE_MATCH_1}")
    if(NOT path_name IN_LIST vector_seen)
      list(APPEND vector_seen "${path_name}")
    endif()
    if(NOT path_name IN_LIST vector_beyond)
      foreach(instruction IN LISTS instructions)
        if(instruction MATCHES "%[xyz]mm")
          fftplug_beyond_sse(needs "${instruction}")
          if(needs)
            list(APPEND vector_beyond "${path_name}")
            break()
          endif()
        endif()
      endforeach()
    endif()
    continue()
  endif()
  if(name MATCHES "^_?runEntry$")
    set(runs_entries ON)
  elseif(name MATCHES "${scalar_function}")
    set(scalar_seen ON)
  endif()
  if(ENTRY AND name MATCHES "${entry_function}")
    list(APPEND entry_seen "${name}")
    set(rule fftplug_beyond_integer)
  else()
    set(rule fftplug_beyond_sse)
  endif()
  foreach(instruction IN LISTS instructions)
    cmake_language(CALL ${rule} needs "${instruction}")
    if(needs)
      string(STRIP "${instruction}" instruction)
      list(APPEND problems "${name}: ${instruction} (${needs})")
    endif()
    if(name MATCHES "${scalar_function}" AND instruction MATCHES "[ \t](addss|mulss|subss)[ \t]")
      math(EXPR scalar_sse "${scalar_sse} + 1")
    endif()
  endforeach()
endforeach()

get_filename_component(library_file "${LIBRARY}" NAME)
if(ENTRY AND NOT ENTRY IN_LIST entry_seen)
  list(APPEND problems "no function ${ENTRY}: the entry routine was not found")
endif()
if(NOT runs_entries)
  list(APPEND problems "no function runEntry: not the plug-in's code")
endif()
if(scalar_seen AND scalar_sse EQUAL 0)
  list(APPEND problems "no SSE arithmetic in the kernels of fftplug::scalar: the check does not read their instructions")
endif()
foreach(path_name IN LISTS vector_seen)
  if(NOT path_name IN_LIST vector_beyond)
    list(APPEND problems "nothing beyond SSE found in the kernels of ${path_name}: the check does not recognise their instructions")
  endif()
endforeach()

if(problems)
  list(LENGTH problems problem_count)
  list(SUBLIST problems 0 20 shown)
  list(JOIN shown "\n  - " problem_text)
  message(FATAL_ERROR "${library_file}: ${problem_count} problems beyond the processor floor (SSE):\n  - ${problem_text}")
endif()
list(JOIN vector_seen ", " vector_text)
set(entry_text "")
if(entry_seen)
  list(JOIN entry_seen ", " entry_text)
  set(entry_text "; without SSE or x87: ${entry_text}")
endif()
message(STATUS "${library_file}: ${function_count} functions; below the vector paths (${vector_text}) nothing beyond SSE;"
               " ${scalar_sse} SSE operations in the scalar kernels${entry_text}")

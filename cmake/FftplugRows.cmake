# The two lists the build takes from plain files, and the C++ rows it makes
# of them (in ${FFTPLUG_GENERATED_DIR}, on the include path of the plug-in and
# of every host-side target):
#
#   plugin/entry_rows.txt      one row per entry (kernel, folder, flags, names)
#                              -> entry_rows.h: FFTPLUG_FOR_EACH_ENTRY and
#                                 FFTPLUG_FOR_EACH_ENTRY_ROW (plugin/entries.h)
#                              -> FFTPLUG_KERNEL_SOURCES, FFTPLUG_ENTRY_*
#   plugin/simd/path_rows.txt  one row per path (name, lane, label, flags, check)
#                              -> path_rows.h: FFTPLUG_FOR_EACH_PATH (plugin/simd/paths.h)
#                              -> FFTPLUG_PATHS, FFTPLUG_PATH_FLAGS_<path>
#
# Fields are separated by " | "; lines starting with # and blank lines are
# skipped. A header is rewritten only when its rows change.

set(FFTPLUG_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)

# fftplug_read_rows(<file> <fields> <prefix>): the rows of <file> as
# <prefix>_COUNT and <prefix>_<row>_<field> (from 0), each row split into
# <fields> fields at the first <fields> − 1 separators, so that the last one
# may hold " | " itself. No list operation touches a field: a name's bytes
# or a compile option may hold what a CMake list would split on.
function(fftplug_read_rows file fields prefix)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
  file(STRINGS ${file} lines ENCODING UTF-8)
  set(count 0)
  math(EXPR last "${fields} - 1")
  foreach(line IN LISTS lines)
    string(STRIP "${line}" stripped)
    if(stripped STREQUAL "" OR stripped MATCHES "^#")
      continue()
    endif()
    set(rest "${line}")
    foreach(field RANGE ${last})
      if(field EQUAL last)
        set(value "${rest}")
      else()
        string(FIND "${rest}" " | " at)
        if(at EQUAL -1)
          message(FATAL_ERROR "${file}: ${fields} fields separated by \" | \" expected in: ${line}")
        endif()
        string(SUBSTRING "${rest}" 0 ${at} value)
        math(EXPR next "${at} + 3")
        string(SUBSTRING "${rest}" ${next} -1 rest)
      endif()
      string(STRIP "${value}" value)
      set(${prefix}_${count}_${field} "${value}" PARENT_SCOPE)
    endforeach()
    math(EXPR count "${count} + 1")
  endforeach()
  if(count EQUAL 0)
    message(FATAL_ERROR "${file}: no rows")
  endif()
  set(${prefix}_COUNT ${count} PARENT_SCOPE)
endfunction()

# --- the entries -----------------------------------------------------------------
fftplug_read_rows(${FFTPLUG_SOURCE_ROOT}/plugin/entry_rows.txt 7 entry)
set(FFTPLUG_KERNEL_SOURCES "")
set(FFTPLUG_ENTRY_COUNT ${entry_COUNT})
set(short_rows "")
set(full_rows "")
math(EXPR last_entry "${entry_COUNT} - 1")
foreach(i RANGE ${last_entry})
  set(kernel "${entry_${i}_0}")
  set(folder "${entry_${i}_1}")
  set(flags "${entry_${i}_2}")
  if(flags STREQUAL "plain")
    set(order kPlain)
  elseif(flags STREQUAL "natural input")
    set(order kNaturalInput)
  elseif(flags STREQUAL "prepares")
    set(order kPrepares)
  else()
    message(FATAL_ERROR "plugin/entry_rows.txt: entry ${i} (${kernel}): flags '${flags}' are none of plain, natural input, prepares")
  endif()
  if(NOT EXISTS ${FFTPLUG_SOURCE_ROOT}/${folder}/${kernel}.cpp)
    message(FATAL_ERROR "plugin/entry_rows.txt: entry ${i}: no kernel file ${folder}/${kernel}.cpp")
  endif()
  list(APPEND FFTPLUG_KERNEL_SOURCES ${FFTPLUG_SOURCE_ROOT}/${folder}/${kernel}.cpp)
  # What the tests and hosts read beside the C++ rows.
  set(FFTPLUG_ENTRY_${i}_FLAGS "${flags}")
  set(FFTPLUG_ENTRY_${i}_NAME "${entry_${i}_3}")
  set(FFTPLUG_ENTRY_${i}_GLOSS "${entry_${i}_4}")
  string(APPEND short_rows "    X(context, ${kernel}, ${order}) \\\n")
  string(APPEND full_rows "    X(context, ${kernel}, ${order}, \"${entry_${i}_6}\", \"${entry_${i}_3}\", \"${entry_${i}_4}\", \"${entry_${i}_5}\") \\\n")
endforeach()
file(CONFIGURE OUTPUT ${FFTPLUG_GENERATED_DIR}/entry_rows.h CONTENT
"// Made by cmake/FftplugRows.cmake from plugin/entry_rows.txt; do not edit.
#pragma once

// X(context, kernel, flags)
#define FFTPLUG_FOR_EACH_ENTRY(X, context) \\
${short_rows}
// X(context, kernel, flags, \"Shift-JIS name\", \"name\", \"gloss\", \"label\")
#define FFTPLUG_FOR_EACH_ENTRY_ROW(X, context) \\
${full_rows}
" @ONLY)

# --- the paths -------------------------------------------------------------------
fftplug_read_rows(${FFTPLUG_SOURCE_ROOT}/plugin/simd/path_rows.txt 5 path)
set(FFTPLUG_PATHS "")
set(path_rows "")
math(EXPR last_path "${path_COUNT} - 1")
foreach(i RANGE ${last_path})
  set(name "${path_${i}_0}")
  list(APPEND FFTPLUG_PATHS ${name})
  separate_arguments(FFTPLUG_PATH_FLAGS_${name} UNIX_COMMAND "${path_${i}_3}")
  string(APPEND path_rows "    X(${name}, ${path_${i}_1}, \"${path_${i}_2}\", \"${path_${i}_3}\", (${path_${i}_4})) \\\n")
endforeach()
file(CONFIGURE OUTPUT ${FFTPLUG_GENERATED_DIR}/path_rows.h CONTENT
"// Made by cmake/FftplugRows.cmake from plugin/simd/path_rows.txt; do not edit.
#pragma once

// X(name, lane, \"label\", \"flags\", (check))
#define FFTPLUG_FOR_EACH_PATH(X) \\
${path_rows}
" @ONLY)

unset(short_rows)
unset(full_rows)
unset(path_rows)

# Checks a built plug-in DLL the way a Windows host will meet it:
#
#   cmake -DOBJDUMP=<i686-w64-mingw32-objdump> -DDLL=<path/to/fftplug.dll>
#         -DEXPORTS=<name;name;...> [-DALLOWED_IMPORTS=<dll;dll;...>] [-DBITS=64]
#         -P check_dll.cmake
#
# Fails unless
#   - the image is a 32-bit (PE32, i386) DLL, or with BITS=64 a 64-bit
#     (PE32+, x86-64) one, whose export directory names the
#     file itself;
#   - it exports exactly EXPORTS by name, undecorated (no _name, no name@N),
#     and nothing by ordinal alone, each at the ordinal of its place in
#     EXPORTS (the first at 1), so that a host that binds by ordinal keeps
#     working from one build to the next;
#   - every DLL it imports is in ALLOWED_IMPORTS (compared without regard to
#     case, as Windows does): a plug-in that needs libstdc++-6.dll,
#     libgcc_s_dw2-1.dll or libwinpthread-1.dll does not load beside a host
#     that ships none of them.
cmake_minimum_required(VERSION 3.25)

foreach(required OBJDUMP DLL EXPORTS)
  if(NOT DEFINED ${required} OR "${${required}}" STREQUAL "")
    message(FATAL_ERROR "check_dll: -D${required}=... is required")
  endif()
endforeach()
if(NOT DEFINED ALLOWED_IMPORTS)
  set(ALLOWED_IMPORTS KERNEL32.dll msvcrt.dll)
endif()
if(NOT EXISTS "${DLL}")
  message(FATAL_ERROR "check_dll: ${DLL} does not exist")
endif()

execute_process(
  COMMAND "${OBJDUMP}" -p "${DLL}"
  OUTPUT_VARIABLE dump
  ERROR_VARIABLE dump_error
  RESULT_VARIABLE dump_result)
if(NOT dump_result EQUAL 0)
  message(FATAL_ERROR "check_dll: ${OBJDUMP} -p ${DLL} failed (${dump_result}): ${dump_error}")
endif()

get_filename_component(dll_file "${DLL}" NAME)
set(problems "")

# --- the image -------------------------------------------------------------------
if(BITS STREQUAL "64")
  set(image_format pei-x86-64)
  set(image_magic "020b[ \t]+\\(PE32\\+\\)")
  set(image_name "PE32+ x86-64")
else()
  set(image_format pei-i386)
  set(image_magic "010b[ \t]+\\(PE32\\)")
  set(image_name "PE32 i386")
endif()
if(NOT dump MATCHES "file format ${image_format}")
  list(APPEND problems "not a ${image_name} image (objdump does not report ${image_format})")
endif()
if(NOT dump MATCHES "Magic[ \t]+${image_magic}")
  list(APPEND problems "optional header is not ${image_name}")
endif()
if(NOT dump MATCHES "Characteristics[^\n]*\n([ \t]+[^\n]*\n)*[ \t]+DLL\n")
  list(APPEND problems "the image is not marked as a DLL")
endif()

# --- exports ---------------------------------------------------------------------
set(exported "")
set(exported_ordinals "")
set(ordinal_base 0)
if(dump MATCHES "Export Address Table -- Ordinal Base ([0-9]+)")
  set(ordinal_base ${CMAKE_MATCH_1})
endif()
string(FIND "${dump}" "[Ordinal/Name Pointer] Table" names_at)
if(names_at EQUAL -1)
  list(APPEND problems "no export name table")
else()
  string(SUBSTRING "${dump}" ${names_at} -1 names_part)
  string(FIND "${names_part}" "\n\n" names_end)
  if(NOT names_end EQUAL -1)
    string(SUBSTRING "${names_part}" 0 ${names_end} names_part)
  endif()
  string(REGEX MATCHALL "\n[ \t]+\\[ *[0-9]+\\] [^\n]*" name_lines "${names_part}")
  foreach(line IN LISTS name_lines)
    string(REGEX MATCH "^\n[ \t]+\\[ *([0-9]+)\\] " prefix "${line}")
    math(EXPR ordinal "${ordinal_base} + ${CMAKE_MATCH_1}")
    string(REPLACE "${prefix}" "" name "${line}")
    string(STRIP "${name}" name)
    list(APPEND exported "${name}")
    list(APPEND exported_ordinals "${name}@${ordinal}")
  endforeach()
endif()

set(expected ${EXPORTS})
list(LENGTH expected expected_count)
list(LENGTH exported exported_count)
foreach(name IN LISTS exported)
  if(NOT name IN_LIST expected)
    if(name MATCHES "^_|@[0-9]+$")
      list(APPEND problems "exports a decorated name '${name}' (expected the plain __cdecl name)")
    else()
      list(APPEND problems "exports '${name}', which is not part of its interface")
    endif()
  endif()
endforeach()
foreach(name IN LISTS expected)
  if(NOT name IN_LIST exported)
    list(APPEND problems "does not export '${name}'")
  endif()
endforeach()
set(ordinal 1)
foreach(name IN LISTS expected)
  if(name IN_LIST exported AND NOT "${name}@${ordinal}" IN_LIST exported_ordinals)
    list(APPEND problems "exports '${name}' at another ordinal than ${ordinal}")
  endif()
  math(EXPR ordinal "${ordinal} + 1")
endforeach()
list(REMOVE_DUPLICATES exported)
list(LENGTH exported distinct_count)
if(NOT distinct_count EQUAL exported_count)
  list(APPEND problems "exports a name twice")
endif()

# Every entry of the address table must be reachable by one of those names.
if(dump MATCHES "Export Address Table[ \t]+([0-9a-fA-F]+)\n")
  math(EXPR address_count "0x${CMAKE_MATCH_1}")
  if(NOT address_count EQUAL expected_count)
    list(APPEND problems "export address table has ${address_count} entries, expected ${expected_count}")
  endif()
else()
  list(APPEND problems "no export address table")
endif()
if(dump MATCHES "\nName[ \t]+[0-9a-fA-F]+ ([^\n]+)\n")
  string(STRIP "${CMAKE_MATCH_1}" export_module)
  string(TOLOWER "${export_module}" export_module_lower)
  string(TOLOWER "${dll_file}" dll_file_lower)
  if(NOT export_module_lower STREQUAL dll_file_lower)
    list(APPEND problems "export directory names the module '${export_module}', the file is '${dll_file}'")
  endif()
endif()

# --- imports ---------------------------------------------------------------------
string(REGEX MATCHALL "DLL Name: [^\n]+" import_lines "${dump}")
set(imported "")
list(JOIN ALLOWED_IMPORTS ", " allowed_text)
set(allowed_lower "")
foreach(allowed IN LISTS ALLOWED_IMPORTS)
  string(TOLOWER "${allowed}" allowed)
  list(APPEND allowed_lower "${allowed}")
endforeach()
foreach(line IN LISTS import_lines)
  string(REGEX REPLACE "^DLL Name: " "" module "${line}")
  string(STRIP "${module}" module)
  list(APPEND imported "${module}")
  string(TOLOWER "${module}" module_lower)
  if(NOT module_lower IN_LIST allowed_lower)
    list(APPEND problems "imports ${module}, which a host does not provide (allowed: ${allowed_text})")
  endif()
endforeach()

list(JOIN exported ", " exported_text)
list(JOIN imported ", " imported_text)
if(problems)
  list(JOIN problems "\n  - " problem_text)
  message(FATAL_ERROR "${dll_file}:\n  - ${problem_text}\n"
                      "exports: ${exported_text}\nimports: ${imported_text}")
endif()
message(STATUS "${dll_file}: ${image_name} DLL; exports ${exported_text}; imports ${imported_text}")

# Checks the image header and the entry point of a built plug-in DLL:
#
#   cmake -DOBJDUMP=<objdump> -DDLL=<the DLL as shipped> -DUNSTRIPPED=<the same as linked>
#         [-DBITS=64] [-DSTRIPPED=ON] -P check_dll_image.cmake
#
# Fails unless
#   - the header's DLL characteristics carry DYNAMIC_BASE and NX_COMPAT (and,
#     in a 32-bit image, NO_SEH: the image installs no exception handler);
#   - the image has base relocations, so that it loads at any address;
#   - it has no TLS directory and no .tls section, and none of the sections
#     that only a C runtime start-up uses (.CRT, .eh_frame);
#   - its entry point is the library's own DllMain (read from the linked
#     image's symbols), not a C runtime start-up, and the image has no static
#     constructor that such a start-up would have run;
#   - with STRIPPED, the shipped image has no symbol table and no .debug_*
#     section, and is the linked image with nothing but those taken away (the
#     same code, at the same addresses, entered at the same point).
cmake_minimum_required(VERSION 3.25)

foreach(required OBJDUMP DLL UNSTRIPPED)
  if(NOT DEFINED ${required} OR "${${required}}" STREQUAL "")
    message(FATAL_ERROR "check_dll_image: -D${required}=... is required")
  endif()
endforeach()
foreach(file "${DLL}" "${UNSTRIPPED}")
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "check_dll_image: ${file} does not exist")
  endif()
endforeach()

# objdump(<out_var> <arguments>...): objdump's output, or a fatal error.
function(objdump out_var)
  execute_process(
    COMMAND "${OBJDUMP}" ${ARGN}
    OUTPUT_VARIABLE output
    ERROR_VARIABLE errors
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "check_dll_image: ${OBJDUMP} ${ARGN} failed (${status}): ${errors}")
  endif()
  set(${out_var} "${output}" PARENT_SCOPE)
endfunction()

# header_field(<out_var> <dump> <field>): the hexadecimal value of a field of
# objdump -p's header listing, as a number.
function(header_field out_var dump field)
  if(NOT dump MATCHES "\n${field}[ \t]+([0-9a-fA-F]+)\n")
    message(FATAL_ERROR "check_dll_image: no ${field} in the header")
  endif()
  math(EXPR value "0x${CMAKE_MATCH_1}")
  set(${out_var} ${value} PARENT_SCOPE)
endfunction()

get_filename_component(dll_file "${DLL}" NAME)
set(problems "")
objdump(headers -p "${DLL}")
objdump(sections -h "${DLL}")

# --- the header --------------------------------------------------------------------
if(NOT headers MATCHES "\nDllCharacteristics[ \t]+[0-9a-fA-F]+\n(([ \t]+[A-Z_]+\n)*)")
  message(FATAL_ERROR "check_dll_image: no DllCharacteristics in the header of ${DLL}")
endif()
string(REGEX MATCHALL "[A-Z_]+" characteristics "${CMAKE_MATCH_1}")
set(wanted DYNAMIC_BASE NX_COMPAT)
if(NOT BITS STREQUAL "64")
  list(APPEND wanted NO_SEH)
endif()
foreach(flag IN LISTS wanted)
  if(NOT flag IN_LIST characteristics)
    list(APPEND problems "the header's DLL characteristics lack ${flag}")
  endif()
endforeach()

# --- data directories and sections ---------------------------------------------
if(NOT headers MATCHES "\nEntry 5 [0-9a-fA-F]+ ([0-9a-fA-F]+) Base Relocation Directory")
  message(FATAL_ERROR "check_dll_image: no base relocation directory entry in ${DLL}")
endif()
if("${CMAKE_MATCH_1}" MATCHES "^0+$" OR NOT sections MATCHES "\n +[0-9]+ \\.reloc ")
  list(APPEND problems "no base relocations: the image loads only at its preferred base")
endif()
if(NOT headers MATCHES "\nEntry 9 ([0-9a-fA-F]+) ([0-9a-fA-F]+) Thread Storage Directory")
  message(FATAL_ERROR "check_dll_image: no TLS directory entry in ${DLL}")
endif()
if(NOT "${CMAKE_MATCH_1}${CMAKE_MATCH_2}" MATCHES "^0+$")
  list(APPEND problems "a TLS directory (the loader runs its callbacks at every thread start and exit)")
endif()
if(sections MATCHES "\n +[0-9]+ \\.tls")
  list(APPEND problems "a .tls section")
endif()
# What only a C runtime start-up reads: its initialiser tables, and the DWARF
# unwind tables that it registers (truncated to .eh_fram in an image).
foreach(section .CRT .eh_fram)
  string(REPLACE "." "\\." pattern "${section}")
  if(sections MATCHES "\n +[0-9]+ (${pattern}[^ \n]*)")
    list(APPEND problems "a ${CMAKE_MATCH_1} section, which only a C runtime start-up uses")
  endif()
endforeach()

# --- the entry point ------------------------------------------------------------------
header_field(entry_rva "${headers}" AddressOfEntryPoint)
header_field(image_base "${headers}" ImageBase)
math(EXPR entry "${image_base} + ${entry_rva}" OUTPUT_FORMAT HEXADECIMAL)
math(EXPR entry_end "${entry} + 1" OUTPUT_FORMAT HEXADECIMAL)
objdump(linked_headers -p "${UNSTRIPPED}")
header_field(linked_entry_rva "${linked_headers}" AddressOfEntryPoint)
if(NOT linked_entry_rva EQUAL entry_rva)
  list(APPEND problems "the entry point differs from the linked image's")
endif()
objdump(at_entry -d --no-show-raw-insn --start-address=${entry} --stop-address=${entry_end} "${UNSTRIPPED}")
if(BITS STREQUAL "64")
  set(entry_name "DllMain")
else()
  set(entry_name "_DllMain@12")
endif()
if(at_entry MATCHES "\n[0-9a-f]+ <([^>]+)>:\n")
  set(entry_symbol "${CMAKE_MATCH_1}")
else()
  set(entry_symbol "no symbol")
endif()
if(NOT entry_symbol STREQUAL entry_name)
  list(APPEND problems "the entry point is ${entry_symbol}, not the library's ${entry_name}")
endif()

# The constructor list that a C runtime start-up walks holds its two end
# markers and nothing between them.
objdump(symbols -t "${UNSTRIPPED}")
foreach(list_name CTOR DTOR)
  if(NOT symbols MATCHES "\\(sec +([0-9]+)\\)[^\n]* 0x([0-9a-f]+) __${list_name}_LIST__\n")
    message(FATAL_ERROR "check_dll_image: no __${list_name}_LIST__ among the symbols of ${UNSTRIPPED}")
  endif()
  set(${list_name}_section ${CMAKE_MATCH_1})
  math(EXPR ${list_name}_at "0x${CMAKE_MATCH_2}")
endforeach()
math(EXPR constructor_bytes "${DTOR_at} - ${CTOR_at}")
if(BITS STREQUAL "64")
  set(empty_list_bytes 16)
else()
  set(empty_list_bytes 8)
endif()
if(NOT CTOR_section EQUAL DTOR_section OR NOT constructor_bytes EQUAL empty_list_bytes)
  list(APPEND problems "static constructors (a .ctors list), which only a C runtime start-up runs")
endif()

# --- stripped ----------------------------------------------------------------------------
set(stripped_text "")
if(STRIPPED)
  set(stripped_text "; stripped")
  string(REGEX MATCHALL "\n +[0-9]+ \\.debug[^ \n]*" debug_sections "${sections}")
  if(debug_sections)
    string(REGEX REPLACE "\n +[0-9]+ " "" debug_sections "${debug_sections}")
    list(JOIN debug_sections ", " debug_text)
    list(APPEND problems "debugging sections: ${debug_text}")
  endif()
  objdump(shipped_symbols -t "${DLL}")
  if(NOT shipped_symbols MATCHES "\nSYMBOL TABLE:\nno symbols")
    list(APPEND problems "a symbol table")
  endif()
  objdump(linked_sections -h "${UNSTRIPPED}")
  string(REGEX MATCHALL "\n +[0-9]+ [^\n]+" shipped_rows "${sections}")
  string(REGEX MATCHALL "\n +[0-9]+ [^\n]+" linked_rows "${linked_sections}")
  list(FILTER linked_rows EXCLUDE REGEX "^\n +[0-9]+ \\.debug")
  # section names, sizes and addresses; the file offsets move with the header
  string(REGEX REPLACE "[ \t]+[0-9a-f]+[ \t]+2\\*\\*[0-9]+" "" shipped_rows "${shipped_rows}")
  string(REGEX REPLACE "[ \t]+[0-9a-f]+[ \t]+2\\*\\*[0-9]+" "" linked_rows "${linked_rows}")
  if(NOT shipped_rows STREQUAL linked_rows)
    list(APPEND problems "its sections are not those of the linked image")
  endif()
  objdump(shipped_text -s -j .text "${DLL}")
  objdump(linked_text -s -j .text "${UNSTRIPPED}")
  string(REGEX REPLACE "^.*Contents of section \\.text:\n" "" shipped_text "${shipped_text}")
  string(REGEX REPLACE "^.*Contents of section \\.text:\n" "" linked_text "${linked_text}")
  if(shipped_text STREQUAL "")
    message(FATAL_ERROR "check_dll_image: no code in the .text section of ${DLL}")
  endif()
  if(NOT shipped_text STREQUAL linked_text)
    list(APPEND problems "its code is not the linked image's")
  endif()
endif()

list(JOIN characteristics ", " characteristics_text)
if(problems)
  list(JOIN problems "\n  - " problem_text)
  message(FATAL_ERROR "${dll_file}:\n  - ${problem_text}\n"
                      "DLL characteristics: ${characteristics_text}; entry point: ${entry_symbol}")
endif()
message(STATUS "${dll_file}: ${characteristics_text}; relocated; no TLS; entered at ${entry_symbol}"
               "${stripped_text}")

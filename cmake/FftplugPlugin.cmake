# The plug-in as a shared library: libfftplug.so on Linux, fftplug.dll on
# Windows. It exports exactly the five ABI functions, depends on nothing but
# the C runtime, and keeps its floating point strict (no contraction into
# fused multiply-adds), so that entries that must agree bit for bit do, and
# every path gives the same bits on every build.
#
# The kernels are compiled once per path, one for each row of
# plugin/simd/path_rows.txt (scalar, the plain oracle of the others; SSE2,
# two samples a register; AVX2, four; AVX-512, eight), read here for their
# names and compile options. The dispatching library carries them all and chooses
# at run time; the fixed-path variants fftplug-<path> (fftplug-scalar,
# fftplug-sse2 …) carry one each, for the tests and for comparing paths in
# fftbench. They are not installed.
set(FFTPLUG_SOURCE_ROOT ${CMAKE_CURRENT_LIST_DIR}/..)
set(FFTPLUG_COMMON_SOURCES
  ${FFTPLUG_SOURCE_ROOT}/plugin/exports.cpp
  ${FFTPLUG_SOURCE_ROOT}/plugin/catalogue.cpp
  ${FFTPLUG_SOURCE_ROOT}/plugin/table.cpp
  ${FFTPLUG_SOURCE_ROOT}/plugin/dispatch.cpp)
# The entries' kernels and the paths, from their plain lists
# (plugin/entry_rows.txt, plugin/simd/path_rows.txt): FFTPLUG_KERNEL_SOURCES,
# FFTPLUG_PATHS, FFTPLUG_PATH_FLAGS_<path>, and the rows the C++ reads.
include(${CMAKE_CURRENT_LIST_DIR}/FftplugRows.cmake)
list(APPEND FFTPLUG_KERNEL_SOURCES ${FFTPLUG_SOURCE_ROOT}/plugin/copy.cpp)
# 32-bit Windows: hosts may call with the stack aligned to 4 bytes only.
# The exports realign it once, to a 64-byte line, the alignment of the
# widest value a kernel keeps on the stack, and every call inside the DLL
# keeps it there (fftplug_plugin_options); what the exports reach, the
# transforms of plugin/dispatch.cpp and the kernels, relies on it and
# realigns nothing. Realigning in every function that keeps an SSE or AVX
# value on the stack, as each did before, took the DLL 10-50 % longer from
# 4 to 16 points under Wine. (The 32-bit Linux ABI gives 16 bytes, enough
# for SSE2; there one realignment in the export made the SSE2 path's
# 4-point transform take half as long again, so that build keeps the
# compiler's usual frames.)
set(FFTPLUG_ALIGNS_STACK_ONCE OFF)
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(FFTPLUG_ALIGNS_STACK_ONCE ON)
  set_property(SOURCE ${FFTPLUG_SOURCE_ROOT}/plugin/dispatch.cpp APPEND PROPERTY COMPILE_OPTIONS
               -mincoming-stack-boundary=6)
endif()

# Release DLLs ship stripped; debugging builds keep their symbols.
if(WIN32 AND NOT CMAKE_BUILD_TYPE MATCHES "^(Debug|RelWithDebInfo)$")
  set(FFTPLUG_STRIP_DLLS ON)
else()
  set(FFTPLUG_STRIP_DLLS OFF)
endif()

# Compile options every unit of the plug-in shares.
function(fftplug_plugin_options target)
  target_include_directories(${target} PRIVATE ${FFTPLUG_SOURCE_ROOT}/include ${FFTPLUG_GENERATED_DIR})
  target_compile_definitions(${target} PRIVATE FFTPLUG_BUILDING_PLUGIN)
  target_compile_options(${target} PRIVATE
    -O3 -ffp-contract=off -fno-exceptions -fno-rtti -fno-math-errno
    -Wall -Wextra -Wshadow -Wconversion -Wno-sign-conversion)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # 32-bit code runs on any processor with SSE (Pentium III, Athlon XP):
    # single-precision arithmetic in SSE registers, rounded as on x86-64,
    # never on the x87 stack, and no SSE2 instruction outside the kernels of
    # the paths whose check asks for it (their rows' flags turn it on again;
    # the 32-bit Linux toolchain turns it on for everything else).
    target_compile_options(${target} PRIVATE -msse -mno-sse2 -mfpmath=sse)
  endif()
  if(FFTPLUG_ALIGNS_STACK_ONCE)
    # The host's stack as it comes (4 bytes); calls leave it on a 64-byte line.
    target_compile_options(${target} PRIVATE -mincoming-stack-boundary=2 -mpreferred-stack-boundary=6)
  endif()
  set_target_properties(${target} PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
endfunction()

# The entry routine of the DLL and the processor floor it checks
# (plugin/entry.cpp), as objects shared by every DLL and by the test host
# that asks the same question where no DLL loads (32-bit Linux). In 32-bit code they
# use the general-purpose registers only: they run on the processors that
# the check turns away.
function(fftplug_entry_objects out_var)
  if(NOT TARGET fftplug_entry)
    add_library(fftplug_entry OBJECT ${FFTPLUG_SOURCE_ROOT}/plugin/entry.cpp)
    fftplug_plugin_options(fftplug_entry)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      # Nothing here keeps a value that wants an aligned stack, so the entry
      # routine takes the loader's stack as it comes rather than realigning it.
      target_compile_options(fftplug_entry PRIVATE -mgeneral-regs-only -mpreferred-stack-boundary=2)
    endif()
  endif()
  set(${out_var} fftplug_entry PARENT_SCOPE)
endfunction()

# The kernels of one path, as objects shared by every library that carries
# that path. VARIANT "instrumented" compiles the marks of
# plugin/instrument/marks.h into the tally and the events of the
# instrumented build, "stages" into the stage counter of the stage builds;
# empty for the shipped kernels.
function(fftplug_kernel_objects path variant out_var)
  set(name fftplug_kernels_${path})
  if(variant)
    set(name ${name}_${variant})
  endif()
  if(NOT TARGET ${name})
    add_library(${name} OBJECT ${FFTPLUG_KERNEL_SOURCES})
    fftplug_plugin_options(${name})
    # A family's header of one path (radix4/avx2.h …) comes in through
    # __has_include, which the compiler's list of a source's headers names
    # only once the file exists: a new one would leave the objects built
    # before it as they were. The families' headers, looked for again at
    # every build, are dependencies of every kernel source.
    file(GLOB family_headers CONFIGURE_DEPENDS ${FFTPLUG_SOURCE_ROOT}/radix2/*.h
         ${FFTPLUG_SOURCE_ROOT}/radix4/*.h ${FFTPLUG_SOURCE_ROOT}/splitradix/*.h)
    set_source_files_properties(${FFTPLUG_KERNEL_SOURCES} TARGET_DIRECTORY ${name}
                                PROPERTIES OBJECT_DEPENDS "${family_headers}")
    string(TOUPPER ${path} upper)
    target_compile_definitions(${name} PRIVATE FFTPLUG_PATH=${path} FFTPLUG_PATH_${upper})
    target_compile_options(${name} PRIVATE ${FFTPLUG_PATH_FLAGS_${path}})
    if(FFTPLUG_ALIGNS_STACK_ONCE)
      # Reached from inside the DLL only, on the stack the exports aligned.
      target_compile_options(${name} PRIVATE -mincoming-stack-boundary=6)
    endif()
    if(variant STREQUAL "instrumented")
      target_compile_definitions(${name} PRIVATE FFTPLUG_INSTRUMENTED)
    elseif(variant STREQUAL "stages")
      target_compile_definitions(${name} PRIVATE FFTPLUG_STAGES)
    endif()
  endif()
  set(${out_var} ${name} PARENT_SCOPE)
endfunction()

# fftplug_add_plugin(<target> [INSTRUMENTED | STAGES] [PATH <path>]): PATH (one
# of FFTPLUG_PATHS) builds a fixed-path variant; INSTRUMENTED (with PATH
# scalar) the instrumented build: the tally of operations, table reads,
# memory traffic and stages, the events of every load, store, table read,
# factor, stage and recursive call, and the export instrumentEntry that
# reports them (plugin/instrument/instrumented.h); STAGES (any path, or all)
# the stage counter that can end a transform after its first k stages and the
# exports limitStages and countStages (plugin/stages.h). Neither is part of
# the shipped library.
function(fftplug_add_plugin target)
  cmake_parse_arguments(ARG "INSTRUMENTED;STAGES" "PATH" "" ${ARGN})
  set(sources ${FFTPLUG_COMMON_SOURCES})
  set(variant "")
  if(ARG_INSTRUMENTED)
    if(NOT ARG_PATH STREQUAL "scalar")
      message(FATAL_ERROR "fftplug_add_plugin(${target} INSTRUMENTED): the instrumented build is of the scalar path")
    endif()
    list(APPEND sources ${FFTPLUG_SOURCE_ROOT}/plugin/instrument/marks.cpp)
    set(variant instrumented)
  endif()
  if(ARG_STAGES)
    list(APPEND sources ${FFTPLUG_SOURCE_ROOT}/plugin/instrument/stages.cpp)
    set(variant stages)
  endif()
  if(ARG_PATH)
    if(NOT ARG_PATH IN_LIST FFTPLUG_PATHS)
      message(FATAL_ERROR "fftplug_add_plugin(${target} PATH ${ARG_PATH}): not a row of plugin/simd/path_rows.txt")
    endif()
    set(paths ${ARG_PATH})
  else()
    set(paths ${FFTPLUG_PATHS})
  endif()
  foreach(path IN LISTS paths)
    fftplug_kernel_objects(${path} "${variant}" objects)
    list(APPEND sources $<TARGET_OBJECTS:${objects}>)
  endforeach()
  if(WIN32)
    fftplug_entry_objects(entry)
    list(APPEND sources $<TARGET_OBJECTS:${entry}>)
    # The module-definition file names the DLL and its exports, undecorated,
    # each at an ordinal of its own that stays where it is: the five of the
    # interface at 1 to 5, the instrumented build's own at 6.
    set(def ${CMAKE_CURRENT_BINARY_DIR}/${target}.def)
    set(def_text "LIBRARY ${target}.dll\nEXPORTS\n")
    set(exports getCircuitSignature getCreatorSignature getEntryCount getEntrySpecs runEntry)
    if(ARG_INSTRUMENTED)
      list(APPEND exports instrumentEntry)
    endif()
    if(ARG_STAGES)
      list(APPEND exports limitStages countStages)
    endif()
    set(ordinal 1)
    foreach(export IN LISTS exports)
      string(APPEND def_text "    ${export} @${ordinal}\n")
      math(EXPR ordinal "${ordinal} + 1")
    endforeach()
    file(WRITE ${def} "${def_text}")
    list(APPEND sources ${def})
  endif()
  add_library(${target} SHARED ${sources})
  fftplug_plugin_options(${target})
  if(ARG_INSTRUMENTED)
    target_compile_definitions(${target} PRIVATE FFTPLUG_INSTRUMENTED)
  endif()
  if(ARG_STAGES)
    target_compile_definitions(${target} PRIVATE FFTPLUG_STAGES)
  endif()
  if(ARG_PATH)
    target_compile_definitions(${target} PRIVATE FFTPLUG_FIXED_PATH=${ARG_PATH})
  endif()
  if(WIN32)
    # The image's entry point is the library's own DllMain: no C runtime
    # start-up (no TLS callbacks, no allocation, no loader calls under the
    # loader lock). Only what the code itself calls is linked: imports from
    # msvcrt (memcpy, strlen) and KERNEL32, and libgcc's 64-bit division
    # helpers, copied in. A 32-bit image says in its header that it installs
    # no exception handler (NO_SEH).
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      set(entry_symbol _DllMain@12)
      target_link_options(${target} PRIVATE -Wl,--no-seh)
    else()
      set(entry_symbol DllMain)
    endif()
    target_link_options(${target} PRIVATE -nostartfiles -nodefaultlibs -static -Wl,--entry=${entry_symbol}
                        -Wl,--kill-at -Wl,--dynamicbase -Wl,--nxcompat
                        -Wl,-T,${FFTPLUG_SOURCE_ROOT}/cmake/fftplug-dll.ld)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${FFTPLUG_SOURCE_ROOT}/cmake/fftplug-dll.ld)
    target_link_libraries(${target} PRIVATE msvcrt kernel32 gcc)
    set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${target} IMPORT_PREFIX "")
    # A release DLL ships stripped (no symbol table, no debugging sections);
    # the image as linked stays beside the build, in unstripped/, for
    # debuggers and for the tests that read its code function by function.
    set(unstripped ${PROJECT_BINARY_DIR}/unstripped/${target}.dll)
    set_target_properties(${target} PROPERTIES FFTPLUG_UNSTRIPPED_FILE ${unstripped})
    if(FFTPLUG_STRIP_DLLS)
      add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/unstripped
        COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${target}> ${unstripped}
        COMMAND ${CMAKE_STRIP} --strip-all $<TARGET_FILE:${target}>
        VERBATIM)
    else()
      add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/unstripped
        COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${target}> ${unstripped}
        VERBATIM)
    endif()
  else()
    set_target_properties(${target} PROPERTIES PREFIX "lib")
    target_link_options(${target} PRIVATE -Wl,--as-needed -Wl,-z,defs -Wl,-z,now)
  endif()
endfunction()

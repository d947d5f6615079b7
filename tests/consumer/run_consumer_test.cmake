# Installs the fftplug build into a fresh prefix, builds the outside project
# in this folder against it and runs it; also runs the installed fftbench,
# which must find the installed plug-in by itself.
#
#   cmake -DBUILD_DIR=<fftplug build> -DWORK_DIR=<scratch> -DGENERATOR=<gen>
#         -DC_COMPILER=<cc> -DLIBDIR=<lib dir below the prefix> -P run_consumer_test.cmake
cmake_minimum_required(VERSION 3.25)
set(prefix "${WORK_DIR}/prefix")
set(build "${WORK_DIR}/build")
file(REMOVE_RECURSE "${WORK_DIR}")

function(step)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed (${status}): ${ARGN}\n${out}\n${err}")
  endif()
  set(step_output "${out}" PARENT_SCOPE)
endfunction()

step(${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}")
foreach(file "${LIBDIR}/libfftplug.so" include/fftplug/fftplug.h bin/fftbench
             "${LIBDIR}/libfftplug_natural.so" include/fftplug/natural_order.h
             "${LIBDIR}/cmake/fftplug/fftplugConfig.cmake" "${LIBDIR}/cmake/fftplug/fftplugConfigVersion.cmake"
             "${LIBDIR}/pkgconfig/fftplug.pc")
  if(NOT EXISTS "${prefix}/${file}")
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
# Nothing built only for the tests goes into the prefix.
file(GLOB_RECURSE stray "${prefix}/*instrumented*" "${prefix}/*broken*" "${prefix}/*gtest*" "${prefix}/*fftplug_host*")
if(stray)
  message(FATAL_ERROR "installed but meant for the tests only: ${stray}")
endif()

step(${CMAKE_COMMAND} -E env "PKG_CONFIG_PATH=${prefix}/${LIBDIR}/pkgconfig"
     ${CMAKE_COMMAND} -S "${CMAKE_CURRENT_LIST_DIR}" -B "${build}" -G "${GENERATOR}"
     "-DCMAKE_C_COMPILER=${C_COMPILER}" "-DCMAKE_PREFIX_PATH=${prefix}" -DCMAKE_BUILD_TYPE=Release)
step(${CMAKE_COMMAND} --build "${build}")
foreach(program consumer_loaded consumer_linked consumer_pkgconfig consumer_natural)
  step("${build}/${program}")
  message(STATUS "${step_output}")
endforeach()

# The installed fftbench, with no hint from the environment, uses the
# installed plug-in and finds it sound.
step(${CMAKE_COMMAND} -E env --unset=FFTPLUG_PLUGIN "${prefix}/bin/fftbench" list)
file(REAL_PATH "${prefix}/${LIBDIR}/libfftplug.so" installed)
string(REGEX MATCH "plug-in +([^\n]+)" line "${step_output}")
file(REAL_PATH "${CMAKE_MATCH_1}" listed)
if(NOT listed STREQUAL installed)
  message(FATAL_ERROR "the installed fftbench loaded ${listed}, not ${installed}")
endif()
step(${CMAKE_COMMAND} -E env --unset=FFTPLUG_PLUGIN "${prefix}/bin/fftbench" verify --sizes 2^0..2^10)

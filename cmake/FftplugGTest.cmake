# GoogleTest for the suite: Debian's package natively; built from Debian's
# sources (googletest package, /usr/src/googletest) when cross-compiling, with
# the cross compiler, so that the test executables link it statically.
if(CMAKE_CROSSCOMPILING)
  set(FFTPLUG_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources to build for the target")
  if(NOT EXISTS ${FFTPLUG_GTEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest sources in ${FFTPLUG_GTEST_SOURCE_DIR} "
                        "(scripts/setup.sh installs Debian's googletest package)")
  endif()
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${FFTPLUG_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  add_library(fftplug_gtest_main INTERFACE)
  target_link_libraries(fftplug_gtest_main INTERFACE gtest_main)
else()
  find_package(GTest REQUIRED)
  add_library(fftplug_gtest_main INTERFACE)
  target_link_libraries(fftplug_gtest_main INTERFACE GTest::gtest_main)
endif()

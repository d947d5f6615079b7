# GoogleTest for the suite: Debian's package natively; built from Debian's
# sources in /usr/src/googletest when cross-compiling.
if(CMAKE_CROSSCOMPILING)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  add_library(fftplug_gtest_main INTERFACE)
  target_link_libraries(fftplug_gtest_main INTERFACE gtest_main)
else()
  find_package(GTest REQUIRED)
  add_library(fftplug_gtest_main INTERFACE)
  target_link_libraries(fftplug_gtest_main INTERFACE GTest::gtest_main)
endif()

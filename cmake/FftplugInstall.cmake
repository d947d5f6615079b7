# Installing fftplug into a prefix:
#
#   <libdir>/libfftplug.so             the plug-in (Windows: <bindir>/fftplug.dll,
#                                      its import library in <libdir>)
#   <includedir>/fftplug/fftplug.h     the ABI header
#   <libdir>/libfftplug_natural.so     the host's natural order (Windows:
#                                      <bindir>/fftplug_natural.dll)
#   <includedir>/fftplug/natural_order.h  its C API
#   <bindir>/fftbench                  the command-line host
#   <libdir>/cmake/fftplug/            the CMake package: find_package(fftplug)
#   <libdir>/pkgconfig/fftplug.pc      the pkg-config file
#
# The CMake package gives two imported targets, fftplug::headers (the header
# alone, for hosts that load the plug-in at run time, which is what it is
# made for) and fftplug::fftplug (header and library, for linking directly),
# and the variable fftplug_PLUGIN, the plug-in's installed path (also the
# target property FFTPLUG_PLUGIN of both targets). fftplug::natural is the
# natural-order library (bit-reversal permutation, natural-order transforms
# and plans over any plug-in's runEntry). The pkg-config file has the
# same path in its variable `plugin`.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(FFTPLUG_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/fftplug)
if(WIN32)
  set(FFTPLUG_PLUGIN_INSTALL_PATH ${CMAKE_INSTALL_BINDIR}/fftplug.dll)
else()
  set(FFTPLUG_PLUGIN_INSTALL_PATH ${CMAKE_INSTALL_LIBDIR}/libfftplug.so)
endif()

# The header as an interface of its own, and of the plug-in target.
add_library(fftplug_headers INTERFACE)
target_include_directories(fftplug_headers INTERFACE
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
set_target_properties(fftplug_headers PROPERTIES EXPORT_NAME headers)
target_link_libraries(fftplug INTERFACE fftplug_headers)

target_link_libraries(fftplug_natural PUBLIC fftplug_headers)
set_target_properties(fftplug_natural PROPERTIES EXPORT_NAME natural)

install(TARGETS fftplug fftplug_headers fftplug_natural EXPORT fftplugTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/fftplug/fftplug.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/fftplug)
install(FILES ${PROJECT_SOURCE_DIR}/host/natural_order.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/fftplug)
if(TARGET fftbench)
  install(TARGETS fftbench RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(EXPORT fftplugTargets NAMESPACE fftplug:: DESTINATION ${FFTPLUG_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/fftplugConfig.cmake.in
  ${PROJECT_BINARY_DIR}/fftplugConfig.cmake
  INSTALL_DESTINATION ${FFTPLUG_CMAKE_DIR}
  PATH_VARS FFTPLUG_PLUGIN_INSTALL_PATH)
# 0.x: a minor version may break the interface.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/fftplugConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/fftplugConfig.cmake ${PROJECT_BINARY_DIR}/fftplugConfigVersion.cmake
  DESTINATION ${FFTPLUG_CMAKE_DIR})

# pkg-config, relocatable: the prefix is found from the .pc file's own folder.
file(RELATIVE_PATH FFTPLUG_PC_PREFIX_FROM_PCFILEDIR
  ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" FFTPLUG_PC_PREFIX_FROM_PCFILEDIR "${FFTPLUG_PC_PREFIX_FROM_PCFILEDIR}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/fftplug.pc.in ${PROJECT_BINARY_DIR}/fftplug.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/fftplug.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

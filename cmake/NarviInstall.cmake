# Installation (cmake --install) and the Debian package (cpack -G DEB): the
# reader library with its header, pkg-config and CMake package files; the
# viewer with its desktop entry, MIME type and icon; the README. Tests,
# benchmarks and the demo writers have no install rules and stay out.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(_pkg ${PROJECT_SOURCE_DIR}/packaging)
set(_cmakedir ${CMAKE_INSTALL_LIBDIR}/cmake/kqmlib)

install(TARGETS kqmlib EXPORT kqmlibTargets LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
target_include_directories(kqmlib INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
install(FILES ${PROJECT_SOURCE_DIR}/include/narvi.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

# The package files find the prefix from where they lie, so that the same
# files serve cmake --install, a DESTDIR staging folder and the package.
install(EXPORT kqmlibTargets NAMESPACE kqmlib:: DESTINATION ${_cmakedir})
configure_file(${_pkg}/kqmlibConfig.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/kqmlibConfig.cmake @ONLY)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/kqmlibConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kqmlibConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/kqmlibConfigVersion.cmake
  DESTINATION ${_cmakedir})
file(RELATIVE_PATH NARVI_PC_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" NARVI_PC_PREFIX "${NARVI_PC_PREFIX}")
configure_file(${_pkg}/kqmlib.pc.in ${CMAKE_CURRENT_BINARY_DIR}/kqmlib.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kqmlib.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

if(TARGET Vantora)
  install(TARGETS Vantora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${_pkg}/vantora.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${_pkg}/vantora-kqm.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
  install(FILES ${_pkg}/vantora.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/docs/vantora.png DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)

# The package's dependencies come from the binaries (dpkg-shlibdeps); the
# font and the display plugins are what the viewer needs to look right.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME narvi)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "narvi developers <narvi@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Reader library and viewer for full-waveform laser scanner recordings")
set(CPACK_PACKAGE_DESCRIPTION "kqmlib reads full-waveform recordings (.kqm) of a scanning laser range \
finder and their index files through a C interface (narvi.h; pkg-config module and CMake package \
kqmlib). The viewer Vantora charts one laser shot at a time.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation, qt6-qpa-plugins")
include(CPack)

# What `cmake --install` puts in the prefix: the public headers, the shared
# library (libTessikClient.so.X.Y.Z with its SOVERSION links on Linux; the
# DLL and its import library on Windows), a CMake package
# (find_package(TessikClient) gives TessikClient::TessikClient) and the
# pkg-config file tessik-client.pc. The library's own dependencies (Xerces-C,
# ICU, the threads library) are private to it, so neither the package nor
# the .pc file asks users for them.
include(CMakePackageConfigHelpers)

set(tessik_package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/TessikClient)

install(TARGETS TessikClient EXPORT TessikClientTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/tessik DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.h")
install(EXPORT TessikClientTargets NAMESPACE TessikClient:: DESTINATION ${tessik_package_dir})

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/TessikClientConfig.cmake.in
  ${PROJECT_BINARY_DIR}/TessikClientConfig.cmake INSTALL_DESTINATION ${tessik_package_dir})
# Within one major version the binary interface holds (the SOVERSION is the
# major version), so any later minor or patch release satisfies a request.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/TessikClientConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/TessikClientConfig.cmake ${PROJECT_BINARY_DIR}/TessikClientConfigVersion.cmake
  DESTINATION ${tessik_package_dir})

# Paths in the .pc file are relative to its own place, so the prefix can move
# (cmake --install --prefix, a package unpacked elsewhere).
file(RELATIVE_PATH tessik_pc_to_prefix /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" tessik_pc_to_prefix "${tessik_pc_to_prefix}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/tessik-client.pc.in ${PROJECT_BINARY_DIR}/tessik-client.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/tessik-client.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

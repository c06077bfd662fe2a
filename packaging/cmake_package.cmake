# find_package(qrm284 CONFIG) gives qrm284::portio and qrm284::plrapi.
include(CMakePackageConfigHelpers)
set(cmake_package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/qrm284)
install(EXPORT qrm284Targets NAMESPACE qrm284:: DESTINATION ${cmake_package_dir} COMPONENT development)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/qrm284Config.cmake.in
  ${PROJECT_BINARY_DIR}/packaging/qrm284Config.cmake INSTALL_DESTINATION ${cmake_package_dir})
# A new major version is a new SONAME: only the same major version is compatible.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/packaging/qrm284ConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/packaging/qrm284Config.cmake ${PROJECT_BINARY_DIR}/packaging/qrm284ConfigVersion.cmake
  DESTINATION ${cmake_package_dir} COMPONENT development)

# How the project is installed and shipped: versioned libraries and their
# pkg-config and CMake packages, manual pages (the Debian packages are made by debian/).
include(${CMAKE_CURRENT_LIST_DIR}/program_version.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/pkg_config_files.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/cmake_package.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/manual_pages.cmake)

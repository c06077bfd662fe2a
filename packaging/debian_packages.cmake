# Debian packages, made by `cpack` in the build directory:
#   libportio1       libportio.so.1, and the helper libraries it loads from
#                    the private directory (stand-ins, simulated player)
#   libplrapi1       libplrapi.so.1
#   qrm284           qrm284, kvx512-sim, qrm284-updater, the udev rule, manual pages
#   libqrm284-dev    headers, the unversioned links, portio.pc, plrapi.pc, CMake package
set(QRM284_PACKAGE_MAINTAINER "QRM-284 service software team <qrm284-service@example.com>"
  CACHE STRING "Maintainer written into the Debian packages")
set(QRM284_DEBIAN_REVISION 1 CACHE STRING "Debian revision of the packages")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qrm284)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "QRM-284 service software team")
set(CPACK_PACKAGE_CONTACT "${QRM284_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QRM284_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_RELEASE ${QRM284_DEBIAN_REVISION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL portio plrapi tools development)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# dpkg-shlibdeps finds our own libraries in the build tree; the packages
# that hold them come from the component dependencies below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The library packages tell dpkg-shlibdeps of other packages about their
# SONAMEs, and have ldconfig run through its trigger.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

set(CPACK_DEBIAN_PORTIO_PACKAGE_NAME libportio${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_PORTIO_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PORTIO_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/debian/triggers)
set(CPACK_DEBIAN_PORTIO_DESCRIPTION "USB link and command protocol of the QRM-284 player
The C library a manager program or a service tool uses to reach the QRM-284
portable audio player over USB (libusb), over USB/IP, or a simulated player.
It also holds the library's private helpers: the operating-system stand-ins
and the simulated player.")

set(CPACK_DEBIAN_PLRAPI_PACKAGE_NAME libplrapi${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_PLRAPI_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PLRAPI_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/debian/triggers)
set(CPACK_DEBIAN_PLRAPI_DESCRIPTION "device API for QRM-284 player manager programs
The C++ library manager programs use to see the QRM-284 portable audio
player: device and storage information, the listing of its folders, files,
folders, format and font, on top of libportio.")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME qrm284)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TOOLS_DESCRIPTION "service tools for the QRM-284 portable audio player
qrm284 shows a connected player's identification and storage, lists its
folders and updates its firmware from a terminal; qrm284-updater does the
update in a wizard; kvx512-sim serves a simulated player over USB/IP. A udev
rule gives the user at the seat access to the player without root.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libqrm284-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "development files for the QRM-284 player libraries
Headers of libportio (portio.h, C) and libplrapi (plrapi.h, C++), their
pkg-config files (portio, plrapi) and the CMake package qrm284 with the
targets qrm284::portio and qrm284::plrapi.")

# Each package carries its copyright and changelog; a plain `cmake --install`
# leaves them out.
string(TIMESTAMP QRM284_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(QRM284_DEBIAN_VERSION ${PROJECT_VERSION}-${QRM284_DEBIAN_REVISION})
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${PROJECT_BINARY_DIR}/packaging/changelog.Debian @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz
  COMMAND gzip -9nkf ${PROJECT_BINARY_DIR}/packaging/changelog.Debian
  DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.Debian)
add_custom_target(debian_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz)
foreach(component portio plrapi tools development)
  string(TOUPPER ${component} upper)
  set(doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz
    DESTINATION ${doc_dir} COMPONENT ${component} EXCLUDE_FROM_ALL)
endforeach()

include(CPack)
cpack_add_component(portio DISPLAY_NAME "libportio")
cpack_add_component(plrapi DISPLAY_NAME "libplrapi" DEPENDS portio)
cpack_add_component(tools DISPLAY_NAME "Tools" DEPENDS portio)
cpack_add_component(development DISPLAY_NAME "Development files" DEPENDS portio plrapi)

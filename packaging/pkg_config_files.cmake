# portio.pc and plrapi.pc. The prefix is found from where the file lies, so
# the files stay right wherever `cmake --install --prefix` or a package puts them.
set(pkgconfig_dir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH pkgconfig_to_prefix /prefix/${pkgconfig_dir} /prefix)
string(REGEX REPLACE "/$" "" pkgconfig_to_prefix "${pkgconfig_to_prefix}")
foreach(library portio plrapi)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/${library}.pc.in ${PROJECT_BINARY_DIR}/packaging/${library}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/packaging/${library}.pc DESTINATION ${pkgconfig_dir} COMPONENT development)
endforeach()

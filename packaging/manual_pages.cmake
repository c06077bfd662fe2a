# Manual pages in man1: help2man makes those of qrm284 (with a section per
# subcommand) and kvx512-sim from the programs' own --help and --version, so
# they cannot drift from the programs; the wizard's page is written by hand.
find_program(HELP2MAN help2man)
set(man_build_dir ${PROJECT_BINARY_DIR}/packaging/man)
set(man_pages "")

if(HELP2MAN)
  foreach(program qrm284 kvx512-sim)
    set(page ${man_build_dir}/${program}.1)
    add_custom_command(OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -DHELP2MAN=${HELP2MAN} -DPROGRAM=$<TARGET_FILE:${program}>
              -DINCLUDE=${CMAKE_CURRENT_LIST_DIR}/man/${program}.h2m -DPAGE=${page}
              -P ${CMAKE_CURRENT_LIST_DIR}/man/help_manual_page.cmake
      DEPENDS ${program} ${CMAKE_CURRENT_LIST_DIR}/man/${program}.h2m ${CMAKE_CURRENT_LIST_DIR}/man/help_manual_page.cmake
      COMMENT "Writing the manual page of ${program}")
    list(APPEND man_pages ${page}.gz)
  endforeach()
else()
  message(WARNING "help2man not found: the manual pages of qrm284 and kvx512-sim are not made")
endif()

if(TARGET qrm284-updater)
  set(page ${man_build_dir}/qrm284-updater.1)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/man/qrm284-updater.1.in ${page} @ONLY)
  add_custom_command(OUTPUT ${page}.gz
    COMMAND gzip -9nkf ${page}
    DEPENDS ${page})
  list(APPEND man_pages ${page}.gz)
endif()

add_custom_target(manual_pages ALL DEPENDS ${man_pages})
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)

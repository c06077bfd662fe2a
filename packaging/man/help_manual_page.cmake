# Writes PAGE.gz with help2man from PROGRAM's --help and --version, with the
# sections of INCLUDE and, for a program with subcommands, one section per
# subcommand made from its own --help.
#   cmake -DHELP2MAN=... -DPROGRAM=... -DINCLUDE=... -DPAGE=... -P help_manual_page.cmake
get_filename_component(page_dir ${PAGE} DIRECTORY)
file(MAKE_DIRECTORY ${page_dir})
file(READ ${INCLUDE} material)

# Run by name, so that the usage lines show the name and not the build path.
get_filename_component(program_dir ${PROGRAM} DIRECTORY)
get_filename_component(program_name ${PROGRAM} NAME)
set(ENV{PATH} "${program_dir}:$ENV{PATH}")
execute_process(COMMAND ${program_name} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --help failed")
endif()
# CLI11 lists subcommands under "Subcommands:", one per line, indented.
string(REGEX MATCH "\nSubcommands:\n(  [^\n]*\n?)+" subcommand_list "${help}")
string(REGEX MATCHALL "\n  [a-z0-9-]+" subcommands "${subcommand_list}")
if(subcommands)
  string(APPEND material "\n[SUBCOMMANDS]\n")
  foreach(subcommand IN LISTS subcommands)
    string(STRIP "${subcommand}" subcommand)
    execute_process(COMMAND ${program_name} ${subcommand} --help OUTPUT_VARIABLE text RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "${PROGRAM} ${subcommand} --help failed")
    endif()
    # Literal text for roff: backslashes escaped, no line read as a request.
    string(REPLACE "\\" "\\e" text "${text}")
    string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
    string(STRIP "${text}" text)
    string(APPEND material ".SS \"${program_name} ${subcommand}\"\n.nf\n${text}\n.fi\n")
  endforeach()
endif()
file(WRITE ${PAGE}.h2m "${material}")

execute_process(COMMAND ${HELP2MAN} --no-info --no-discard-stderr --include=${PAGE}.h2m --output=${PAGE} ${program_name}
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "help2man failed for ${PROGRAM}")
endif()
execute_process(COMMAND gzip -9nf ${PAGE} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip failed for ${PAGE}")
endif()

# Run by CPack on the staged tree: strips the programs as Debian's own tools
# do, the compiler's notes in .comment and .note included.
file(GLOB_RECURSE programs LIST_DIRECTORIES false
    "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/lib/tarnwick/tarnwick"
    "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/bin/tarnwick-cli")
if(NOT programs)
    message(FATAL_ERROR "strip_program.cmake: no program in ${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
endif()
foreach(program IN LISTS programs)
    execute_process(
        COMMAND "${CPACK_TARNWICK_STRIP}" --remove-section=.comment --remove-section=.note "${program}"
        COMMAND_ERROR_IS_FATAL ANY)
endforeach()

# Run by CPack on its staging folder: the installed programs lose the sections that only
# name the compiler, as Debian's own packages do.
find_program(STRIP_PROGRAM strip REQUIRED)
file(GLOB_RECURSE programs "${CPACK_TEMPORARY_DIRECTORY}/*/bin/*")
foreach(program IN LISTS programs)
    execute_process(COMMAND ${STRIP_PROGRAM} --remove-section=.comment --remove-section=.note
                            ${program} COMMAND_ERROR_IS_FATAL ANY)
endforeach()

# Installing orvsfx (host builds), and the Debian package and archive CPack makes of the same
# tree (cmake/Package.cmake, scripts/package.sh):
#
#   bin/orvsfx
#   share/orvsfx/stub.exe, legal.html          the stub orvsfx builds with, its legal page
#   share/man/man1/orvsfx.1.gz                 written by "orvsfx help --manual"
#   share/bash-completion/completions/orvsfx   written by "orvsfx help --completion"
#   share/doc/orvsfx/                          README.md, docs/, examples/
#
# orvsfx finds its stub as ../share/orvsfx/stub.exe from its own folder
# (tools/cli/stublocation.h), so the paths are fixed here, not taken from GNUInstallDirs. The
# stub is made by the win32 build, a build of its own; ORV_STUB names it. The host build
# folder gets the same share/ layout: a link share/orvsfx/stub.exe to ORV_STUB, so that
# tools/orvsfx of the build finds the win32 build's stub without --stub, and the manual page
# and completion written beside it.

set(ORV_STUB ${PROJECT_SOURCE_DIR}/build/win32/stub/stub.exe CACHE FILEPATH
    "The stub installed and packaged with orvsfx: the win32 build's")
set(ORV_DATA_DIR share/orvsfx)
set(ORV_MANUAL_DIR share/man/man1)
set(ORV_COMPLETION_DIR share/bash-completion/completions)
set(ORV_DOC_DIR share/doc/orvsfx)
# Directories of the same modes whatever the umask of the install, so packages are the same.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

foreach(dir ${ORV_DATA_DIR} ${ORV_MANUAL_DIR} ${ORV_COMPLETION_DIR})
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/${dir})
endforeach()
file(CREATE_LINK ${ORV_STUB} ${CMAKE_BINARY_DIR}/${ORV_DATA_DIR}/stub.exe SYMBOLIC)

# The manual page and the completion come from the tables that print orvsfx's help, so they
# list every subcommand and option of this build. gzip -n leaves out name and time.
set(ORV_MANUAL ${CMAKE_BINARY_DIR}/${ORV_MANUAL_DIR}/orvsfx.1)
set(ORV_COMPLETION ${CMAKE_BINARY_DIR}/${ORV_COMPLETION_DIR}/orvsfx)
find_program(ORV_GZIP gzip REQUIRED)
add_custom_command(OUTPUT ${ORV_MANUAL}.gz ${ORV_COMPLETION}
    COMMAND sh -c "\"$0\" help --manual >\"$1\" && \"$2\" -9nf \"$1\"" $<TARGET_FILE:orvsfx>
            ${ORV_MANUAL} ${ORV_GZIP}
    COMMAND sh -c "\"$0\" help --completion >\"$1\"" $<TARGET_FILE:orvsfx> ${ORV_COMPLETION}
    DEPENDS orvsfx
    COMMENT "Writing orvsfx's manual page and bash completion"
    VERBATIM)
add_custom_target(orvsfx_docs ALL DEPENDS ${ORV_MANUAL}.gz ${ORV_COMPLETION})

install(TARGETS orvsfx RUNTIME DESTINATION bin)
install(CODE "if(NOT EXISTS \"${ORV_STUB}\")
    message(FATAL_ERROR \"no stub at ${ORV_STUB}: build it first (scripts/build.sh win32), or \"
                        \"name another with -DORV_STUB=FILE\")
endif()")
install(FILES ${ORV_STUB} ${PROJECT_SOURCE_DIR}/resources/legal.html DESTINATION ${ORV_DATA_DIR})
install(FILES ${ORV_MANUAL}.gz DESTINATION ${ORV_MANUAL_DIR})
install(FILES ${ORV_COMPLETION} DESTINATION ${ORV_COMPLETION_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${ORV_DOC_DIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs ${PROJECT_SOURCE_DIR}/examples
        DESTINATION ${ORV_DOC_DIR})

include(${CMAKE_CURRENT_LIST_DIR}/Package.cmake)

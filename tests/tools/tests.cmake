# The package builder: its library runs in both builds (under Wine too); the command-line
# program orvsfx is tested on the host against 7-Zip and Python's zipfile.
orv_add_test(tools_packagewriter_test
    SOURCES tools/text/encodings_test.cpp tools/text/texttable_test.cpp
            tools/text/translations_test.cpp
            tools/zip/zipwriter_test.cpp tools/zip/zipreader_test.cpp tools/zip/zipcrypto_test.cpp
            tools/zip/ziptimes_test.cpp tools/zip/memberneeds_test.cpp
            tools/pe/stubcheck_test.cpp
            tools/package/optionsencoder_test.cpp tools/package/packagewriter_test.cpp
    LIBS orv_packagewriter orv_startup)

orv_add_test(tools_orvsfx_test
    SOURCES tools/cli/orvsfx_test.cpp tools/cli/build_test.cpp tools/cli/encryption_test.cpp
            tools/cli/signing_test.cpp tools/package/packagefile_test.cpp
            tools/pe/branding_test.cpp
    LIBS orv_packagewriter
    HOST_ONLY TIMEOUT 240)
if(TARGET tools_orvsfx_test)
    add_dependencies(tools_orvsfx_test orvsfx)
    find_package(ZLIB REQUIRED) # the branding tests write PNG icons
    target_link_libraries(tools_orvsfx_test PRIVATE ZLIB::ZLIB)
endif()

# The branding tests need a PE image with the stub's real resources: tools/pe/resourcestub.c
# linked with resources/stub.rc by the Win32 cross tools, when they are installed (the tests
# that need it are skipped otherwise).
find_program(ORV_WINDRES i686-w64-mingw32-windres)
find_program(ORV_MINGW_CC i686-w64-mingw32-gcc)
find_package(Python3 COMPONENTS Interpreter)
if(TARGET tools_orvsfx_test AND ORV_WINDRES AND ORV_MINGW_CC AND Python3_Interpreter_FOUND)
    set(stub ${CMAKE_CURRENT_BINARY_DIR}/resourcestub.exe)
    set(art ${CMAKE_CURRENT_BINARY_DIR}/resourcestub-art)
    set(resources ${PROJECT_SOURCE_DIR}/resources)
    add_custom_command(OUTPUT ${stub}
        COMMAND ${Python3_EXECUTABLE} ${resources}/make-icons.py ${art}
        COMMAND ${ORV_WINDRES} -I${art} -I${resources} ${resources}/stub.rc -O coff
                -o ${stub}.res.o
        COMMAND ${ORV_MINGW_CC} -Os -nostdlib -mwindows -Wl,--entry=_start -s
                -Wl,--no-insert-timestamp ${CMAKE_CURRENT_SOURCE_DIR}/tools/pe/resourcestub.c
                ${stub}.res.o -o ${stub}
        DEPENDS ${resources}/stub.rc ${resources}/stub.manifest ${resources}/resource.h
                ${resources}/version.h ${resources}/legal.html ${resources}/make-icons.py
                ${PROJECT_SOURCE_DIR}/cmake/strongest.py
                ${CMAKE_CURRENT_SOURCE_DIR}/tools/pe/resourcestub.c
        COMMENT "Linking a stand-in stub with the stub's resources")
    add_custom_target(orv_resourcestub DEPENDS ${stub})
    add_dependencies(tools_orvsfx_test orv_resourcestub)
    target_compile_definitions(tools_orvsfx_test PRIVATE ORV_RESOURCE_STUB="${stub}")
endif()

# The threaded packing pipeline and Deflate pieces, driven directly (host only).
if(NOT ORV_WIN32)
    find_package(ZLIB REQUIRED)
    orv_add_test(tools_folderpacker_test
        SOURCES tools/packer/memberpipeline_test.cpp
        LIBS orv_folderpacker ZLIB::ZLIB
        HOST_ONLY)
endif()

# orvsfx list/test/extract run this engine natively (tools/cli/cmd_engine.cpp).
if(TARGET orvsfx)
    orv_add_test(engine_frontend_test HOST_ONLY SOURCES tools/cli/frontend_test.cpp
        LIBS orv_enginetestkit)
    add_dependencies(engine_frontend_test orvsfx)
endif()

# orvsfx as installed: cmake --install of this build into a temporary prefix, with the win32
# build's stub (ORV_STUB of cmake/Install.cmake; without one the tests are skipped).
if(TARGET orvsfx)
    orv_add_test(tools_install_test HOST_ONLY SOURCES tools/cli/install_test.cpp)
    add_dependencies(tools_install_test orvsfx orvsfx_docs)
    target_include_directories(tools_install_test PRIVATE ${ORV_LIBDEFLATE_INCLUDE})
    target_compile_definitions(tools_install_test PRIVATE
        ORV_STUB="${ORV_STUB}" ORV_CMAKE_COMMAND="${CMAKE_COMMAND}")
endif()

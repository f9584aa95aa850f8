# The package builder: its library runs in both builds (under Wine too); the command-line
# program orvsfx is tested on the host against 7-Zip and Python's zipfile.
orv_add_test(tools_packagewriter_test
    SOURCES tools_texttable_test.cpp tools_optionsencoder_test.cpp tools_zipwriter_test.cpp
            tools_zipreader_test.cpp tools_packagewriter_test.cpp tools_zipcrypto_test.cpp
            tools_translations_test.cpp
    LIBS orv_packagewriter orv_startup)

orv_add_test(tools_orvsfx_test
    SOURCES tools_orvsfx_test.cpp tools_build_test.cpp tools_packagefile_test.cpp
            tools_signing_test.cpp
    HOST_ONLY TIMEOUT 240)
if(TARGET tools_orvsfx_test)
    add_dependencies(tools_orvsfx_test orvsfx)
endif()

# The threaded packing pipeline and Deflate pieces, driven directly (host only).
if(NOT ORV_WIN32)
    find_package(ZLIB REQUIRED)
    orv_add_test(tools_folderpacker_test
        SOURCES tools_folderpacker_test.cpp
        LIBS orv_folderpacker ZLIB::ZLIB
        HOST_ONLY)
endif()

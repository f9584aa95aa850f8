# Tests of the zip engine. Their archives are made at build time on the Linux side by
# tests/data/engine/makefixtures.py (Python's zipfile, 7zz, bsdtar), so the Win32 programs
# find them ready when Wine runs them.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(ORV_ENGINE_FIXTURES ${CMAKE_BINARY_DIR}/engine_fixtures)
file(GLOB ORV_ENCRYPTED_FIXTURES CONFIGURE_DEPENDS ${ORV_TEST_DATA}/engine/encrypted/*.zip)
add_custom_command(
    OUTPUT ${ORV_ENGINE_FIXTURES}/stamp
    COMMAND ${Python3_EXECUTABLE} ${ORV_TEST_DATA}/engine/makefixtures.py ${ORV_ENGINE_FIXTURES}
    DEPENDS ${ORV_TEST_DATA}/engine/makefixtures.py ${ORV_ENCRYPTED_FIXTURES}
    COMMENT "Making the engine's test archives")
add_custom_target(engine_fixtures DEPENDS ${ORV_ENGINE_FIXTURES}/stamp)

add_library(orv_enginetestkit STATIC support/enginetestkit.cpp)
target_include_directories(orv_enginetestkit PUBLIC ${PROJECT_SOURCE_DIR})
# support/rawzip.h, the archives written field by field in tests, takes its CRCs from the
# builder's library.
target_link_libraries(orv_enginetestkit
    PUBLIC orv_engine orv_startup orv_packagewriter GTest::gtest)
target_compile_definitions(orv_enginetestkit PUBLIC ORV_ENGINE_FIXTURES="${ORV_ENGINE_FIXTURES}")
orv_project_code(orv_enginetestkit)
add_dependencies(orv_enginetestkit engine_fixtures)

# One program for each part of the engine: program:file of engine/<file>_test.cpp.
foreach(test engine_archiveopen_test:archiveopen engine_memberloop_test:memberloop
        engine_extract_test:extract engine_times_test:timeconv engine_messages_test:messages
        engine_decrypt_test:decrypt engine_names_test:nametext mapname_test:mapname
        outputpath_test:outputpath)
    string(REPLACE ":" ";" test ${test})
    list(GET test 0 name)
    list(GET test 1 file)
    orv_add_test(${name} SOURCES engine/${file}_test.cpp LIBS orv_enginetestkit)
endforeach()

orv_add_test(runrequest_test SOURCES engine/runrequest_test.cpp LIBS orv_engine orv_setuputil)

# Wine takes the ANSI code page from the locale variables: 932 (Shift-JIS) for Japanese.
orv_add_test(codepage932_test WIN32_ONLY SOURCES engine/codepage932_test.cpp LIBS orv_enginetestkit
             ENVIRONMENT LC_ALL=ja_JP.UTF-8)

# Links planted in the destination: made with symlink(2), or by ln under Wine.
orv_add_test(engine_links_test SOURCES engine/links_test.cpp LIBS orv_enginetestkit)
if(ORV_WIN32)
    target_link_libraries(engine_links_test PRIVATE orv_uitest)
endif()

# Inflate and CRC-32: streams built bit by bit, generated streams of Python's zlib and
# 7-Zip's Deflate64 (both builds), and differential tests against zlib (host).
set(ORV_INFLATE_STREAMS ${CMAKE_BINARY_DIR}/inflate-streams)
add_custom_command(
    OUTPUT ${ORV_INFLATE_STREAMS}/manifest.txt
    COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/data/inflate/makestreams.py ${ORV_INFLATE_STREAMS}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/data/inflate/makestreams.py
    COMMENT "Generating Deflate and Deflate64 test streams")
add_custom_target(inflate_streams DEPENDS ${ORV_INFLATE_STREAMS}/manifest.txt)

orv_add_test(inflate_test
    SOURCES engine/inflate_test.cpp engine/codetables_test.cpp engine/inflate_streams_test.cpp
            engine/crc32_test.cpp
    LIBS orv_engine
    TIMEOUT 300)
target_compile_definitions(inflate_test PRIVATE ORV_INFLATE_STREAMS="${ORV_INFLATE_STREAMS}")
add_dependencies(inflate_test inflate_streams)

if(NOT ORV_WIN32)
    find_package(ZLIB REQUIRED)
    orv_add_test(inflate_differential_test
        SOURCES engine/inflate_differential_test.cpp
        LIBS orv_engine ZLIB::ZLIB
        HOST_ONLY TIMEOUT 300)
endif()

# LZMA: streams built symbol by symbol (both builds), and differential tests against liblzma,
# which also encodes their streams (host).
orv_add_test(lzma_test SOURCES engine/lzma_test.cpp LIBS orv_engine TIMEOUT 300)
if(NOT ORV_WIN32)
    orv_add_test(lzma_differential_test
        SOURCES engine/lzma_differential_test.cpp
        LIBS orv_engine PkgConfig::LIBLZMA
        HOST_ONLY TIMEOUT 300)
endif()

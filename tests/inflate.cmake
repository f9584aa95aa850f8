# Inflate and CRC-32: streams built bit by bit, generated streams of Python's zlib and
# 7-Zip's Deflate64 (both builds), differential tests against zlib (host), and the replay of
# the fuzzers' corpora (host).
set(ORV_INFLATE_STREAMS ${CMAKE_BINARY_DIR}/inflate-streams)
add_custom_command(
    OUTPUT ${ORV_INFLATE_STREAMS}/manifest.txt
    COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/data/inflate/makestreams.py ${ORV_INFLATE_STREAMS}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/data/inflate/makestreams.py
    COMMENT "Generating Deflate and Deflate64 test streams")
add_custom_target(inflate_streams DEPENDS ${ORV_INFLATE_STREAMS}/manifest.txt)

orv_add_test(inflate_test
    SOURCES inflate_test.cpp codetables_test.cpp inflate_streams_test.cpp crc32_test.cpp
    LIBS orv_engine
    TIMEOUT 300)
target_compile_definitions(inflate_test PRIVATE ORV_INFLATE_STREAMS="${ORV_INFLATE_STREAMS}")
add_dependencies(inflate_test inflate_streams)

if(NOT ORV_WIN32)
    find_package(ZLIB REQUIRED)
    orv_add_test(inflate_differential_test
        SOURCES inflate_differential_test.cpp
        LIBS orv_engine ZLIB::ZLIB
        HOST_ONLY TIMEOUT 300)
endif()

# The fuzzers' corpora replayed through their entry functions (host; fuzz/entries.h).
if(NOT ORV_WIN32)
    orv_add_test(fuzz_corpus_test
        SOURCES fuzz_corpus_test.cpp ${PROJECT_SOURCE_DIR}/fuzz/inflate_entry.cpp
                ${PROJECT_SOURCE_DIR}/fuzz/startup_entries.cpp ${PROJECT_SOURCE_DIR}/fuzz/engine_entry.cpp
                ${PROJECT_SOURCE_DIR}/fuzz/foldermacros_entry.cpp
                ${PROJECT_SOURCE_DIR}/fuzz/commandline_entry.cpp
                ${PROJECT_SOURCE_DIR}/fuzz/commandtext_entry.cpp
                ${PROJECT_SOURCE_DIR}/fuzz/archivelist_entry.cpp
        LIBS orv_setuputil orv_engine orv_startup orv_common ZLIB::ZLIB
        HOST_ONLY TIMEOUT 300)
endif()

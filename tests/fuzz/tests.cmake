# The fuzzers' corpora replayed through their entry functions (host; fuzz/entries.h).
if(NOT ORV_WIN32)
    orv_add_test(fuzz_corpus_test
        SOURCES fuzz/corpus_test.cpp ${PROJECT_SOURCE_DIR}/fuzz/inflate_entry.cpp
                ${PROJECT_SOURCE_DIR}/fuzz/startup_entries.cpp
                ${PROJECT_SOURCE_DIR}/fuzz/engine_entry.cpp
                ${PROJECT_SOURCE_DIR}/fuzz/foldermacros_entry.cpp
                ${PROJECT_SOURCE_DIR}/fuzz/commandline_entry.cpp
                ${PROJECT_SOURCE_DIR}/fuzz/commandtext_entry.cpp
                ${PROJECT_SOURCE_DIR}/fuzz/archivelist_entry.cpp
                ${PROJECT_SOURCE_DIR}/fuzz/lzma_entry.cpp
        LIBS orv_setuputil orv_engine orv_startup orv_common ZLIB::ZLIB PkgConfig::LIBLZMA
        HOST_ONLY TIMEOUT 300)
endif()

# The real stub under Wine, driven through its windows by the UI test library.
orv_add_test(stub_test WIN32_ONLY TIMEOUT 300
    SOURCES stub/stub_test.cpp ${PROJECT_SOURCE_DIR}/stub/unpack.cpp
    LIBS orv_uitest orv_packagewriter)
if(ORV_WIN32)
    add_dependencies(stub_test stub)
endif()

# The start-up unpacker, on its own (both builds).
orv_add_test(unpack_test SOURCES stub/unpack_test.cpp ${PROJECT_SOURCE_DIR}/stub/unpack.cpp)
if(NOT ORV_WIN32)
    find_package(ZLIB REQUIRED)
    target_link_libraries(unpack_test PRIVATE ZLIB::ZLIB)
endif()

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

add_library(orv_enginetestkit STATIC engine_testkit.cpp)
target_include_directories(orv_enginetestkit PUBLIC ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
# rawzip.h, the archives written field by field in tests, takes its CRCs from the builder's
# library.
target_link_libraries(orv_enginetestkit PUBLIC orv_engine orv_startup orv_packagewriter GTest::gtest)
target_compile_definitions(orv_enginetestkit PUBLIC ORV_ENGINE_FIXTURES="${ORV_ENGINE_FIXTURES}")
orv_project_code(orv_enginetestkit)
add_dependencies(orv_enginetestkit engine_fixtures)

foreach(name engine_state_test engine_memberloop_test engine_extract_test engine_times_test
        engine_callbacks_test engine_decrypt_test engine_names_test mapname_test checkdir_test)
    orv_add_test(${name} SOURCES ${name}.cpp LIBS orv_enginetestkit)
endforeach()

orv_add_test(runrequest_test SOURCES runrequest_test.cpp LIBS orv_engine orv_setuputil)

# Wine takes the ANSI code page from the locale variables: 932 (Shift-JIS) for Japanese.
orv_add_test(codepage932_test WIN32_ONLY SOURCES codepage932_test.cpp LIBS orv_enginetestkit
             ENVIRONMENT LC_ALL=ja_JP.UTF-8)

# Links planted in the destination: made with symlink(2), or by ln under Wine.
orv_add_test(engine_links_test SOURCES engine_links_test.cpp LIBS orv_enginetestkit)
if(ORV_WIN32)
    target_link_libraries(engine_links_test PRIVATE orv_uitest)
endif()

# orvsfx list/test/extract run this engine natively (tools/cmd_engine.cpp).
if(TARGET orvsfx)
    orv_add_test(engine_frontend_test HOST_ONLY SOURCES engine_frontend_test.cpp
        LIBS orv_enginetestkit)
    add_dependencies(engine_frontend_test orvsfx)
endif()

# The real stub under Wine, driven through its windows by the UI test library.
if(ORV_WIN32)
    add_library(orv_uitest STATIC uitest/uitest.cpp uitest/textfit.cpp uitest/addressspace.cpp
                                  uitest/hostcommand.cpp uitest/windowpicture.cpp)
    target_include_directories(orv_uitest PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(orv_uitest PUBLIC user32 gdi32)
    orv_project_code(orv_uitest)
endif()
orv_add_test(stub_test WIN32_ONLY TIMEOUT 300
    SOURCES stub_test.cpp ${PROJECT_SOURCE_DIR}/stub/unpack.cpp
    LIBS orv_uitest orv_packagewriter)
if(ORV_WIN32)
    add_dependencies(stub_test stub)
endif()

# The probe the main job uses to show what a package displays.
if(ORV_WIN32)
    add_executable(uiprobe uitest/uiprobe.cpp)
    target_link_libraries(uiprobe PRIVATE orv_uitest)
    target_include_directories(uiprobe PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_options(uiprobe PRIVATE ${ORV_WIN32_TEST_LINK})
    orv_project_code(uiprobe)
endif()

# The program test packages run as their after-extraction command.
if(ORV_WIN32)
    add_executable(commandprobe uitest/commandprobe.cpp)
    target_link_options(commandprobe PRIVATE ${ORV_WIN32_TEST_LINK})
    orv_project_code(commandprobe)
endif()

# The start-up unpacker, on its own (both builds).
orv_add_test(unpack_test SOURCES unpack_test.cpp ${PROJECT_SOURCE_DIR}/stub/unpack.cpp)
if(NOT ORV_WIN32)
    find_package(ZLIB REQUIRED)
    target_link_libraries(unpack_test PRIVATE ZLIB::ZLIB)
endif()

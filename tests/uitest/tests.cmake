# The UI test library: the real stub under Wine, driven through its windows.
if(ORV_WIN32)
    add_library(orv_uitest STATIC uitest/uitest.cpp uitest/textfit.cpp uitest/addressspace.cpp
                                  uitest/hostcommand.cpp uitest/windowpicture.cpp)
    target_include_directories(orv_uitest PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(orv_uitest PUBLIC user32 gdi32)
    orv_project_code(orv_uitest)

    # The hook library that a started program loads, so that its windows are watched from
    # inside (windowwatch.cpp); beside the test programs, where uitest looks for it.
    add_library(windowwatch SHARED uitest/windowwatch.cpp)
    set_target_properties(windowwatch PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY
                                                           ${CMAKE_BINARY_DIR}/tests)
    target_link_libraries(windowwatch PRIVATE user32)
    target_link_options(windowwatch PRIVATE -Wl,--kill-at ${ORV_WIN32_TEST_LINK})
    orv_project_code(windowwatch)
    add_dependencies(orv_uitest windowwatch)
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

# The UI test library: the real stub under Wine, driven through its windows.
if(ORV_WIN32)
    add_library(orv_uitest STATIC uitest/uitest.cpp uitest/textfit.cpp uitest/addressspace.cpp
                                  uitest/hostcommand.cpp uitest/windowpicture.cpp)
    target_include_directories(orv_uitest PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(orv_uitest PUBLIC user32 gdi32)
    orv_project_code(orv_uitest)
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

# Pictures of the setup's dialogs in two languages, with every text checked to fit its
# control; scripts/screenshots.sh runs the same program for docs/screenshots.
orv_add_test(screenshots_test WIN32_ONLY TIMEOUT 300
    SOURCES setuprun.cpp screenshots_test.cpp
    LIBS orv_uitest orv_packagewriter advapi32)
if(ORV_WIN32)
    add_dependencies(screenshots_test stub commandprobe)
endif()

# The setup dialogs of the real stub under Wine, driven through the UI test library. One
# program: its tests run one after another in one Wine process, each starting packages.
orv_add_test(setupdialogs_test WIN32_ONLY TIMEOUT 900
    SOURCES setuprun.cpp maindialog_test.cpp extraction_test.cpp links_test.cpp
            folderchoice_test.cpp
    LIBS orv_uitest orv_packagewriter advapi32)
if(ORV_WIN32)
    add_dependencies(setupdialogs_test stub commandprobe)
endif()

# Unattended runs, the after-extraction command, the clean-up and the banner.
orv_add_test(unattended_test WIN32_ONLY TIMEOUT 600
    SOURCES setuprun.cpp unattended_test.cpp
    LIBS orv_uitest orv_packagewriter advapi32)
if(ORV_WIN32)
    add_dependencies(unattended_test stub commandprobe)
endif()

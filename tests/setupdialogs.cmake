# The setup dialogs of the real stub under Wine, driven through the UI test library. One
# program: its tests run one after another in one Wine process, each starting packages.
# Some packages are made by the host build's orvsfx (its command line, run on the host
# through Wine) or signed there with osslsigncode; test-all.sh builds the host before win32.
set(ORV_HOST_ORVSFX ${PROJECT_SOURCE_DIR}/build/host/tools/orvsfx CACHE FILEPATH
    "orvsfx of the host build, which Win32 tests run on the host")
orv_add_test(setupdialogs_test WIN32_ONLY TIMEOUT 900
    SOURCES setuprun.cpp maindialog_test.cpp extraction_test.cpp links_test.cpp
            folderchoice_test.cpp signedpackage_test.cpp
    LIBS orv_uitest orv_packagewriter advapi32)
if(ORV_WIN32)
    add_dependencies(setupdialogs_test stub commandprobe)
    target_compile_definitions(setupdialogs_test PRIVATE ORV_HOST_ORVSFX="${ORV_HOST_ORVSFX}")
endif()

# Unattended runs, the after-extraction command, the clean-up and the banner.
orv_add_test(unattended_test WIN32_ONLY TIMEOUT 600
    SOURCES setuprun.cpp unattended_test.cpp
    LIBS orv_uitest orv_packagewriter advapi32)
if(ORV_WIN32)
    add_dependencies(unattended_test stub commandprobe)
endif()

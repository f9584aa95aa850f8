# The setup dialogs' portable pieces: the main dialog's file list (checked against the names
# the engine itself looks up in it), composed texts, layout, result messages, install log,
# the after-extraction command's text and the clean-up.
orv_add_test(setup_test
    SOURCES setup/archivelist_test.cpp setup/dialogtexts_test.cpp setup/runreport_test.cpp
            setup/dialoglayout_test.cpp setup/installlog_test.cpp setup/commandtext_test.cpp
            setup/cleanup_test.cpp
    LIBS orv_setuputil orv_enginetestkit orv_packagewriter)

# The setup dialogs of the real stub under Wine, driven through the UI test library. One
# program: its tests run one after another in one Wine process, each starting packages.
# Some packages are made by the host build's orvsfx (its command line, run on the host
# through Wine) or signed there with osslsigncode; test-all.sh builds the host before win32.
set(ORV_HOST_ORVSFX ${PROJECT_SOURCE_DIR}/build/host/tools/orvsfx CACHE FILEPATH
    "orvsfx of the host build, which Win32 tests run on the host")
orv_add_test(setupdialogs_test WIN32_ONLY TIMEOUT 900
    SOURCES support/setuprun.cpp setup/maindialog_test.cpp setup/extraction_test.cpp
            setup/hyperlink_test.cpp setup/folderchoice_test.cpp stub/signedpackage_test.cpp
    LIBS orv_uitest orv_packagewriter advapi32)
if(ORV_WIN32)
    add_dependencies(setupdialogs_test stub commandprobe)
    target_compile_definitions(setupdialogs_test PRIVATE ORV_HOST_ORVSFX="${ORV_HOST_ORVSFX}")
endif()

# Unattended runs, the after-extraction command, the clean-up and the banner; and a package
# made by the host build's orvsfx as installed (cmake --install into a folder of the test).
orv_add_test(unattended_test WIN32_ONLY TIMEOUT 600
    SOURCES support/setuprun.cpp setup/unattended_test.cpp setup/installedtool_test.cpp
    LIBS orv_uitest orv_packagewriter advapi32)
if(ORV_WIN32)
    add_dependencies(unattended_test stub commandprobe)
    cmake_path(GET ORV_HOST_ORVSFX PARENT_PATH host_tools)
    cmake_path(GET host_tools PARENT_PATH host_build)
    target_compile_definitions(unattended_test PRIVATE ORV_HOST_ORVSFX="${ORV_HOST_ORVSFX}"
        ORV_HOST_BUILD="${host_build}" ORV_CMAKE_COMMAND="${CMAKE_COMMAND}")
endif()

# Pictures of the setup's dialogs in two languages, with every text checked to fit its
# control; scripts/screenshots.sh runs the same program for docs/screenshots. It runs twice:
# at Wine's 96 DPI, and at 144 DPI (a display at 150 %), where the dialogs' fonts and sizes
# scale. Wine reads the prefix's DPI when a program starts, so scripts/wine-exec.sh sets it
# before it starts the test program and sets the prefix's own again afterwards; no other test
# may start a program meanwhile.
orv_add_test(screenshots_test WIN32_ONLY TIMEOUT 300
    SOURCES support/setuprun.cpp setup/screenshots_test.cpp
    LIBS orv_uitest orv_packagewriter advapi32)
if(ORV_WIN32)
    add_dependencies(screenshots_test stub commandprobe)
    add_test(NAME screenshots_test_144dpi COMMAND screenshots_test)
    set_tests_properties(screenshots_test_144dpi PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE
                         ENVIRONMENT ORV_WINE_DPI=144)
endif()

# Names of every script through the stub, on a system of code page 1252 and on one of 932
# (Wine takes the ANSI code page from the locale variables), and a name the file system
# refuses under the C locale.
orv_add_test(unicodenames_test WIN32_ONLY TIMEOUT 600
    SOURCES support/setuprun.cpp setup/unicodenames_test.cpp
    LIBS orv_uitest orv_packagewriter advapi32)
if(ORV_WIN32)
    add_dependencies(unicodenames_test stub commandprobe)
    add_test(NAME unicodenames_test_932 COMMAND unicodenames_test)
    set_tests_properties(unicodenames_test_932 PROPERTIES TIMEOUT 600
                         ENVIRONMENT LC_ALL=ja_JP.UTF-8)
    # Wine's C locale, whose file names hold no character beyond ASCII.
    add_test(NAME unicodenames_test_c COMMAND unicodenames_test --gtest_filter=*Refuses*)
    set_tests_properties(unicodenames_test_c PROPERTIES TIMEOUT 300 ENVIRONMENT LC_ALL=C)
endif()

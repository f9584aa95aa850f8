# Start-up pieces: text block, options block, string lists, path and text utilities, folder
# macros (with made-up lookups).
# Portable, so they run natively and under Wine.
orv_add_test(startup_test
    SOURCES startup/textblock_test.cpp startup/optionsblock_test.cpp common/stringlists_test.cpp
            startup/pathutils_test.cpp startup/textutil_test.cpp startup/commandline_test.cpp
            startup/foldermacros_test.cpp
    LIBS orv_startup)

# Folder macros and the archiver search with the system's lookups: Wine's folders and
# registry (Win32 only).
orv_add_test(foldermacros_system_test
    SOURCES startup/foldermacros_system_test.cpp startup/archiver_test.cpp
    LIBS orv_startup advapi32
    WIN32_ONLY TIMEOUT 120)

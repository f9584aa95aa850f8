# Start-up pieces: text block, options block, string lists, path and text utilities, folder
# macros (with made-up lookups).
# Portable, so they run natively and under Wine.
orv_add_test(startup_test
    SOURCES textblock_test.cpp optionsblock_test.cpp stringlists_test.cpp
            pathutils_test.cpp textutil_test.cpp commandline_test.cpp
            foldermacros_test.cpp
    LIBS orv_startup)

# Folder macros and the archiver search with the system's lookups: Wine's folders and
# registry (Win32 only).
orv_add_test(foldermacros_system_test
    SOURCES foldermacros_system_test.cpp archiver_test.cpp
    LIBS orv_startup advapi32
    WIN32_ONLY TIMEOUT 120)

# Formatting into fixed buffers (platform/textformat.h), the C library's cut made uniform.
orv_add_test(textformat_test SOURCES textformat_test.cpp LIBS orv_platform)

# The Linux side of platform/folders.h (the Win32 side is compared with the API above).
orv_add_test(folders_test SOURCES folders_test.cpp LIBS orv_platform HOST_ONLY)

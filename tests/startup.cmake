# Start-up pieces: text block, options block, string lists, path and text utilities.
# Portable, so they run natively and under Wine.
orv_add_test(startup_test
    SOURCES textblock_test.cpp optionsblock_test.cpp stringlists_test.cpp
            pathutils_test.cpp textutil_test.cpp commandline_test.cpp
    LIBS orv_startup)

# The setup's portable pieces that read the package: the main dialog's file list, checked
# against the names the engine itself looks up in it.
orv_add_test(archivelist_test SOURCES archivelist_test.cpp
    LIBS orv_setuputil orv_enginetestkit orv_packagewriter)

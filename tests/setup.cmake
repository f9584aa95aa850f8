# The setup dialogs' portable pieces: the main dialog's file list (checked against the names
# the engine itself looks up in it), composed texts, layout, result messages, install log,
# the after-extraction command's text and the clean-up.
orv_add_test(setup_test
    SOURCES archivelist_test.cpp dialogtexts_test.cpp runreport_test.cpp dialoglayout_test.cpp
            installlog_test.cpp commandtext_test.cpp cleanup_test.cpp
    LIBS orv_setuputil orv_enginetestkit orv_packagewriter)

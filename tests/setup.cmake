# The setup dialogs' portable pieces: composed texts, layout, result messages, install log.
orv_add_test(setup_test
    SOURCES dialogtexts_test.cpp runreport_test.cpp dialoglayout_test.cpp installlog_test.cpp
    LIBS orv_setuputil orv_packagewriter)

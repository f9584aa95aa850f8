# The version number's one home is resources/version.h: the stub's version resource and
# "orvsfx --version" read it, and the project (so its packages) takes ORV_VERSION from it
# here, before project(). The header's text form must spell its three numbers.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/../resources/version.h ORV_VERSION_DEFINES
     REGEX "^#define ORV_VERSION_")
foreach(define ${ORV_VERSION_DEFINES})
    if(define MATCHES "^#define ORV_VERSION_([A-Z]+) \"?([0-9.]+)\"?$")
        set(ORV_VERSION_${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
    endif()
endforeach()
set(ORV_VERSION ${ORV_VERSION_MAJOR}.${ORV_VERSION_MINOR}.${ORV_VERSION_PATCH})
if(NOT ORV_VERSION_TEXT STREQUAL ORV_VERSION)
    message(FATAL_ERROR "resources/version.h: ORV_VERSION_TEXT \"${ORV_VERSION_TEXT}\" is not "
                        "its numbers ${ORV_VERSION}")
endif()

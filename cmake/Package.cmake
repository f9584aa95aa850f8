# The Debian package and the archive of the install tree (cmake/Install.cmake), made by cpack
# (scripts/package.sh):
#
#   orvsfx_<version>_amd64.deb            installs under /usr; its dependencies are computed by
#                                         dpkg-shlibdeps from the program's own libraries
#   orvsfx-<version>-linux-x86_64.tar.gz  the same tree below one folder, runnable where it is
#                                         unpacked
#
# The stub inside is Windows code but data to this package, which stays amd64 like the
# program. With SOURCE_DATE_EPOCH set, cpack writes that time into every header, so two
# builds of one commit give the same bytes.

set(ORV_PACKAGE_MAINTAINER "Orvandel SFX maintainers <maintainers@orvandel.example>"
    CACHE STRING "The Maintainer of the Debian package")

set(CPACK_PACKAGE_NAME orvsfx)
set(CPACK_PACKAGE_VENDOR "Orvandel SFX")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "self-extracting setup packages for Windows, built on Linux")
set(CPACK_PACKAGE_DESCRIPTION
"orvsfx builds Orvandel SFX packages: one 32-bit Windows program holding a small
stub, the texts and options of its setup dialog, and a ZIP archive. Run on
Windows, a package shows its setup dialog, extracts with its own zip engine and
can run a program afterwards, or extracts unattended. orvsfx also lists, tests
and extracts packages and plain zip files on Linux with the same engine. The
Windows stub is included.")
set(CPACK_PACKAGE_CONTACT ${ORV_PACKAGE_MAINTAINER})
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB TGZ)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "wine, osslsigncode")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

set(CPACK_PACKAGE_FILE_NAME orvsfx-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})

include(CPack)

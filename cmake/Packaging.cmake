# The Debian package: `cpack -G DEB` in a build configured with
# CMAKE_INSTALL_PREFIX=/usr (scripts/package.sh does both). Its dependencies
# come from dpkg-shlibdeps on the installed programs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Korvex developers")
set(CPACK_PACKAGE_CONTACT "The Korvex developers <korvex@korvex.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "search a Usenet newsgroup for articles whose header matches a pattern")
# CPack puts the summary first itself: this is only the extended description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Korvex searches one newsgroup on one news server for articles whose chosen
header (Subject, Keywords, Summary, Date, From, Reply-To, Message-ID or
Organization) matches a pattern, downloads them, and lets the user read,
prune, save, reload and export what it found.
.
This package holds the desktop program korvex (wxWidgets) and the
command-line front end korvex-cli.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION news)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${KORVEX_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
include(CPack)

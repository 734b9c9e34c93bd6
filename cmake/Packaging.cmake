# Packages made by cpack from an install of the programs, the manual pages
# and the documents: a Debian package whose Depends are worked out from the
# shared libraries the programs use (dpkg-shlibdeps, package dpkg-dev), and
# beside it grain-dbgsym, the programs' debug information under
# /usr/lib/debug/.build-id/, where addr2line and gdb look for it by the
# programs' build IDs (the programs in the package are stripped and carry a
# debug link to it). lintian finds no fault in either: what it would still
# say, and why that is right here, is in debian/lintian-overrides.
# The Windows zip is put together by scripts/package from the cross builds.
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "grain")
# Whoever publishes the package puts their own address here.
set(GRAIN_PACKAGE_MAINTAINER "grain developers <grain-devel@users.noreply.invalid>"
  CACHE STRING "Maintainer of the Debian package: a name and a mail address")
set(CPACK_PACKAGE_CONTACT "${GRAIN_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "trigrain and quintgrain: ${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
  "Two small interactive programs, trigrain and quintgrain, started from a
terminal. Each opens an X11 window and draws a fractal by the chaos game, one
white pixel at a time, at full speed until a key is pressed in the terminal;
it then reads one line there and ends.")
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
# Stripped by debian/stage.cmake, once the debug information is copied out.
set(CPACK_STRIP_FILES OFF)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
# Drawing toys with nothing to play: graphics, which keeps the programs in
# /usr/bin (the games section would put them in /usr/games, outside root's
# and sudo's PATH). Their manual pages stay in section 6, games and demos.
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

# The Debian package's own files, added to the staged install just before
# it is packed (debian/stage.cmake): a plain cmake --install leaves them out.
set(GRAIN_PACKAGE_DATE "Mon, 07 Dec 2026 12:00:00 +0000")  # of the changelog entry
set(GRAIN_DEBIAN_VERSION "${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in
  ${PROJECT_BINARY_DIR}/debian/changelog.Debian @ONLY)
set(CPACK_GRAIN_DEBIAN_FILES
  ${CMAKE_CURRENT_LIST_DIR}/debian/copyright
  ${CMAKE_CURRENT_LIST_DIR}/debian/lintian-overrides
  ${PROJECT_BINARY_DIR}/debian/changelog.Debian)
set(CPACK_GRAIN_PROGRAMS trigrain quintgrain)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/debian/stage.cmake)

include(CPack)

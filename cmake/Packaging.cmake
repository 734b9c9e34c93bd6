# Packages made by cpack from an install of the programs, the manual pages
# and the documents: a Debian package whose Depends are worked out from the
# shared libraries the programs use (dpkg-shlibdeps, package dpkg-dev).
# The Windows zip is put together by scripts/package from the cross builds.
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "grain")
set(CPACK_PACKAGE_CONTACT "grain developers <grain@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "trigrain and quintgrain: ${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
  "Two small interactive programs, trigrain and quintgrain, started from a
terminal. Each opens an X11 window and draws a fractal by the chaos game, one
white pixel at a time, at full speed until a key is pressed in the terminal;
it then reads one line there and ends.")
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

include(CPack)

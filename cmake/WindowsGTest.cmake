# GoogleTest for the Windows cross build, compiled from Debian's source
# package with the cross compiler (nothing is downloaded). Provides the
# targets GTest::gtest and GTest::gtest_main.
set(GRAIN_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT EXISTS ${GRAIN_GTEST_SOURCE_DIR}/googletest/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${GRAIN_GTEST_SOURCE_DIR} "
                      "(Debian package googletest; scripts/install-deps windows)")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)  # the Win32 primitives serve
add_subdirectory(${GRAIN_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(t gtest gtest_main)
  # Compiled as the tests' own code is (grain_test_code, tests/CMakeLists.txt).
  target_link_libraries(${t} PRIVATE grain_test_code)
  if(NOT TARGET GTest::${t})
    add_library(GTest::${t} ALIAS ${t})
  endif()
endforeach()

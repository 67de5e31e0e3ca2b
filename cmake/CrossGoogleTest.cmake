# GoogleTest for a cross build: no GoogleTest built for MinGW is packaged,
# so it is built here from Debian's own sources (package googletest, the
# same version the Linux build links) with the cross compiler. It gives the
# targets GTest::gtest, GTest::gtest_main, GTest::gmock as find_package does.
set(KALVI7_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources, for cross builds")
if(NOT EXISTS ${KALVI7_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest's sources are not in ${KALVI7_GOOGLETEST_SOURCE} "
                      "(Debian: apt-get install googletest), or set KALVI7_GOOGLETEST_SOURCE")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
# Not ours: built with its own options, and only what a test links.
add_subdirectory(${KALVI7_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

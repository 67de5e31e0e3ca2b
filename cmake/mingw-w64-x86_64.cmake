# Cross-compiling for 64-bit Windows with MinGW-w64 (Debian:
# g++-mingw-w64-x86-64). Used by the mingw-core preset, which builds the
# toolkit-free core only: there is no Windows Qt here to build the window
# against. MINGW_CXX in the environment names another g++ of the same kind.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

if(DEFINED ENV{MINGW_CXX})
  set(CMAKE_CXX_COMPILER $ENV{MINGW_CXX})
else()
  set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++)
endif()
string(REGEX REPLACE "g\\+\\+$" "" kalvi7_mingw_prefix "${CMAKE_CXX_COMPILER}")
set(CMAKE_C_COMPILER ${kalvi7_mingw_prefix}gcc)
set(CMAKE_RC_COMPILER ${kalvi7_mingw_prefix}windres)

# Programs from the build machine; libraries, headers and packages from the
# cross compiler's own tree only.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

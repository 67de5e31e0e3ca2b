# Cross-compiling for 64-bit Windows with MinGW-w64 (Debian:
# g++-mingw-w64-x86-64-posix). The posix thread model is the one Qt 6 is
# built with (std::thread), and the program must use the same compiler and
# libstdc++ DLL as the Qt it links, so it is the default when installed.
# MINGW_CXX in the environment names another g++ of the same kind.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

if(DEFINED ENV{MINGW_CXX})
  set(CMAKE_CXX_COMPILER $ENV{MINGW_CXX})
else()
  find_program(kalvi7_mingw_posix x86_64-w64-mingw32-g++-posix)
  if(kalvi7_mingw_posix)
    set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
  else()
    set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++)
  endif()
endif()
# x86_64-w64-mingw32-g++[-posix] -> x86_64-w64-mingw32-gcc[-posix], and the
# resource compiler, which has no thread model, without the suffix.
string(REGEX REPLACE "g\\+\\+(-[a-z0-9]+)?$" "gcc\\1" kalvi7_mingw_cc "${CMAKE_CXX_COMPILER}")
string(REGEX REPLACE "g\\+\\+(-[a-z0-9]+)?$" "windres" kalvi7_mingw_rc "${CMAKE_CXX_COMPILER}")
set(CMAKE_C_COMPILER ${kalvi7_mingw_cc})
set(CMAKE_RC_COMPILER ${kalvi7_mingw_rc})

# Programs from the build machine; libraries, headers and packages from the
# cross compiler's own tree, and from the Windows Qt when one is named
# (CMAKE_PREFIX_PATH is searched inside the root path too).
# Without a root path the build machine's own /usr/include would be searched
# for Windows headers.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
if(DEFINED ENV{KALVI7_QT_WINDOWS})
  list(APPEND CMAKE_FIND_ROOT_PATH $ENV{KALVI7_QT_WINDOWS})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

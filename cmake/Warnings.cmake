# The compiler warnings of the project's own code, as one interface target:
# every target of ours links kalvi7_warnings privately, so the options reach
# its own sources only, never a target that links it. Third-party headers
# (Qt, GoogleTest, Google Benchmark) come in as system includes and stay
# quiet. What Qt's generators write for the window (moc, uic, rcc) is built
# inside our targets with these options too, and builds clean with them.
#
# `cmake -P cmake/Warnings.cmake` prints the options, for the scripts that
# compile sources without CMake (scripts/check-windows.sh).

set(KALVI7_WARNING_OPTIONS
  -Wall -Wextra -Wpedantic
  -Wshadow -Wconversion -Wsign-conversion -Wold-style-cast
  -Wnon-virtual-dtor -Woverloaded-virtual)

if(CMAKE_SCRIPT_MODE_FILE)
  list(JOIN KALVI7_WARNING_OPTIONS " " options)
  message("${options}")
  return()
endif()

# Off for a user's build, so that a newer compiler's new warning never
# stops someone building the program; the test and fuzz scripts turn it on.
option(KALVI7_WERROR "Treat warnings in the project's own code as errors" OFF)

add_library(kalvi7_warnings INTERFACE)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  target_compile_options(kalvi7_warnings INTERFACE ${KALVI7_WARNING_OPTIONS})
  if(KALVI7_WERROR)
    target_compile_options(kalvi7_warnings INTERFACE -Werror)
  endif()
elseif(MSVC)
  target_compile_options(kalvi7_warnings INTERFACE /W4 $<$<BOOL:${KALVI7_WERROR}>:/WX>)
endif()

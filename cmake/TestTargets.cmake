# How a test program is declared: one call per GoogleTest executable.
#
#   kalvi7_add_test(<name>
#     SOURCES <file>...          the test sources and helpers, listed by name
#     LIBS <target>...           what it links (GTest::gtest_main, or
#                                GTest::gtest with a main of its own)
#     [INCLUDES <dir>...]        private include directories
#     [DEFINITIONS <def>...]     private compile definitions
#     [DEPENDS <target>...]      programs the tests start, built first
#     [PREFIX <prefix>]          prefix of each test's name in CTest
#     [TIMEOUT <seconds>]        per test
#     [WINDOW]                   the tests open windows: offscreen platform
#     [RUN_AS <ctest name>])     one CTest test running the whole program,
#                                instead of one per GoogleTest case
#
# Every test program gets the project's warnings.
include(GoogleTest)

function(kalvi7_add_test name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "WINDOW" "PREFIX;TIMEOUT;RUN_AS"
                        "SOURCES;LIBS;INCLUDES;DEFINITIONS;DEPENDS")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "kalvi7_add_test(${name}): unknown arguments ${arg_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT arg_SOURCES)
    message(FATAL_ERROR "kalvi7_add_test(${name}): no SOURCES")
  endif()

  add_executable(${name} ${arg_SOURCES})
  target_link_libraries(${name} PRIVATE ${arg_LIBS} kalvi7_warnings)
  if(arg_INCLUDES)
    target_include_directories(${name} PRIVATE ${arg_INCLUDES})
  endif()
  if(arg_DEFINITIONS)
    target_compile_definitions(${name} PRIVATE ${arg_DEFINITIONS})
  endif()
  if(arg_DEPENDS)
    add_dependencies(${name} ${arg_DEPENDS})
  endif()

  set(properties)
  if(arg_WINDOW)
    list(APPEND properties ENVIRONMENT QT_QPA_PLATFORM=offscreen)
  endif()
  if(arg_TIMEOUT)
    list(APPEND properties TIMEOUT ${arg_TIMEOUT})
  endif()

  if(arg_RUN_AS)
    add_test(NAME ${arg_RUN_AS} COMMAND ${name})
    if(properties)
      set_tests_properties(${arg_RUN_AS} PROPERTIES ${properties})
    endif()
    return()
  endif()
  if(CMAKE_CROSSCOMPILING)
    # Cross-built, a test runs under the emulator (Wine), which takes a
    # second or more to start a program: one CTest test runs the whole
    # program, and GoogleTest's own report names the case that failed.
    set(test_name ${name})
    if(arg_PREFIX)
      string(REGEX REPLACE "\\.$" "" test_name "${arg_PREFIX}")
    endif()
    add_test(NAME ${test_name} COMMAND ${name})
    # The whole program's time: ten minutes, whatever one case may take.
    set_tests_properties(${test_name} PROPERTIES TIMEOUT 600)
    if(arg_WINDOW)
      set_tests_properties(${test_name} PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)
    endif()
    return()
  endif()
  set(discover DISCOVERY_TIMEOUT 30)
  if(arg_PREFIX)
    list(APPEND discover TEST_PREFIX ${arg_PREFIX})
  endif()
  if(properties)
    list(APPEND discover PROPERTIES ${properties})
  endif()
  gtest_discover_tests(${name} ${discover})
endfunction()

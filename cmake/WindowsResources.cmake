# What a Windows program of ours carries besides its code: a version
# resource (what Explorer's Properties, Task Manager and Add/Remove Programs
# show), an application manifest, and for the window the icon. One call per
# program; elsewhere than on Windows the call does nothing, so a
# CMakeLists.txt calls it without a condition:
#
#   kalvi7_windows_program(TARGET DESCRIPTION text [GUI] [ICON file.ico])
#
#   DESCRIPTION  the FileDescription, the name Task Manager lists the process by
#   GUI          the window's manifest settings too: per-monitor DPI awareness
#                (PerMonitorV2, PerMonitor where V2 is unknown) and the version
#                6 common controls; a console program needs neither
#   ICON         the program's icon, as resource IDI_ICON1: Explorer shows the
#                first icon of a program, and Qt takes IDI_ICON1 for the
#                icon of its window class
#
# Every program also gets: the UTF-8 active code page, so that the narrow
# strings of the C and C++ libraries (argv, file names, getenv) carry every
# letter of a Russian user name or folder, Windows 10 and 11 declared as
# supported, no elevation asked for, and a link without the time of the
# link in the PE header, so that two builds of the same source give the
# same bytes. The templates are packaging/windows/program.rc.in and
# program.manifest.in; the version comes from project().
#
# The resource compiler is a language of its own for CMake: enabled in the
# directory that includes this file (include_guard(DIRECTORY)), so that a
# sibling directory including it gets it as well.
include_guard(DIRECTORY)

if(WIN32)
  enable_language(RC)
endif()

function(kalvi7_windows_program target)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(PARSE_ARGV 1 arg "GUI" "DESCRIPTION;ICON" "")
  if(NOT arg_DESCRIPTION)
    message(FATAL_ERROR "kalvi7_windows_program(${target}): DESCRIPTION is required")
  endif()
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "kalvi7_windows_program(${target}): unknown arguments ${arg_UNPARSED_ARGUMENTS}")
  endif()

  # FILEVERSION takes four numbers; 1.3 is 1,3,0,0.
  set(numbers ${PROJECT_VERSION_MAJOR} ${PROJECT_VERSION_MINOR} ${PROJECT_VERSION_PATCH}
              ${PROJECT_VERSION_TWEAK})
  set(version_numbers)
  foreach(number IN LISTS numbers)
    if(number STREQUAL "")
      set(number 0)
    endif()
    list(APPEND version_numbers ${number})
  endforeach()
  list(JOIN version_numbers "," KALVI7_RC_VERSION_COMMAS)
  list(JOIN version_numbers "." KALVI7_RC_VERSION_DOTS)

  set(KALVI7_RC_TARGET ${target})
  set(KALVI7_RC_DESCRIPTION "${arg_DESCRIPTION}")
  set(KALVI7_RC_ORIGINAL_FILENAME "${target}${CMAKE_EXECUTABLE_SUFFIX}")
  set(KALVI7_RC_VERSION "${PROJECT_VERSION}")
  # A quotation mark would end the resource's string early.
  if(arg_DESCRIPTION MATCHES "\"")
    message(FATAL_ERROR "kalvi7_windows_program(${target}): DESCRIPTION may not hold a quotation mark")
  endif()

  # The templates' folder, from wherever the function is called.
  set(templates ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../packaging/windows)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}_windows)
  if(arg_GUI)
    set(KALVI7_MANIFEST_WINDOW_SETTINGS
"      <dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true/pm</dpiAware>
      <dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">PerMonitorV2, PerMonitor</dpiAwareness>")
    set(KALVI7_MANIFEST_DEPENDENCIES
"  <dependency>
    <dependentAssembly>
      <assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"
                        processorArchitecture=\"*\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/>
    </dependentAssembly>
  </dependency>")
  else()
    set(KALVI7_MANIFEST_WINDOW_SETTINGS "")
    set(KALVI7_MANIFEST_DEPENDENCIES "")
  endif()
  configure_file(${templates}/program.manifest.in ${dir}/${target}.manifest @ONLY)
  set(KALVI7_RC_MANIFEST ${dir}/${target}.manifest)
  set(depends ${dir}/${target}.manifest)

  if(arg_ICON)
    get_filename_component(icon "${arg_ICON}" ABSOLUTE)
    set(KALVI7_RC_ICON "IDI_ICON1 ICON \"${icon}\"")
    list(APPEND depends ${icon})
  else()
    set(KALVI7_RC_ICON "")
  endif()
  configure_file(${templates}/program.rc.in ${dir}/${target}.rc @ONLY)
  # The resource compiler reads the manifest and the icon itself, unseen by
  # the build's dependency scan.
  set_source_files_properties(${dir}/${target}.rc PROPERTIES OBJECT_DEPENDS "${depends}")
  target_sources(${target} PRIVATE ${dir}/${target}.rc)

  # A PE header records the time of the link unless told not to.
  target_link_options(${target} PRIVATE -Wl,--no-insert-timestamp)
  if(arg_GUI)
    set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE TRUE)
  endif()
endfunction()

# Stops the configure when ICON no longer holds each of the PNGs byte for
# byte, with the command that makes it again: the icon is committed, made
# from the PNGs by packaging/windows/make-icon.sh, and must follow them.
#
#   kalvi7_check_icon(ICON PNG...)
function(kalvi7_check_icon icon)
  file(READ ${icon} icon_hex HEX)
  string(LENGTH "${icon_hex}" icon_length)
  # The directory: 6 bytes, then 16 a picture.
  list(LENGTH ARGN count)
  math(EXPR expected_length "2 * (6 + 16 * ${count})")
  foreach(png IN LISTS ARGN)
    file(READ ${png} png_hex HEX)
    string(LENGTH "${png_hex}" png_length)
    math(EXPR expected_length "${expected_length} + ${png_length}")
    string(FIND "${icon_hex}" "${png_hex}" at)
    if(at EQUAL -1)
      set(stale ${png})
    endif()
  endforeach()
  if(stale OR NOT icon_length EQUAL expected_length)
    message(FATAL_ERROR "${icon} was not made from the PNGs as they are now (${stale}): "
                        "run packaging/windows/make-icon.sh and commit the icon")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${icon} ${ARGN})
endfunction()

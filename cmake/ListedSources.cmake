# Source lists are written out by name, so a file that no list names would
# silently go unbuilt (a test that never runs, a handler never linked in).
# kalvi7_require_listed() makes that a configure error instead: each file
# matching the patterns must be a source of some target of the build.
#
#   kalvi7_require_listed(<pattern>...)
#
# Each pattern is a path below the project's top folder whose last part may
# hold wildcards, and matches in that folder and every folder below it
# (`tests/test_*.cpp`: each test source of every test folder).
# Call it at the end of the top-level CMakeLists.txt, once every target
# exists. A folder whose files are deliberately not built on this platform
# says so with
#   set_property(DIRECTORY PROPERTY KALVI7_NOT_BUILT "<why>")
# and is passed over; a single file that is not built on this platform says
# so with
#   set_source_files_properties(<file> PROPERTIES KALVI7_NOT_BUILT "<why>")
# in its folder's CMakeLists.txt.

# Every source of every target in the directory tree below `dir`, as
# absolute paths, and the folders CMake went through.
function(kalvi7_collect_sources dir out dirs_out)
  set(sources)
  set(dirs ${dir})
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(target_sources ${target} SOURCES)
    get_target_property(target_dir ${target} SOURCE_DIR)
    if(NOT target_sources)
      continue()
    endif()
    foreach(source IN LISTS target_sources)
      if(source MATCHES "^\\$<")
        continue()  # generator expressions name no file of ours
      endif()
      get_filename_component(source ${source} ABSOLUTE BASE_DIR ${target_dir})
      list(APPEND sources ${source})
    endforeach()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir IN LISTS subdirs)
    kalvi7_collect_sources(${subdir} subdir_sources subdir_dirs)
    list(APPEND sources ${subdir_sources})
    list(APPEND dirs ${subdir_dirs})
  endforeach()
  set(${out} ${sources} PARENT_SCOPE)
  set(${dirs_out} ${dirs} PARENT_SCOPE)
endfunction()

function(kalvi7_require_listed)
  kalvi7_collect_sources(${PROJECT_SOURCE_DIR} all_sources built_dirs)

  set(patterns)
  foreach(pattern IN LISTS ARGN)
    list(APPEND patterns ${PROJECT_SOURCE_DIR}/${pattern})
  endforeach()
  # CONFIGURE_DEPENDS: a file added later re-runs the check at the next build.
  file(GLOB_RECURSE files CONFIGURE_DEPENDS ${patterns})

  set(missing)
  foreach(file IN LISTS files)
    if(file IN_LIST all_sources)
      continue()
    endif()
    get_filename_component(file_dir ${file} DIRECTORY)
    set(skipped "")
    if(file_dir IN_LIST built_dirs)
      get_property(skipped DIRECTORY ${file_dir} PROPERTY KALVI7_NOT_BUILT)
      if(NOT skipped)
        get_source_file_property(skipped ${file} DIRECTORY ${file_dir} KALVI7_NOT_BUILT)
        if(skipped STREQUAL "NOTFOUND")
          set(skipped "")
        endif()
      endif()
    endif()
    if(NOT skipped)
      file(RELATIVE_PATH name ${PROJECT_SOURCE_DIR} ${file})
      list(APPEND missing ${name})
    endif()
  endforeach()
  if(missing)
    list(JOIN missing "\n  " missing)
    message(FATAL_ERROR "These files are in no target's source list and would not be built; "
                        "name each in its folder's CMakeLists.txt:\n  ${missing}")
  endif()
endfunction()

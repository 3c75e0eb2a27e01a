# The floors of the house as libraries: quillbank_<floor> for each folder
# src/<floor>, linking only the floors below it.
#
# A floor's headers are reachable only through its own include root,
# BUILD/floors/<floor>/, which holds one link <floor> -> src/<floor>; a
# library's include path is its own root plus the roots of the floors it
# links. So `#include "jobs/read_card.h"` in a file of src/base finds no file
# and the build stops: an upward include cannot build. There is no include
# path to src/ itself.
#
#   qb_add_floor(<floor> SOURCES <files...> [BELOW <floors...>])
function(qb_add_floor floor)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;BELOW")
  set(target quillbank_${floor})
  add_library(${target} STATIC ${arg_SOURCES})
  qb_floor_include_root(${target} ${floor})
  target_link_libraries(${target} PUBLIC qb_build_flags)
  foreach(below ${arg_BELOW})
    if(NOT TARGET quillbank_${below})
      message(FATAL_ERROR "floor ${floor} links ${below}, which is not built before it")
    endif()
    target_link_libraries(${target} PUBLIC quillbank_${below})
  endforeach()
endfunction()

# Gives `target` the include root of the folder `name` (the current source
# folder) and only that.
function(qb_floor_include_root target name)
  set(root ${CMAKE_BINARY_DIR}/floors/${name})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${name} SYMBOLIC)
  target_include_directories(${target} PUBLIC ${root})
endfunction()

# The sources of src/platform: `shared` files build everywhere; each name of
# `per_system` is NAME.cpp on POSIX systems and NAME_win32.cpp on Windows,
# behind the same header.
function(qb_platform_sources out)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SHARED;PER_SYSTEM")
  set(files ${arg_SHARED})
  foreach(name ${arg_PER_SYSTEM})
    if(WIN32)
      list(APPEND files ${name}_win32.cpp)
    else()
      list(APPEND files ${name}.cpp)
    endif()
  endforeach()
  set(${out} ${files} PARENT_SCOPE)
endfunction()

# Checks that the source folders depend on each other one way only:
#   core <- link <- device <- access <- config <- report <- registry, telemetry <- app, cli
# A file may include its own folder and the folders before it; nothing
# outside app/ includes app/, nothing outside cli/ includes cli/; telemetry/
# (the MQTT publishing) is included by cli/ alone, and includes neither app/
# nor cli/; the simulator uses only the framing of link/ (it plays the relay
# and keeps its own register numbers) and the program version of core/ (it
# ships with the other programs); the about box stands alone, and only the
# window knows its export.
#
# Tests, benchmarks and fuzz targets:
# - tests/F (F a source folder) may include F, what F may include, sim/ (the
#   simulated relay) and tests/support/; the widget tests of tests/app thus
#   include app/. tests/sim and tests/interop drive the simulator with the
#   program's own master, so they follow link/; tests/install runs the
#   installed programs as a user does and follows cli/ (every folder but
#   app/). A folder of tests/ not named here is refused until it is.
# - tests/support/ serves the tests of every folder: it may include core/,
#   link/ and sim/ only.
# - bench/ and fuzz/ may include every source folder and tests/support/ but
#   app/; the window programs of bench/ (window_programs below: the soak's
#   and the screenshots' window and the trend chart's benchmark) include app/
#   too. Nothing includes bench/ or fuzz/ from outside them.
# - A file of tests/F/ is included from tests/F/ alone.
# - tests/layout/ holds the small trees this check is tested on; it is not
#   checked as part of the tree.
#
# Both "..." and <...> includes are read; a path is resolved as the compiler
# finds it: "./" and "../" from the including file's folder, others from the
# including file's folder when the file is there, else from the include roots
# (the tree, and for tests and benchmarks tests/ and tests/support/). A path
# that leaves the tree is refused. Forward declarations count as well: a file
# may declare `class X;` or `struct X;` only for a type defined in a folder it
# may include.
#
#   cmake -DSOURCE_DIR=<tree> -P CheckIncludeOrder.cmake
# Fails, listing every offending line, when a file breaks the order.

cmake_minimum_required(VERSION 3.25)

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "CheckIncludeOrder: SOURCE_DIR not given")
endif()
cmake_path(SET SOURCE_DIR NORMALIZE "${SOURCE_DIR}/")
string(REGEX REPLACE "/$" "" SOURCE_DIR "${SOURCE_DIR}")

set(ranked core link device access config report registry app cli telemetry)
set(rank_core 0)
set(rank_link 1)
set(rank_device 2)
set(rank_access 3)
set(rank_config 4)
set(rank_report 5)
set(rank_registry 6)
set(rank_app 7)
set(rank_cli 7)
set(rank_telemetry 6)
set(source_folders ${ranked} sim about)
set(checked_folders ${source_folders} bench fuzz tests)

# The test folders that are no source folder, and the folder whose rules they follow.
set(tests_sim_follow link)
set(tests_interop_follow link)
set(tests_install_follow cli)

# The programs of bench/ that show the window.
set(window_programs
  bench/UnattendedWindow.h
  bench/bench_trend_chart.cpp
  bench/screenshot_window.cpp
  bench/soak_window.cpp
)

set(cxx_globs *.h *.hpp *.hh *.cpp *.cc *.cxx *.c)

# Whether a file of source folder `from` may include `path` of folder `to`.
function(source_allowed from to path result)
  set(ok FALSE)
  if(from STREQUAL to)
    set(ok TRUE)
  elseif(from STREQUAL "sim")
    if(path STREQUAL "link/ModbusFrame.h" OR path STREQUAL "core/ProgramVersion.h")
      set(ok TRUE)
    endif()
  elseif(from STREQUAL "about")
    set(ok FALSE)
  elseif(from STREQUAL "app" AND to STREQUAL "about")
    set(ok TRUE) # the type of the about box's export, which the window looks up
  elseif(to STREQUAL "telemetry")
    if(from STREQUAL "cli")
      set(ok TRUE)
    endif()
  elseif(NOT to IN_LIST ranked)
    set(ok FALSE) # app, cli, sim, about sit beside the rest; tests, bench, fuzz are leaves
  elseif(to STREQUAL "app" OR to STREQUAL "cli")
    set(ok FALSE)
  elseif(NOT rank_${to} GREATER rank_${from})
    set(ok TRUE)
  endif()
  set(${result} ${ok} PARENT_SCOPE)
endfunction()

# The folder a path of the tree belongs to: "tests/support", "tests/F" for
# the tests of F, "tests" for a file at its top, otherwise the first part.
function(folder_of path result)
  if(path MATCHES "^tests/([^/]+)/")
    set(${result} "tests/${CMAKE_MATCH_1}" PARENT_SCOPE)
  elseif(path MATCHES "^([^/]+)/")
    set(${result} "${CMAKE_MATCH_1}" PARENT_SCOPE)
  else()
    set(${result} "" PARENT_SCOPE)
  endif()
endfunction()

# Whether `file` of folder `from` may include `path` of folder `to`; when not,
# `why` names the rule.
function(may_include file from to path result)
  set(ok FALSE)
  if(from STREQUAL to)
    set(ok TRUE)
  elseif(from STREQUAL "bench" OR from STREQUAL "fuzz")
    if(to STREQUAL "app")
      if(file IN_LIST window_programs)
        set(ok TRUE)
      endif()
    elseif(to IN_LIST source_folders OR to STREQUAL "tests/support")
      set(ok TRUE)
    endif()
  elseif(from STREQUAL "tests/support")
    if(to STREQUAL "core" OR to STREQUAL "link" OR to STREQUAL "sim")
      set(ok TRUE)
    endif()
  elseif(from MATCHES "^tests/(.+)$")
    set(tested "${CMAKE_MATCH_1}")
    set(rules "${tested}")
    if(DEFINED tests_${tested}_follow)
      set(rules "${tests_${tested}_follow}")
    endif()
    if(to STREQUAL tested OR to STREQUAL "tests/support" OR to STREQUAL "sim")
      set(ok TRUE)
    else()
      source_allowed("${rules}" "${to}" "${path}" ok)
    endif()
  elseif(from IN_LIST source_folders)
    source_allowed("${from}" "${to}" "${path}" ok)
  endif()
  set(${result} ${ok} PARENT_SCOPE)
endfunction()

# The file, relative to the tree, that `written` names from `file`
# (relative to the tree), found as the compiler finds it: a "..." include
# first beside the including file, then in the include roots (the tree, and
# for tests and benchmarks tests/ and tests/support/), a <...> include in the
# roots alone. "" when it is no file of the tree (a system or library header,
# or one generated into the build). `angle`: <...>.
function(resolve file written angle result)
  string(REPLACE "\\" "/" written "${written}")
  cmake_path(GET file PARENT_PATH folder)
  set(candidates "")
  if(NOT angle)
    list(APPEND candidates "${folder}")
  endif()
  if(file MATCHES "^(tests|bench)/")
    list(APPEND candidates tests tests/support)
  endif()
  list(APPEND candidates ".")
  set(found "")
  foreach(base ${candidates})
    if(NOT found AND EXISTS "${SOURCE_DIR}/${base}/${written}"
       AND NOT IS_DIRECTORY "${SOURCE_DIR}/${base}/${written}")
      set(found "${base}/${written}")
    endif()
  endforeach()
  # A file that is not there (the small trees of the check's own test hold
  # only the including files) is taken where the path points.
  if(NOT found)
    if(NOT angle AND written MATCHES "^\\.\\.?/")
      set(found "${folder}/${written}")
    elseif(written MATCHES "^([^/]+)/")
      string(TOLOWER "${CMAKE_MATCH_1}" first)
      if(first IN_LIST checked_folders)
        set(found "${written}")
      elseif(first STREQUAL "support" AND file MATCHES "^(tests|bench)/")
        set(found "tests/${written}")
      endif()
    endif()
  endif()
  if(found)
    cmake_path(SET found NORMALIZE "${found}")
    # A folder's name in other capitals names the folder where the file
    # system ignores case.
    if(found MATCHES "^([^/]+)(/.*)$")
      string(TOLOWER "${CMAKE_MATCH_1}" first)
      if(first IN_LIST checked_folders)
        set(found "${first}${CMAKE_MATCH_2}")
      endif()
    endif()
  endif()
  set(${result} "${found}" PARENT_SCOPE)
endfunction()

# Every C++ file of the checked folders, relative to the tree.
set(files "")
foreach(folder ${checked_folders})
  set(patterns "")
  foreach(glob ${cxx_globs})
    list(APPEND patterns "${SOURCE_DIR}/${folder}/${glob}")
  endforeach()
  file(GLOB_RECURSE found RELATIVE "${SOURCE_DIR}" ${patterns})
  foreach(path ${found})
    if(NOT path MATCHES "^tests/layout/")
      list(APPEND files "${path}")
    endif()
  endforeach()
endforeach()

set(offences "")

# A folder of the tree with C++ in it that the rules above do not know; a
# build folder (it holds CMakeCache.txt) and hidden folders are no part of it.
file(GLOB top_level RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*")
foreach(folder ${top_level})
  if(NOT IS_DIRECTORY "${SOURCE_DIR}/${folder}" OR folder IN_LIST checked_folders
     OR folder MATCHES "^\\." OR EXISTS "${SOURCE_DIR}/${folder}/CMakeCache.txt")
    continue()
  endif()
  set(patterns "")
  foreach(glob ${cxx_globs})
    list(APPEND patterns "${SOURCE_DIR}/${folder}/${glob}")
  endforeach()
  file(GLOB_RECURSE stray RELATIVE "${SOURCE_DIR}" ${patterns})
  if(stray)
    string(APPEND offences "  ${folder}/: C++ sources in a folder the include order does not know\n")
  endif()
endforeach()

# Where each type is defined: `class X` or `struct X` opening a line, with a
# body or a base to follow (a forward declaration ends in ";").
foreach(file ${files})
  folder_of("${file}" folder)
  file(STRINGS "${SOURCE_DIR}/${file}" definitions
       REGEX "^(class|struct)[ \t]+[A-Za-z_][A-Za-z0-9_]*[ \t]*($|[:{]|final)")
  foreach(line ${definitions})
    string(REGEX REPLACE "^(class|struct)[ \t]+([A-Za-z_][A-Za-z0-9_]*).*$" "\\2" type "${line}")
    list(APPEND defined_in_${type} "${folder}")
  endforeach()
endforeach()

set(files_checked 0)
foreach(file ${files})
  math(EXPR files_checked "${files_checked} + 1")
  folder_of("${file}" from)
  set(known TRUE)
  if(from STREQUAL "tests")
    set(known FALSE)
  elseif(from MATCHES "^tests/(.+)$" AND NOT from STREQUAL "tests/support")
    set(tested "${CMAKE_MATCH_1}")
    if(NOT tested IN_LIST source_folders AND NOT DEFINED tests_${tested}_follow)
      set(known FALSE)
    endif()
  endif()
  if(NOT known)
    string(APPEND offences "  ${file}: in ${from}/, a test folder the include order does not know\n")
    continue()
  endif()
  file(STRINGS "${SOURCE_DIR}/${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(line ${lines})
    if(NOT line MATCHES "^[ \t]*#[ \t]*include[ \t]*(<([^>]+)>|\"([^\"]+)\")")
      continue()
    endif()
    set(shown "${CMAKE_MATCH_1}")
    if(CMAKE_MATCH_2)
      resolve("${file}" "${CMAKE_MATCH_2}" TRUE path)
    else()
      resolve("${file}" "${CMAKE_MATCH_3}" FALSE path)
    endif()
    if(NOT path)
      continue()
    endif()
    if(path MATCHES "^\\.\\./" OR path STREQUAL "..")
      string(APPEND offences "  ${file}: #include ${shown} (reaches outside the source tree)\n")
      continue()
    endif()
    folder_of("${path}" to)
    if(NOT to)
      continue() # a file at the top of the tree is no folder's
    endif()
    may_include("${file}" "${from}" "${to}" "${path}" ok)
    if(NOT ok)
      string(APPEND offences "  ${file}: #include ${shown} (${from}/ may not include ${path})\n")
    endif()
  endforeach()
  file(STRINGS "${SOURCE_DIR}/${file}" declarations
       REGEX "^[ \t]*(class|struct)[ \t]+[A-Za-z_][A-Za-z0-9_]*[ \t]*;")
  foreach(line ${declarations})
    string(REGEX REPLACE "^[ \t]*(class|struct)[ \t]+([A-Za-z_][A-Za-z0-9_]*).*$" "\\2" type "${line}")
    if(NOT DEFINED defined_in_${type})
      continue() # a type of Qt or another library
    endif()
    set(reachable FALSE)
    set(owners "")
    foreach(owner ${defined_in_${type}})
      may_include("${file}" "${from}" "${owner}" "" ok)
      if(ok)
        set(reachable TRUE)
      endif()
      string(APPEND owners " ${owner}/")
    endforeach()
    if(NOT reachable)
      string(STRIP "${line}" line)
      string(APPEND offences "  ${file}: ${line} (${from}/ may not name a type of${owners})\n")
    endif()
  endforeach()
endforeach()

if(offences)
  message(FATAL_ERROR "Includes against the folder order core <- link <- device <- access <- config <- report <- registry, telemetry <- app, cli:\n${offences}")
endif()
message(STATUS "Include order kept in ${files_checked} files")

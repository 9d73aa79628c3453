# Checks that the source folders depend on each other one way only:
#   core <- link <- device <- access <- config <- report <- app, cli, telemetry
# A file may include its own folder and the folders before it; nothing
# outside app/ includes app/, nothing outside cli/ includes cli/; telemetry/
# (the MQTT publishing) is included by cli/ alone, and includes neither app/
# nor cli/; the
# simulator uses only the framing of link/ (it plays the relay and keeps its
# own register numbers) and the program version of core/ (it ships with the
# other programs); the about box stands alone, and only the window
# knows its export. The fuzz targets are a leaf: they may include every
# folder, and nothing includes them.
#
#   cmake -DSOURCE_DIR=<tree> -P CheckIncludeOrder.cmake
# Fails, listing every offending line, when a file breaks the order.

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "CheckIncludeOrder: SOURCE_DIR not given")
endif()

set(ranked core link device access config report app cli telemetry)
set(rank_core 0)
set(rank_link 1)
set(rank_device 2)
set(rank_access 3)
set(rank_config 4)
set(rank_report 5)
set(rank_app 6)
set(rank_cli 6)
set(rank_telemetry 6)
set(project_folders ${ranked} sim about fuzz)

function(allowed from to path result)
  set(ok FALSE)
  if(from STREQUAL to)
    set(ok TRUE)
  elseif(from STREQUAL "fuzz")
    set(ok TRUE)
  elseif(to STREQUAL "fuzz")
    set(ok FALSE)
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
  elseif(to STREQUAL "app" OR to STREQUAL "cli" OR to STREQUAL "sim" OR to STREQUAL "about")
    set(ok FALSE)
  elseif(NOT rank_${to} GREATER rank_${from})
    set(ok TRUE)
  endif()
  set(${result} ${ok} PARENT_SCOPE)
endfunction()

set(offences "")
set(files_checked 0)
foreach(folder ${project_folders})
  file(GLOB_RECURSE sources "${SOURCE_DIR}/${folder}/*.h" "${SOURCE_DIR}/${folder}/*.cpp")
  foreach(source ${sources})
    math(EXPR files_checked "${files_checked} + 1")
    file(STRINGS "${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line ${lines})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*$" "\\1" included "${line}")
      string(REGEX MATCH "^([^/]+)/" prefix "${included}")
      if(NOT prefix)
        continue() # a header beside the file, or generated
      endif()
      string(REGEX REPLACE "/$" "" to "${prefix}")
      list(FIND project_folders "${to}" known)
      if(known LESS 0)
        continue()
      endif()
      allowed("${folder}" "${to}" "${included}" ok)
      if(NOT ok)
        file(RELATIVE_PATH shown "${SOURCE_DIR}" "${source}")
        string(APPEND offences "  ${shown}: #include \"${included}\" (${folder}/ may not depend on ${to}/)\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(offences)
  message(FATAL_ERROR "Includes against the folder order core <- link <- device <- access <- config <- report <- app, cli, telemetry:\n${offences}")
endif()
message(STATUS "Include order kept in ${files_checked} files")

# One library per source folder, each linking only the folders below it:
#   core <- link <- device <- access <- config <- report <- the window, mivctl
# (telemetry/ above report/, beside mivctl; sim/ on link/'s framing).
#
# miv_layer(NAME [OPERATION] LINKS item... SOURCES file...)
#   The static library NAME of the calling folder: its SOURCES, LINKS linked
#   publicly (the layer right below, and the Qt modules it needs). OPERATION
#   puts it among the operations that the window and mivctl both link
#   (miv_operations). A new layer is its folder's CMakeLists.txt with this one
#   call, and its add_subdirectory in the top CMakeLists.txt.
#
# miv_publish_folder(TARGET)
#   TARGET publishes an include folder that holds its own source folder alone,
#   as FOLDER/Name.h (one forwarding header per header of the folder, made at
#   configure time and again when a header comes or goes). So a target sees
#   the headers of the layers it links and no other, and the compiler and the
#   linker keep the order that cmake/CheckIncludeOrder.cmake checks.

add_library(miv_operations INTERFACE)

function(miv_publish_folder target)
  cmake_path(GET CMAKE_CURRENT_SOURCE_DIR FILENAME folder)
  set(root ${CMAKE_BINARY_DIR}/layers/${folder})
  file(GLOB headers CONFIGURE_DEPENDS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
       ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  foreach(header ${headers})
    # Written only when it changes, so that a new configure rebuilds nothing.
    file(CONFIGURE OUTPUT ${root}/${folder}/${header}
         CONTENT "#include \"${CMAKE_CURRENT_SOURCE_DIR}/${header}\"\n" @ONLY)
  endforeach()
  file(GLOB forwarders RELATIVE ${root}/${folder} ${root}/${folder}/*.h)
  foreach(forwarder ${forwarders})
    if(NOT forwarder IN_LIST headers)
      file(REMOVE ${root}/${folder}/${forwarder})
    endif()
  endforeach()
  target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${root}>)
endfunction()

function(miv_layer name)
  cmake_parse_arguments(ARG "OPERATION" "" "LINKS;SOURCES" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_link_libraries(${name} PUBLIC ${ARG_LINKS})
  miv_publish_folder(${name})
  miv_warnings(${name})
  if(ARG_OPERATION)
    target_link_libraries(miv_operations INTERFACE ${name})
  endif()
endfunction()

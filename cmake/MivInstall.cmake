# What `cmake --install` puts where, under the prefix (GNU layout):
#
#   bin/                              mivconf, mivctl, mivsim
#   lib/<multiarch>/mivconf/          the about library (Windows: bin/, beside the programs)
#   share/applications/mivconf.desktop  the menu entry of the window
#   share/icons/hicolor/scalable/apps/mivconf.svg  its icon
#   share/man/man1/                   mivctl.1, mivsim.1
#   share/doc/mivconf/                README.md, copyright
#
# The programs find the about library from their own folder
# (core/ProgramFolders.cpp), so an installed tree works wherever it lies. A
# program in the bin folder of the prefix it was built for keeps "front.ini"
# and the audit log in the user's folders; see the README.

install(TARGETS mivconf mivctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET mivsim)
  install(TARGETS mivsim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(TARGETS about
  LIBRARY DESTINATION ${MIV_ABOUT_INSTALL_DIR}
  RUNTIME DESTINATION ${MIV_ABOUT_INSTALL_DIR})

# The manual pages carry the version in their header.
if(UNIX)
  foreach(page mivctl.1 mivsim.1)
    configure_file(${CMAKE_SOURCE_DIR}/docs/man/${page}.in ${CMAKE_BINARY_DIR}/man/${page} @ONLY)
    install(FILES ${CMAKE_BINARY_DIR}/man/${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
endif()

# The desktop's menu entry and icon (freedesktop.org desktops).
if(UNIX AND NOT APPLE)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/mivconf.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/mivconf.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/packaging/copyright
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

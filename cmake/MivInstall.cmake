# What `cmake --install` puts where, under the prefix (GNU layout), and the
# component, that is the Debian package (cmake/MivPackage.cmake), it goes to:
#
#   window (mivconf):
#     bin/mivconf
#     lib/<multiarch>/mivconf/        the about library and sheetpdf, the settings
#                                     sheet's PDF for mivctl (Windows: bin/, beside the programs)
#     share/applications/mivconf.desktop  the menu entry of the window
#     share/icons/hicolor/scalable/apps/mivconf.svg  its icon
#     share/metainfo/<id>.metainfo.xml    the window in software centres (AppStream)
#     share/man/man1/mivconf.1.gz
#     share/doc/mivconf/              README.md, copyright (and the package's changelog.gz),
#                                     the operator's manual with its pictures (also compiled
#                                     into the window, which needs no file of them)
#   cli (mivctl):
#     bin/mivctl, bin/mivsim
#     share/man/man1/mivctl.1.gz, mivsim.1.gz
#     lib/systemd/system/mivctl-publish@.service  `mivctl publish` for a line
#     lib/sysusers.d/mivctl.conf      its system user
#     share/doc/mivctl/               README.md, copyright, examples/line.conf (and changelog.gz)
#
# The programs find the about library and sheetpdf from their own folder
# (core/ProgramFolders.cpp), so an installed tree works wherever it lies. A
# program in the bin folder of the prefix it was built for keeps "front.ini"
# and the audit log in the user's folders; see the README.

set(MIV_APPSTREAM_ID org.mivconf.mivconf)

# The release date of the version: the date of the changelog's newest entry
# (its first " -- NAME  DAY, DD MON YYYY ..." line), shown by the manual pages
# and the AppStream release.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog)
file(STRINGS ${CMAKE_SOURCE_DIR}/packaging/changelog miv_trailer REGEX "^ -- " LIMIT_COUNT 1)
if(NOT miv_trailer MATCHES ", ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
  message(FATAL_ERROR "packaging/changelog: no date in the newest entry's last line")
endif()
set(miv_months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND miv_months ${CMAKE_MATCH_2} miv_month)
math(EXPR miv_month "${miv_month} + 1" OUTPUT_FORMAT DECIMAL)
if(miv_month LESS 10)
  set(miv_month 0${miv_month})
endif()
set(MIV_RELEASE_DATE ${CMAKE_MATCH_3}-${miv_month}-${CMAKE_MATCH_1})

install(TARGETS mivconf RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT window)
install(TARGETS about sheetpdf
  LIBRARY DESTINATION ${MIV_ABOUT_INSTALL_DIR} COMPONENT window
  RUNTIME DESTINATION ${MIV_ABOUT_INSTALL_DIR} COMPONENT window)
install(TARGETS mivctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT cli)
if(TARGET mivsim)
  install(TARGETS mivsim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT cli)
endif()

# A stripped install (the package's) also drops the .comment sections, the
# compiler's name that every object file carries, as Debian's own packages do.
function(miv_drop_comments component)
  if(NOT (UNIX AND NOT APPLE AND CMAKE_OBJCOPY))
    return()
  endif()
  install(CODE "
if(CMAKE_INSTALL_DO_STRIP)
  foreach(file ${ARGN})
    execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment --remove-section=.note
      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${file}\" COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
endif()" COMPONENT ${component})
endfunction()
miv_drop_comments(window ${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:mivconf>
  ${MIV_ABOUT_INSTALL_DIR}/$<TARGET_FILE_NAME:about> ${MIV_ABOUT_INSTALL_DIR}/$<TARGET_FILE_NAME:sheetpdf>)
miv_drop_comments(cli ${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:mivctl>
  ${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:mivsim>)

if(UNIX)
  # The manual pages, with the version and the release date in their header,
  # installed gzipped (gzip -n: no name or time inside, the same bytes every build).
  set(miv_man_pages mivconf.1:window mivctl.1:cli mivsim.1:cli)
  set(miv_man_outputs)
  foreach(entry IN LISTS miv_man_pages)
    string(REPLACE ":" ";" entry ${entry})
    list(GET entry 0 page)
    list(GET entry 1 component)
    configure_file(${CMAKE_SOURCE_DIR}/docs/man/${page}.in ${CMAKE_BINARY_DIR}/man/${page} @ONLY)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.gz
      COMMAND gzip -9nc ${page} > ${page}.gz
      DEPENDS ${CMAKE_BINARY_DIR}/man/${page}
      WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/man VERBATIM)
    list(APPEND miv_man_outputs ${CMAKE_BINARY_DIR}/man/${page}.gz)
    install(FILES ${CMAKE_BINARY_DIR}/man/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
      COMPONENT ${component})
  endforeach()
  add_custom_target(man_pages ALL DEPENDS ${miv_man_outputs})
endif()

if(UNIX AND NOT APPLE)
  # The desktop's menu entry, icon and AppStream metadata (freedesktop.org desktops).
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/mivconf.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT window)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/mivconf.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT window)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/mivconf.metainfo.xml.in
    ${CMAKE_BINARY_DIR}/packaging/${MIV_APPSTREAM_ID}.metainfo.xml @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/${MIV_APPSTREAM_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT window)

  # `mivctl publish` as a service per line, its system user and an example
  # of a line's settings.
  configure_file(${CMAKE_SOURCE_DIR}/packaging/mivctl-publish@.service.in
    ${CMAKE_BINARY_DIR}/packaging/mivctl-publish@.service @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/mivctl-publish@.service
    DESTINATION lib/systemd/system COMPONENT cli)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/mivctl.sysusers RENAME mivctl.conf
    DESTINATION lib/sysusers.d COMPONENT cli)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/line.conf
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/mivctl/examples COMPONENT cli)
endif()

# Each package's own documentation folder; the changelog, whose last line
# names the package's maker, is written by cpack (cmake/MivChangelog.cmake)
# and so lies only in a package.
foreach(package IN ITEMS mivconf:window mivctl:cli)
  string(REPLACE ":" ";" package ${package})
  list(GET package 0 name)
  list(GET package 1 component)
  install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/packaging/copyright
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${name} COMPONENT ${component})
  install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz OPTIONAL
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${name} COMPONENT ${component})
endforeach()
# The operator's manual beside its pictures, as in docs/, so that its links hold there too.
file(GLOB miv_manual_pictures ${CMAKE_SOURCE_DIR}/docs/window-*.png)
install(FILES ${CMAKE_SOURCE_DIR}/docs/operator-manual.ru.md ${miv_manual_pictures}
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/mivconf COMPONENT window)

# The Debian packages, made by CPack from the install rules' components
# (cmake/MivInstall.cmake):
#   mivconf   the window (component window), with the about library and
#             sheetpdf, the library that draws mivctl's PDFs
#   mivctl    mivctl and mivsim (component cli), which pull no graphics, X11
#             or widget libraries, and the systemd unit of `mivctl publish`
#   cpack -G DEB          in a configured and built build folder
#   scripts/package       builds a folder of its own for /usr, with Debian's
#                         hardening flags, runs it and lintian
# The dependencies are computed from the programs by dpkg-shlibdeps; what
# the window loads at run time without linking it is named by hand.

if(NOT (UNIX AND NOT APPLE))
  return()
endif()

# The maintainer is whoever makes the package: scripts/package passes it to
# cpack (from DEBFULLNAME and DEBEMAIL, or git's user); for cpack by hand
# set it here or give `cpack -D CPACK_DEBIAN_PACKAGE_MAINTAINER="Name <address>"`.
set(MIV_PACKAGE_MAINTAINER "" CACHE STRING "Maintainer of the Debian package, \"Name <address>\"")

set(CPACK_PACKAGE_NAME mivconf)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
if(MIV_PACKAGE_MAINTAINER)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${MIV_PACKAGE_MAINTAINER})
endif()
set(CPACK_DEBIAN_PACKAGE_SOURCE mivconf)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The private folder of the about library and sheetpdf is no public library folder.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_INSTALL_FULL_LIBDIR}/mivconf)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL window cli)

# Each description's first line is the summary; a line of the rest holds at
# most 79 characters, so that with the space the control file puts before it
# it stays within 80.
set(CPACK_DEBIAN_WINDOW_PACKAGE_NAME mivconf)
set(CPACK_DEBIAN_WINDOW_DESCRIPTION
"configurator and monitor for МИВ-04 and МИВ-06 motor-protection relays
mivconf connects a PC to the RS-485 line of МИВ-04 and МИВ-06 motor-protection
relays through a serial port or a serial-to-Ethernet gateway. It scans the
line, identifies a relay, shows its live values, lamps and trend, starts and
stops the motor, reads the event journal into a grid and an Excel 97 report,
and reads, edits and writes the protection settings behind the relay's
password, keeping every write in an audit log.
.
The package holds the window (in Russian), its about box and the library
that draws the settings sheet's PDF for mivctl. The same operations from a
shell and the relay simulator are in the package mivctl.")
# Loaded by Qt at run time, so dpkg-shlibdeps cannot see them: the X11
# platform plugin comes with libqt6gui6, which the window links; Wayland's
# is qt6-wayland, and Qt's Russian translation of its own dialogs is
# qt6-translations-l10n.
# The relay register's SQLite driver is loaded at run time too, and so is
# the PostgreSQL driver of a register that several seats share.
set(CPACK_DEBIAN_WINDOW_PACKAGE_DEPENDS "libqt6sql6-sqlite")
set(CPACK_DEBIAN_WINDOW_PACKAGE_RECOMMENDS "qt6-wayland, qt6-translations-l10n, libqt6sql6-psql")
set(CPACK_DEBIAN_WINDOW_PACKAGE_SUGGESTS "mivctl")

set(CPACK_DEBIAN_CLI_PACKAGE_NAME mivctl)
set(CPACK_DEBIAN_CLI_DESCRIPTION
"МИВ-04 and МИВ-06 motor-protection relays from a shell, and a simulator
mivctl does from a shell what the configurator window mivconf does with the
RS-485 line of МИВ-04 and МИВ-06 motor-protection relays: it scans the line,
identifies a relay, reads its live values and journal, sends it commands,
reads and writes its protection settings behind its password and keeps them
in settings files. `mivctl publish` sends the line's values and journals to
an MQTT broker, as the systemd service mivctl-publish@LINE.
.
mivsim serves a simulated line of relays on a pseudo-terminal or over TCP.
.
The package needs no graphics, X11 or widget libraries, so it suits a
headless gateway; a settings sheet as PDF needs the library of the package
mivconf.")
# The system user of the publisher's unit is made by systemd-sysusers when
# the package is set up, so a tool of that name comes first, as Debian's
# helpers have it: systemd's, or the standalone one of a system without it.
set(CPACK_DEBIAN_CLI_PACKAGE_DEPENDS
  "libqt6sql6-sqlite, systemd | systemd-standalone-sysusers | systemd-sysusers")
set(CPACK_DEBIAN_CLI_PACKAGE_RECOMMENDS "libqt6sql6-psql")
set(CPACK_DEBIAN_CLI_PACKAGE_SUGGESTS "mivconf")
set(CPACK_DEBIAN_CLI_PACKAGE_CONTROL_EXTRA
  ${CMAKE_SOURCE_DIR}/packaging/mivctl/postinst ${CMAKE_SOURCE_DIR}/packaging/mivctl/prerm
  ${CMAKE_SOURCE_DIR}/packaging/mivctl/postrm)

# The changelog, its last lines naming the maintainer given to cpack, is
# written when cpack starts (cmake/MivChangelog.cmake).
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/cmake/MivChangelog.cmake)
set(CPACK_MIV_CHANGELOG ${CMAKE_SOURCE_DIR}/packaging/changelog)
set(CPACK_MIV_CHANGELOG_GZ ${CMAKE_BINARY_DIR}/packaging/changelog.gz)

# The packages install where the programs were built to look: the prefix of
# this build (scripts/package builds for /usr).
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)

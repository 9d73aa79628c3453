# The Debian package, made by CPack from the install rules (cmake/MivInstall.cmake):
#   cpack -G DEB          in a configured and built build folder
#   scripts/package       builds a folder of its own for /usr and runs it
# The dependencies are computed from the programs by dpkg-shlibdeps; what
# the programs load at run time without linking it is named by hand.

if(NOT (UNIX AND NOT APPLE))
  return()
endif()

# The maintainer is whoever makes the package: scripts/package passes it to
# cpack (from DEBFULLNAME and DEBEMAIL, or git's user); for cpack by hand
# set it here or give `cpack -D CPACK_DEBIAN_PACKAGE_MAINTAINER="Name <address>"`.
set(MIV_PACKAGE_MAINTAINER "" CACHE STRING "Maintainer of the Debian package, \"Name <address>\"")

set(CPACK_PACKAGE_NAME mivconf)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "configurator and monitor for the МИВ-04 and МИВ-06 motor-protection relays")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"mivconf connects a PC to the RS-485 line of МИВ-04 and МИВ-06 motor-protection
relays through a serial port or a serial-to-Ethernet gateway. It scans the line,
identifies a relay, shows its live values and lamps, starts and stops the motor,
reads the event journal into a grid and an Excel 97 report, and reads, edits and
writes the protection settings behind the relay's password, keeping every write
in an audit log.
.
The package holds the window (mivconf, Russian), the same operations from a
shell (mivctl) and a simulated line of relays on a pseudo-terminal (mivsim).")
if(MIV_PACKAGE_MAINTAINER)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${MIV_PACKAGE_MAINTAINER})
endif()
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The private folder of the about library is no public library folder.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_INSTALL_FULL_LIBDIR}/mivconf)
# Loaded by Qt at run time, so dpkg-shlibdeps cannot see them: the window's
# platform plugins (X11, Wayland), the relay register's SQLite driver, Qt's
# Russian translation of its dialogs and the PostgreSQL driver of a shared
# register.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, libqt6sql6-psql")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The package installs where the programs were built to look: the prefix of
# this build (scripts/package builds for /usr).
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)

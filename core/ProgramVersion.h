#pragma once

#include <QString>

namespace miv {

// The program's version, set in one place: project(... VERSION ...) of the
// top CMakeLists.txt. The window's about box and title, `--version` of every
// program and the Debian package all show it.
QString programVersion();

// Prints "PROGRAM VERSION" on standard output and returns true when the first
// argument is "--version". Called before the application object exists, so
// that it answers without a display and without touching any port or file.
bool printVersionWhenAsked(int argc, char *argv[], const char *programName);

// What `mivconf --help` prints: the window's options.
QString windowUsage();

// Prints `usage` on standard output and returns true when an argument is
// "--help" or "-h"; like printVersionWhenAsked, before any window or port.
bool printHelpWhenAsked(int argc, char *argv[], const QString &usage);

} // namespace miv

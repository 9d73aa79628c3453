#pragma once

#include <QString>
#include <QStringList>

class QLibrary;

namespace miv {

// Where the window and mivctl keep their own files: "front.ini" (the port
// settings) and the audit log. One decision serves both programs, so that
// they always share the same files.
//
// A program runs installed when it lies in the bin folder of the prefix it
// was built for (/usr/bin for the Debian package, <prefix>/bin after
// `cmake --install`) and no "front.ini" stands beside it: its files are then
// the user's own, in the user's configuration and data folders. Anywhere else
// (the build tree, a copied folder, an unpacked package) it runs portable,
// with both files beside the program. A "front.ini" beside an installed
// program keeps it portable, so that settings kept there are never left behind.
struct ProgramFolders
{
    bool installed = false;
    QString settingsFolder; // holds "front.ini"
    QString dataFolder; // holds the audit log
};

// What the decision is made from.
struct ProgramPlace
{
    QString programFolder; // the folder of the running program file
    QString installedBinFolder; // the bin folder of the prefix the program was built for
    QString userSettingsFolder; // the user's configuration folder for the program
    QString userDataFolder; // the user's data folder for the program
};

ProgramFolders decideProgramFolders(const ProgramPlace &place);

// The place of the running program (its QCoreApplication must exist): the
// user's folders are "mivconf" under the user's configuration and data
// folders (Linux ~/.config/mivconf and ~/.local/share/mivconf, Windows
// %LOCALAPPDATA%\mivconf), whichever program asks.
ProgramPlace runningProgramPlace();
ProgramFolders programFolders();

// Where a library of the program's own may lie (the about library "about",
// the settings sheet's PDF "sheetpdf"), in the order tried: beside the
// program (the build tree, a portable copy, Windows), then the installed
// library folder (<prefix>/lib/<multiarch>/mivconf) reached from the
// program's own folder, so that an installed tree moved elsewhere still
// finds it. Each is a path without the platform's "lib" and ".so" or ".dll",
// as QLibrary takes it.
QStringList programLibraryCandidates(const QString &programFolder, const QString &name);

// Loads the first candidate that loads; false when none did (nothing is then
// loaded, and the library's error string tells why the last candidate failed).
bool loadProgramLibrary(QLibrary &library, const QString &programFolder, const QString &name);

// The same for the about library.
QStringList aboutLibraryCandidates(const QString &programFolder);
bool loadAboutLibrary(QLibrary &library, const QString &programFolder);

} // namespace miv

#pragma once

#include "link/PortSettings.h"

#include <QString>
#include <QStringList>

namespace miv {

// "front.ini", the program's own settings file: beside the program file (the
// build tree's bin/, a copied folder) or, for an installed program, in the
// user's configuration folder; programFolders() decides, the same way for the
// window and mivctl. The overloads with a path are for tests and tools that
// keep it elsewhere.
QString frontIniPath();

// Reads section "p" over `settings`: a missing file or key keeps the values
// already there. False (with error) only when the file exists but cannot be
// read or is no settings file (see IniFile::load); `settings` is then as it
// was. `notices`, when given, gets what the operator should know about a file
// that was read (keys that appear twice).
bool loadPortSettings(PortSettings &settings, QString *error = nullptr);
bool loadPortSettings(const QString &path, PortSettings &settings, QString *error = nullptr,
                      QStringList *notices = nullptr);

// Writes section "p", keeping every other line of the file; a missing folder
// (the user's configuration folder before the first store) is made. False
// (with error) when the file cannot be read or replaced; the earlier file then stays.
bool storePortSettings(const PortSettings &settings, QString *error = nullptr);
bool storePortSettings(const QString &path, const PortSettings &settings, QString *error = nullptr);

// The folder the file dialogs opened or saved in last (section "files", key
// "LastFolder"), so that the next dialog starts there; empty when none is
// kept or it is gone. Storing keeps every other line and, like the port
// settings, never overwrites a "front.ini" that cannot be read.
QString lastFileFolder(const QString &frontIni);
bool storeLastFileFolder(const QString &frontIni, const QString &folder, QString *error = nullptr);

} // namespace miv

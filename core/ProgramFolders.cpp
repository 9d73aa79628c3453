#include "core/ProgramFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QStandardPaths>

// Both come from CMake for this file alone (see core/CMakeLists.txt).
#ifndef MIV_INSTALLED_BIN_FOLDER
#  error "MIV_INSTALLED_BIN_FOLDER must be defined by the build"
#endif
#ifndef MIV_ABOUT_FOLDER_FROM_BIN
#  error "MIV_ABOUT_FOLDER_FROM_BIN must be defined by the build"
#endif

namespace miv {

namespace {

const QString userFolderName = QStringLiteral("mivconf");
const QString aboutLibraryName = QStringLiteral("about");

// The folder as the file system resolves it (links followed), so that
// /bin/mivctl on a system where /bin links to /usr/bin counts as /usr/bin.
QString resolvedFolder(const QString &folder)
{
    const QFileInfo info(folder);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

bool sameFolder(const QString &first, const QString &second)
{
#ifdef Q_OS_WIN
    constexpr Qt::CaseSensitivity sensitivity = Qt::CaseInsensitive;
#else
    constexpr Qt::CaseSensitivity sensitivity = Qt::CaseSensitive;
#endif
    return !first.isEmpty() && !second.isEmpty()
            && resolvedFolder(first).compare(resolvedFolder(second), sensitivity) == 0;
}

} // namespace

ProgramFolders decideProgramFolders(const ProgramPlace &place)
{
    const bool frontIniBeside =
            QFileInfo::exists(QDir(place.programFolder).filePath(QStringLiteral("front.ini")));
    ProgramFolders folders;
    folders.installed =
            sameFolder(place.programFolder, place.installedBinFolder) && !frontIniBeside;
    const QString beside = QDir::cleanPath(place.programFolder);
    folders.settingsFolder = folders.installed ? place.userSettingsFolder : beside;
    folders.dataFolder = folders.installed ? place.userDataFolder : beside;
    return folders;
}

ProgramPlace runningProgramPlace()
{
    ProgramPlace place;
    place.programFolder = QCoreApplication::applicationDirPath();
    place.installedBinFolder = QStringLiteral(MIV_INSTALLED_BIN_FOLDER);
    place.userSettingsFolder =
            QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
                    .filePath(userFolderName);
    place.userDataFolder =
            QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
                    .filePath(userFolderName);
    return place;
}

ProgramFolders programFolders()
{
    return decideProgramFolders(runningProgramPlace());
}

QStringList programLibraryCandidates(const QString &programFolder, const QString &name)
{
    const QDir folder(programFolder);
    QStringList candidates{QDir::cleanPath(folder.filePath(name))};
    const QString installed = QDir::cleanPath(
            folder.filePath(QStringLiteral(MIV_ABOUT_FOLDER_FROM_BIN) + u'/' + name));
    if (!candidates.contains(installed))
        candidates << installed;
    return candidates;
}

bool loadProgramLibrary(QLibrary &library, const QString &programFolder, const QString &name)
{
    for (const QString &candidate : programLibraryCandidates(programFolder, name)) {
        library.setFileName(candidate);
        if (library.load())
            return true;
    }
    return false;
}

QStringList aboutLibraryCandidates(const QString &programFolder)
{
    return programLibraryCandidates(programFolder, aboutLibraryName);
}

bool loadAboutLibrary(QLibrary &library, const QString &programFolder)
{
    return loadProgramLibrary(library, programFolder, aboutLibraryName);
}

} // namespace miv

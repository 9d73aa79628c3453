#include "link/FrontIni.h"

#include "core/ProgramFolders.h"
#include "link/IniFile.h"

#include <QDir>
#include <QFileInfo>

namespace miv {

QString frontIniPath()
{
    return QDir(programFolders().settingsFolder).filePath(QStringLiteral("front.ini"));
}

bool loadPortSettings(PortSettings &settings, QString *error)
{
    return loadPortSettings(frontIniPath(), settings, error);
}

bool loadPortSettings(const QString &path, PortSettings &settings, QString *error,
                      QStringList *notices)
{
    IniFile file(path);
    if (!file.load(error))
        return false;
    settings.loadFrom(file);
    if (notices)
        *notices = file.notices();
    return true;
}

bool storePortSettings(const PortSettings &settings, QString *error)
{
    return storePortSettings(frontIniPath(), settings, error);
}

bool storePortSettings(const QString &path, const PortSettings &settings, QString *error)
{
    IniFile file(path);
    // A file that cannot be read is not overwritten: its other lines would be lost.
    if (!file.load(error))
        return false;
    QDir().mkpath(QFileInfo(path).absolutePath());
    settings.storeTo(file);
    return file.save(error);
}

namespace {

const QString filesSection = QStringLiteral("files");
const QString lastFolderKey = QStringLiteral("LastFolder");

} // namespace

QString lastFileFolder(const QString &frontIni)
{
    IniFile file(frontIni);
    if (!file.load())
        return {};
    const QString folder = file.value(filesSection, lastFolderKey);
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

bool storeLastFileFolder(const QString &frontIni, const QString &folder, QString *error)
{
    IniFile file(frontIni);
    if (!file.load(error))
        return false;
    if (file.value(filesSection, lastFolderKey) == folder)
        return true;
    QDir().mkpath(QFileInfo(frontIni).absolutePath());
    file.setValue(filesSection, lastFolderKey, folder);
    return file.save(error);
}

} // namespace miv

#include "core/FileErrorReason.h"

#include <cerrno>
#include <QDir>
#include <QFileDevice>
#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>

#ifdef Q_OS_WIN
#  include <windows.h>
#endif

namespace miv {

namespace {

const QString noPermission = QStringLiteral("нет прав доступа");
const QString noFolder = QStringLiteral("нет такой папки");
const QString noFile = QStringLiteral("нет такого файла");
const QString diskFull = QStringLiteral("на диске нет места");
const QString inUse = QStringLiteral("файл занят другой программой");
const QString readOnlyDisk = QStringLiteral("диск только для чтения");
const QString readOnlyFile = QStringLiteral("файл только для чтения");
const QString isFolder = QStringLiteral("это папка");

// Less than this left on a disk reads as a full disk: a database's next write
// (a page, its log, its shared memory) takes some tens of kilobytes.
constexpr qint64 nearlyFullBytes = 1024 * 1024;

bool folderOfFileExists(const QString &path)
{
    return QFileInfo(path).absoluteDir().exists();
}

} // namespace

int lastSystemError()
{
#ifdef Q_OS_WIN
    return int(GetLastError());
#else
    return errno;
#endif
}

std::optional<QString> commonFileErrorReason(int systemError, bool folderExists)
{
    switch (systemError) {
#ifdef Q_OS_WIN
    case ERROR_ACCESS_DENIED:
        return noPermission;
    case ERROR_FILE_NOT_FOUND:
        return folderExists ? noFile : noFolder;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
        return noFolder;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return diskFull;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
        return inUse;
    case ERROR_WRITE_PROTECT:
        return readOnlyDisk;
#else
    case EACCES:
    case EPERM:
        return noPermission;
    case ENOENT:
        return folderExists ? noFile : noFolder;
    case ENOTDIR: // a part of the path is a file
        return noFolder;
    case ENOSPC:
#  ifdef EDQUOT
    case EDQUOT:
#  endif
        return diskFull;
    case EBUSY:
#  ifdef ETXTBSY
    case ETXTBSY:
#  endif
        return inUse;
    case EROFS:
        return readOnlyDisk;
#endif
    default:
        return std::nullopt;
    }
}

QString fileErrorReason(const QFileDevice &file, int systemError)
{
    const QString own = file.errorString();
    const QString system = qt_error_string(systemError);
    if (systemError != 0 && !system.isEmpty() && own.endsWith(system))
        return commonFileErrorReason(systemError, folderOfFileExists(file.fileName()))
                .value_or(own);
    // QSaveFile refuses a file that may not be written before asking the system.
    const QFileInfo info(file.fileName());
    if (qobject_cast<const QSaveFile *>(&file) && info.exists() && !info.isWritable())
        return readOnlyFile;
    // Failures Qt found by itself, in its own English: told in Russian from
    // what the name leads to.
    if (info.isDir())
        return isFolder;
    if (!info.exists() && !info.isSymLink())
        return folderOfFileExists(file.fileName()) ? noFile : noFolder;
    return own;
}

QString folderErrorReason(const QString &path, int systemError)
{
    if (const std::optional<QString> common =
                commonFileErrorReason(systemError, folderOfFileExists(path)))
        return *common;
    const QString system = qt_error_string(systemError);
    return system.isEmpty() ? QStringLiteral("причина неизвестна") : system;
}

std::optional<QString> writeBlockedReason(const QString &path)
{
    const QFileInfo file(path);
    const QString folder = file.absolutePath();
    const QStorageInfo disk(folder);
    if (disk.isValid() && disk.isReadOnly())
        return readOnlyDisk;
    if (file.exists() && !file.isWritable())
        return readOnlyFile;
    if (QFileInfo::exists(folder) && !QFileInfo(folder).isWritable())
        return noPermission;
    if (disk.isValid() && disk.bytesAvailable() < nearlyFullBytes)
        return diskFull;
    return std::nullopt;
}

} // namespace miv

#include "core/FileReplacement.h"

#include "core/FileErrorReason.h"
#include "core/SameFile.h"

#include <cerrno>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#  include <fcntl.h>
#  include <sys/stat.h>
#  include <unistd.h>
#endif

namespace miv {

namespace {

const QString isFolder = QStringLiteral("это папка");
const QString notRegular = QStringLiteral("это не обычный файл, не устройство и не канал");
const QString readOnlyFile = QStringLiteral("файл только для чтения");

bool folderOfFileExists(const QString &path)
{
    return QFileInfo(path).absoluteDir().exists();
}

// The system's reason in Russian where it is a common one.
QString systemReason(const QString &path, int systemError)
{
    return commonFileErrorReason(systemError, folderOfFileExists(path))
            .value_or(qt_error_string(systemError));
}

#ifdef Q_OS_UNIX

bool writeAll(int descriptor, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(descriptor, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        left -= written;
    }
    return true;
}

// A device or a FIFO: its reader (or the device) takes the bytes as they come.
bool writeDirectly(const QString &path, const QByteArray &bytes, QString *error)
{
    int descriptor = -1;
    do
        descriptor = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC);
    while (descriptor < 0 && errno == EINTR);
    bool written = descriptor >= 0 && writeAll(descriptor, bytes);
    const int systemError = errno;
    if (descriptor >= 0 && ::close(descriptor) != 0 && written)
        written = false;
    if (!written && error)
        *error = fileWriteError(path, systemReason(path, systemError));
    return written;
}

mode_t userMask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// A regular file through a temporary beside it that takes its name when
// complete; the earlier file's owner, group and mode go over to it.
bool replaceRegular(const QString &path, const QString &target, const QByteArray &bytes,
                    QString *error)
{
    const QByteArray targetName = QFile::encodeName(target);
    struct stat earlier
    { };
    const bool existed = ::stat(targetName.constData(), &earlier) == 0;
    const auto fail = [&](int systemError, const QString &reason = {}) {
        if (error)
            *error = fileWriteError(path,
                                    reason.isEmpty() ? systemReason(target, systemError) : reason);
        return false;
    };
    // As before: a file its owner made read-only is not replaced behind his back.
    if (existed && ::access(targetName.constData(), W_OK) != 0 && errno == EACCES)
        return fail(EACCES, readOnlyFile);

    QByteArray temporaryName = targetName + ".XXXXXX";
    const int descriptor = ::mkstemp(temporaryName.data());
    if (descriptor < 0)
        return fail(errno);
    bool done = writeAll(descriptor, bytes) && ::fsync(descriptor) == 0;
    int systemError = errno;
    if (done) {
        if (existed) {
            // Only the superuser may give a file away; a user may keep its
            // group when he belongs to it. What may not be kept is let go.
            if (::fchown(descriptor, earlier.st_uid, earlier.st_gid) != 0
                && ::fchown(descriptor, uid_t(-1), earlier.st_gid) != 0) {
                // Neither: the file becomes this user's, as a new one would.
            }
        }
        const mode_t mode = existed ? (earlier.st_mode & 07777) : (0666 & ~userMask());
        done = ::fchmod(descriptor, mode) == 0;
        systemError = errno;
    }
    if (::close(descriptor) != 0 && done) {
        done = false;
        systemError = errno;
    }
    if (done && ::rename(temporaryName.constData(), targetName.constData()) != 0) {
        done = false;
        systemError = errno;
    }
    if (!done) {
        ::unlink(temporaryName.constData());
        return fail(systemError);
    }
    return true;
}

#else

bool replaceRegular(const QString &path, const QString &target, const QByteArray &bytes,
                    QString *error)
{
    QSaveFile file(target);
    file.setDirectWriteFallback(false);
    // The system's reason is taken right after the step that failed, before
    // anything else can change it (a full disk shows at the flush).
    const bool written = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()
            && file.flush() && file.commit();
    if (written)
        return true;
    const int systemError = lastSystemError();
    if (error)
        *error = fileWriteError(path, fileErrorReason(file, systemError));
    file.cancelWriting();
    return false;
}

#endif

} // namespace

QString fileWriteError(const QString &path, const QString &reason)
{
    return QStringLiteral("Не удалось записать файл %1: %2").arg(path, reason);
}

OutputWay outputWay(const QString &path, QString *reason)
{
    const auto refused = [reason](const QString &why) {
        if (reason)
            *reason = why;
        return OutputWay::Refused;
    };
#ifdef Q_OS_UNIX
    struct stat status
    { };
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return OutputWay::Replace; // made by the write (or its folder is missing: told then)
    if (S_ISREG(status.st_mode))
        return OutputWay::Replace;
    if (S_ISCHR(status.st_mode) || S_ISFIFO(status.st_mode))
        return OutputWay::Direct;
    if (S_ISDIR(status.st_mode))
        return refused(isFolder);
    return refused(notRegular);
#else
    const QFileInfo info(path);
    if (info.isDir())
        return refused(isFolder);
    return OutputWay::Replace;
#endif
}

std::optional<QString> outputProblem(const QString &path)
{
    QString reason;
    switch (outputWay(path, &reason)) {
    case OutputWay::Refused:
        return fileWriteError(path, reason);
    case OutputWay::Direct:
#ifdef Q_OS_UNIX
        if (::access(QFile::encodeName(path).constData(), W_OK) != 0)
            return fileWriteError(path, systemReason(path, errno));
#endif
        return std::nullopt;
    case OutputWay::Replace:
        break;
    }
    const QFileInfo target(followedName(path));
    const QFileInfo folder(target.absolutePath());
    if (!folder.exists() || !folder.isDir())
        return fileWriteError(path, commonFileErrorReason(ENOENT, false).value_or(QString()));
#ifdef Q_OS_UNIX
    if (::access(QFile::encodeName(folder.absoluteFilePath()).constData(), W_OK | X_OK) != 0)
        return fileWriteError(path, systemReason(path, errno));
    if (target.exists()
        && ::access(QFile::encodeName(target.absoluteFilePath()).constData(), W_OK) != 0
        && errno == EACCES)
        return fileWriteError(path, readOnlyFile);
#endif
    return std::nullopt;
}

bool replaceFile(const QString &path, const QByteArray &bytes, QString *error)
{
    QString reason;
    switch (outputWay(path, &reason)) {
    case OutputWay::Refused:
        if (error)
            *error = fileWriteError(path, reason);
        return false;
    case OutputWay::Direct:
#ifdef Q_OS_UNIX
        return writeDirectly(path, bytes, error);
#else
        break;
#endif
    case OutputWay::Replace:
        break;
    }
    return replaceRegular(path, followedName(path), bytes, error);
}

} // namespace miv

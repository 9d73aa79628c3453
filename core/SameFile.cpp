#include "core/SameFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#  include <sys/stat.h>
#endif

namespace miv {

namespace {

constexpr Qt::CaseSensitivity platformCase =
#if defined(Q_OS_WIN) || defined(Q_OS_DARWIN)
        Qt::CaseInsensitive;
#else
        Qt::CaseSensitive;
#endif

// The name as the system resolves it: an existing file by its canonical
// path; one still to be written by its folder's canonical path and its name.
QString resolvedName(const QString &name)
{
    const QFileInfo cleaned(QDir::cleanPath(QFileInfo(followedName(name)).absoluteFilePath()));
    const QString canonical = cleaned.canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    const QString folder = QFileInfo(cleaned.absolutePath()).canonicalFilePath();
    if (folder.isEmpty())
        return cleaned.absoluteFilePath();
    return QDir(folder).filePath(cleaned.fileName());
}

// Both exist and are one file on the disk, whatever their names.
bool sameExistingFile(const QString &first, const QString &second)
{
#ifdef Q_OS_UNIX
    struct stat a
    { };
    struct stat b
    { };
    return ::stat(QFile::encodeName(first).constData(), &a) == 0
            && ::stat(QFile::encodeName(second).constData(), &b) == 0 && a.st_dev == b.st_dev
            && a.st_ino == b.st_ino;
#else
    // Windows: the canonical names, compared without regard to case, said it.
    Q_UNUSED(first);
    Q_UNUSED(second);
    return false;
#endif
}

} // namespace

QString followedName(const QString &path)
{
    QString name = path;
    // As the system does, a chain of links is followed only so far.
    for (int link = 0; link < 40; ++link) {
        const QFileInfo info(name);
        if (!info.isSymLink())
            break;
        const QString target = info.symLinkTarget();
        if (target.isEmpty())
            break;
        name = target;
    }
    return name;
}

bool namesSameFile(const QString &first, const QString &second)
{
    if (resolvedName(first).compare(resolvedName(second), platformCase) == 0)
        return true;
    return sameExistingFile(first, second);
}

} // namespace miv

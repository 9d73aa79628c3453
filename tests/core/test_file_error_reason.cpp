#include "core/FileErrorReason.h"
#include "core/FileReplacement.h"
#include "support/Superuser.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#ifdef Q_OS_UNIX
#  include <fcntl.h>
#  include <sys/stat.h>
#  include <unistd.h>
#endif

#ifdef Q_OS_WIN
#  include <windows.h>
#endif

using namespace miv;

namespace {

TEST(FileErrorReason, theCommonReasonsInRussianTheRestLeftToTheSystem)
{
    const QString noFolder = QStringLiteral("нет такой папки");
    const struct
    {
        int systemError;
        bool folderExists;
        std::optional<QString> reason;
    } cases[] = {
#ifdef Q_OS_WIN
            {ERROR_ACCESS_DENIED, true, QStringLiteral("нет прав доступа")},
            {ERROR_FILE_NOT_FOUND, true, QStringLiteral("нет такого файла")},
            {ERROR_FILE_NOT_FOUND, false, noFolder},
            {ERROR_PATH_NOT_FOUND, false, noFolder},
            {ERROR_DISK_FULL, true, QStringLiteral("на диске нет места")},
            {ERROR_SHARING_VIOLATION, true, QStringLiteral("файл занят другой программой")},
            {ERROR_LOCK_VIOLATION, true, QStringLiteral("файл занят другой программой")},
            {ERROR_WRITE_PROTECT, true, QStringLiteral("диск только для чтения")},
            {ERROR_NOT_READY, true, std::nullopt},
#else
            {EACCES, true, QStringLiteral("нет прав доступа")},
            {EPERM, true, QStringLiteral("нет прав доступа")},
            {ENOENT, true, QStringLiteral("нет такого файла")},
            {ENOENT, false, noFolder},
            {ENOTDIR, true, noFolder},
            {ENOSPC, true, QStringLiteral("на диске нет места")},
            {EDQUOT, true, QStringLiteral("на диске нет места")},
            {ETXTBSY, true, QStringLiteral("файл занят другой программой")},
            {EBUSY, true, QStringLiteral("файл занят другой программой")},
            {EROFS, true, QStringLiteral("диск только для чтения")},
            {EIO, true, std::nullopt},
#endif
            {0, true, std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(commonFileErrorReason(c.systemError, c.folderExists), c.reason)
                << c.systemError << ' ' << c.folderExists;
}

// Failures Qt finds by itself are told in Russian too, never in its English.
TEST(FileErrorReason, aFolderAndAMissingFileAreToldInRussian)
{
    QTemporaryDir dir;
    const struct
    {
        QString path;
        QString reason;
    } cases[] = {
            {dir.path(), QStringLiteral("это папка")},
            {dir.filePath(QStringLiteral("none.txt")), QStringLiteral("нет такого файла")},
            {dir.filePath(QStringLiteral("no/none.txt")), QStringLiteral("нет такой папки")},
    };
    for (const auto &c : cases) {
        QFile file(c.path);
        EXPECT_FALSE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(fileErrorReason(file, lastSystemError()), c.reason) << c.path.toStdString();
    }
}

#ifdef Q_OS_UNIX

mode_t modeOf(const QString &path)
{
    struct stat status
    { };
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode : 0;
}

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What a name leads to decides how it is written: a regular file (or none
// yet, also behind a link) is replaced whole keeping its mode, a device or a
// FIFO is written into and stays what it is, anything else is refused, and
// each problem shows before anything is written.
TEST(FileReplacement, eachKindOfTargetIsWrittenItsOwnWay)
{
    QTemporaryDir dir;
    const auto in = [&dir](const char *name) { return dir.filePath(QString::fromUtf8(name)); };
    const mode_t mask = ::umask(022);
    ::umask(mask);

    // A file of its own mode, replaced: the mode stays, no temporary is left.
    {
        QFile kept(in("kept.csv"));
        ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
        kept.write("old");
    }
    ASSERT_EQ(::chmod(QFile::encodeName(in("kept.csv")).constData(), 0640), 0);
    EXPECT_EQ(outputWay(in("kept.csv")), OutputWay::Replace);
    ASSERT_TRUE(replaceFile(in("kept.csv"), "new"));
    EXPECT_EQ(bytesOf(in("kept.csv")), QByteArray("new"));
    EXPECT_EQ(modeOf(in("kept.csv")) & 07777, mode_t(0640));

    // A new file takes the mode the user's mask gives.
    ASSERT_TRUE(replaceFile(in("new.csv"), "new"));
    EXPECT_EQ(modeOf(in("new.csv")) & 07777, mode_t(0666 & ~mask));

    // A link to a file not made yet: the file is made, the link stays one.
    ASSERT_TRUE(QFile::link(in("target.xls"), in("link.xls")));
    ASSERT_TRUE(replaceFile(in("link.xls"), "book"));
    EXPECT_TRUE(QFileInfo(in("link.xls")).isSymLink());
    EXPECT_EQ(bytesOf(in("target.xls")), QByteArray("book"));
    // A link to a link is followed to its end: both stay links.
    ASSERT_TRUE(QFile::link(in("link.xls"), in("link-to-link.xls")));
    ASSERT_TRUE(replaceFile(in("link-to-link.xls"), "book 2"));
    EXPECT_TRUE(QFileInfo(in("link.xls")).isSymLink());
    EXPECT_EQ(bytesOf(in("target.xls")), QByteArray("book 2"));

    // A device is written into and stays a device.
    EXPECT_EQ(outputWay(QStringLiteral("/dev/null")), OutputWay::Direct);
    EXPECT_EQ(outputProblem(QStringLiteral("/dev/null")), std::nullopt);
    EXPECT_TRUE(replaceFile(QStringLiteral("/dev/null"), "sheet"));
    EXPECT_TRUE(S_ISCHR(modeOf(QStringLiteral("/dev/null"))));
    QString error;
    if (QFileInfo::exists(QStringLiteral("/dev/full"))) {
        EXPECT_FALSE(replaceFile(QStringLiteral("/dev/full"), "sheet", &error));
        EXPECT_EQ(
                error,
                fileWriteError(QStringLiteral("/dev/full"), QStringLiteral("на диске нет места")));
        EXPECT_TRUE(S_ISCHR(modeOf(QStringLiteral("/dev/full"))));
    }

    // A FIFO's reader gets the bytes; it stays a FIFO.
    const QByteArray fifo = QFile::encodeName(in("pipe"));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    const int reader = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_TRUE(replaceFile(in("pipe"), "through"));
    char got[16] = {};
    EXPECT_EQ(::read(reader, got, sizeof got), 7);
    EXPECT_EQ(QByteArray(got), QByteArray("through"));
    ::close(reader);
    EXPECT_TRUE(S_ISFIFO(modeOf(in("pipe"))));

    // A folder is refused, and so is a missing one, before anything is written.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    EXPECT_EQ(outputProblem(in("folder")),
              fileWriteError(in("folder"), QStringLiteral("это папка")));
    EXPECT_FALSE(replaceFile(in("folder"), "x", &error));
    EXPECT_EQ(error, fileWriteError(in("folder"), QStringLiteral("это папка")));
    EXPECT_TRUE(QFileInfo(in("folder")).isDir());
    EXPECT_EQ(outputProblem(in("nodir/x.csv")),
              fileWriteError(in("nodir/x.csv"), QStringLiteral("нет такой папки")));
    EXPECT_EQ(outputProblem(in("fresh.csv")), std::nullopt);
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("*.csv.*")}, QDir::Files), QStringList{})
            << "a temporary file was left";
}

// As the superuser a file another user owns keeps its owner, group and mode.
TEST(FileReplacement, theSuperuserKeepsTheOwnerAndTheModeOfAReplacedFile)
{
    if (!runsAsSuperuser())
        GTEST_SKIP() << "only the superuser may give a file to another user";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("plan.miv"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const QByteArray name = QFile::encodeName(path);
    ASSERT_EQ(::chown(name.constData(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(name.constData(), 0444), 0);
    ASSERT_TRUE(replaceFile(path, "[Параметры]\r\n"));
    struct stat status
    { };
    ASSERT_EQ(::stat(name.constData(), &status), 0);
    EXPECT_EQ(status.st_uid, uid_t(65534));
    EXPECT_EQ(status.st_gid, gid_t(65534));
    EXPECT_EQ(status.st_mode & 07777, mode_t(0444));
}

#endif

} // namespace

#include "core/FileErrorReason.h"

#include <cerrno>
#include <gtest/gtest.h>

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

} // namespace

#include "core/FileReplacement.h"

#include "core/FileErrorReason.h"

#include <QSaveFile>

namespace miv {

QString fileWriteError(const QString &path, const QString &reason)
{
    return QStringLiteral("Не удалось записать файл %1: %2").arg(path, reason);
}

bool replaceFile(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
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

} // namespace miv

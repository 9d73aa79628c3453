#include "core/FileReplacement.h"

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
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = fileWriteError(path, file.errorString());
        file.cancelWriting();
        return false;
    }
    return true;
}

} // namespace miv

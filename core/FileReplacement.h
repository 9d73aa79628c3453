#pragma once

#include <QByteArray>
#include <QString>

namespace miv {

// Writes `bytes` as the file at `path`: into a temporary file beside it,
// which replaces the file only once everything is written, so that a failed
// write never loses the file that was there. False with `error` (naming the
// file and the reason) when it failed.
bool replaceFile(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// "Не удалось записать файл PATH: REASON".
QString fileWriteError(const QString &path, const QString &reason);

} // namespace miv

#pragma once

#include <optional>
#include <QByteArray>
#include <QString>

namespace miv {

// How a file named for output is written, by what the name leads to now.
enum class OutputWay {
    Replace, // a regular file, or none yet: written beside, then put in its place
    Direct, // a character device or a FIFO (/dev/null, a pipe): written straight into
    Refused, // a folder, a socket, a block device: never written
};

// The way for `path` (links followed); Refused with the reason for the
// operator in `reason`.
OutputWay outputWay(const QString &path, QString *reason = nullptr);

// Why `path` could not be written, told before anything is written
// ("Не удалось записать файл PATH: REASON"): a target that is not written
// (see OutputWay), a missing folder, a folder or a device that may not be
// written. Nullopt when the write may go ahead.
std::optional<QString> outputProblem(const QString &path);

// Writes `bytes` as the file at `path`. A regular file (or none yet) is
// written into a temporary file beside it, which takes its place only once
// everything is written, so that a failed write never loses the file that
// was there; the file keeps its owner, group and mode wherever the system
// lets this user set them, a new one gets the mode the user's mask gives. A
// link is followed and its target replaced, also a target not made yet. A
// character device or a FIFO is written straight into; anything else is
// refused. False with `error` (naming the file and the reason) when it
// failed.
bool replaceFile(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// "Не удалось записать файл PATH: REASON".
QString fileWriteError(const QString &path, const QString &reason);

} // namespace miv

#pragma once

#include <optional>
#include <QString>

class QFileDevice;

namespace miv {

// The operating system's number for why its last call failed: errno, or
// GetLastError() on Windows. Taken right after a file operation failed,
// before anything else runs, it tells the reason Qt's error kind leaves open.
int lastSystemError();

// The common reasons a file operation fails, in Russian, from the system's
// number: no permission, no such folder or file, disk full, the file in use
// by another program, a read-only disk. Nullopt for any other number. A
// missing file and a missing folder give the same number: `folderExists`
// (whether the file's folder is there) tells which it was.
std::optional<QString> commonFileErrorReason(int systemError, bool folderExists);

// Why `file` failed, for the operator: a common reason in Russian, else the
// device's own text. `systemError` is lastSystemError() taken right after
// the failing call; it counts only when the device's text is the system's
// text for that number, since a failure Qt found by itself (a file QSaveFile
// may not replace, a name that is a folder) leaves a stale number behind;
// such failures are told from what the name leads to (a folder, no such
// file or folder), never in Qt's English.
QString fileErrorReason(const QFileDevice &file, int systemError);

// Why the folder `path` could not be made (QDir::mkpath tells no reason),
// from lastSystemError() taken right after it.
QString folderErrorReason(const QString &path, int systemError);

// Why nothing can be written to the file `path` now, told from its disk, the
// file and its folder, for a program that does not hand on the system's
// number (a database library): a read-only disk or file, a folder that may
// not be written, a disk with almost no space left. Nullopt when none is so.
std::optional<QString> writeBlockedReason(const QString &path);

} // namespace miv

#include "core/ExclusiveFileLock.h"

#include <QDeadlineTimer>
#include <QFileDevice>
#include <QThread>

#ifdef Q_OS_WIN
#  include <io.h>
#  include <windows.h>
#else
#  include <sys/file.h>
#endif

namespace miv {

namespace {

constexpr int retryMs = 2;

#ifdef Q_OS_WIN
HANDLE fileHandle(QFileDevice &file)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()));
}

// The byte locked: far past any end a log reaches.
OVERLAPPED lockedByte()
{
    OVERLAPPED place{};
    place.OffsetHigh = 0x7fffffff;
    return place;
}
#endif

} // namespace

ExclusiveFileLock::ExclusiveFileLock(QFileDevice &file, int waitMs) : m_file(file)
{
    const QDeadlineTimer deadline(waitMs);
    while (!(m_held = tryOnce()) && !deadline.hasExpired())
        QThread::msleep(retryMs);
}

ExclusiveFileLock::~ExclusiveFileLock()
{
    if (m_held)
        release();
}

bool ExclusiveFileLock::tryOnce()
{
#ifdef Q_OS_WIN
    OVERLAPPED place = lockedByte();
    return LockFileEx(fileHandle(m_file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1,
                      0, &place);
#else
    return ::flock(m_file.handle(), LOCK_EX | LOCK_NB) == 0;
#endif
}

void ExclusiveFileLock::release()
{
#ifdef Q_OS_WIN
    OVERLAPPED place = lockedByte();
    UnlockFileEx(fileHandle(m_file), 0, 1, 0, &place);
#else
    ::flock(m_file.handle(), LOCK_UN);
#endif
}

} // namespace miv

#pragma once

class QFileDevice;

namespace miv {

// An exclusive lock on an open file, held while the object lives, so that
// programs that append to one file (the window and mivctl on the audit log)
// take turns. Advisory: it keeps out only those who take it too. The system
// drops it when its holder ends, however it ends, so a killed program leaves
// no lock behind. Unix: flock on the whole file; Windows: LockFileEx on one
// byte far past any end, so that reading and writing the file stay free.
class ExclusiveFileLock
{
public:
    // Waits up to `waitMs` for the lock; `file` must stay open while it is held.
    ExclusiveFileLock(QFileDevice &file, int waitMs);
    ~ExclusiveFileLock();
    ExclusiveFileLock(const ExclusiveFileLock &) = delete;
    ExclusiveFileLock &operator=(const ExclusiveFileLock &) = delete;

    // False when another held it all the wait, or the system has no such lock.
    bool held() const { return m_held; }

private:
    bool tryOnce();
    void release();

    QFileDevice &m_file;
    bool m_held = false;
};

} // namespace miv

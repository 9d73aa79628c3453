#pragma once

#include <QString>
#include <atomic>
#include <thread>

// Two pseudo-terminals joined back to back, like a null-modem cable: what one
// program writes to the first device path is read from the second and the
// other way round. Lets two independent programs (our master and another
// Modbus implementation) talk over real serial devices. A thread carries the
// bytes; both slave sides are held open so that either program may close and
// reopen its end.
class PtyBridge
{
public:
    PtyBridge();
    ~PtyBridge();
    PtyBridge(const PtyBridge &) = delete;
    PtyBridge &operator=(const PtyBridge &) = delete;

    bool isOpen() const { return m_thread.joinable(); }
    QString errorText() const { return m_errorText; }
    QString firstPath() const { return m_paths[0]; }
    QString secondPath() const { return m_paths[1]; }

private:
    bool openEnd(int index);
    void carry();

    int m_masters[2] = {-1, -1};
    int m_slaves[2] = {-1, -1};
    int m_wake[2] = {-1, -1}; // a pipe that ends the thread
    QString m_paths[2];
    QString m_errorText;
    std::thread m_thread;
};

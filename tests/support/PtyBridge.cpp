#include "support/PtyBridge.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

PtyBridge::PtyBridge()
{
    if (!openEnd(0) || !openEnd(1))
        return;
    if (pipe(m_wake) != 0) {
        m_errorText = QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    m_thread = std::thread([this] { carry(); });
}

PtyBridge::~PtyBridge()
{
    if (m_thread.joinable()) {
        const char stop = 0;
        [[maybe_unused]] const ssize_t written = write(m_wake[1], &stop, 1);
        m_thread.join();
    }
    for (int fd : {m_masters[0], m_masters[1], m_slaves[0], m_slaves[1], m_wake[0], m_wake[1]})
        if (fd >= 0)
            close(fd);
}

bool PtyBridge::openEnd(int index)
{
    auto fail = [&](const char *what) {
        m_errorText = QStringLiteral("%1: %2").arg(QLatin1String(what),
                                                   QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    };
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0)
        return fail("posix_openpt");
    m_masters[index] = master;
    if (grantpt(master) != 0 || unlockpt(master) != 0)
        return fail("grantpt/unlockpt");
    const char *name = ptsname(master);
    if (!name)
        return fail("ptsname");
    m_paths[index] = QString::fromLocal8Bit(name);
    m_slaves[index] = open(name, O_RDWR | O_NOCTTY);
    if (m_slaves[index] < 0)
        return fail("open slave");
    termios settings{};
    if (tcgetattr(m_slaves[index], &settings) != 0)
        return fail("tcgetattr");
    cfmakeraw(&settings);
    if (tcsetattr(m_slaves[index], TCSANOW, &settings) != 0)
        return fail("tcsetattr");
    return true;
}

void PtyBridge::carry()
{
    pollfd watch[3] = {
            {m_masters[0], POLLIN, 0}, {m_masters[1], POLLIN, 0}, {m_wake[0], POLLIN, 0}};
    char buffer[4096];
    for (;;) {
        if (poll(watch, 3, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (watch[2].revents)
            return;
        for (int from = 0; from < 2; ++from) {
            if (!(watch[from].revents & POLLIN))
                continue;
            const ssize_t count = read(m_masters[from], buffer, sizeof buffer);
            for (ssize_t done = 0; count > 0 && done < count;) {
                const ssize_t written =
                        write(m_masters[1 - from], buffer + done, size_t(count - done));
                if (written <= 0)
                    break;
                done += written;
            }
        }
    }
}

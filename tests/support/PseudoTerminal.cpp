#include "support/PseudoTerminal.h"

#include <fcntl.h>
#include <limits>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

PseudoTerminal::PseudoTerminal()
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0)
        m_slave = QString::fromLocal8Bit(::ptsname(m_master));
}

bool PseudoTerminal::send(const QByteArray &bytes) const
{
    return ::write(m_master, bytes.data(), size_t(bytes.size())) == bytes.size();
}

QByteArray PseudoTerminal::receive(int count) const
{
    return readUpTo(count, 2000);
}

QByteArray PseudoTerminal::pending() const
{
    return readUpTo(std::numeric_limits<int>::max(), 0);
}

QByteArray PseudoTerminal::readUpTo(int count, int waitMs) const
{
    QByteArray bytes;
    while (bytes.size() < count) {
        pollfd ready{m_master, POLLIN, 0};
        if (::poll(&ready, 1, waitMs) <= 0)
            break;
        char buffer[256];
        const ssize_t got = ::read(m_master, buffer, sizeof buffer);
        if (got <= 0)
            break;
        bytes.append(buffer, got);
    }
    return bytes;
}

void PseudoTerminal::closeMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

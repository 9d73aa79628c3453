#include "link/LineLink.h"

namespace miv {

LineLink::LineLink(QObject *parent) : PortLink(parent), m_bus(&m_serial.port())
{
    for (PortLink *link : {static_cast<PortLink *>(&m_serial), static_cast<PortLink *>(&m_tcp)}) {
        connect(link, &PortLink::afterOpen, this, [this, link] {
            if (link == m_active)
                Q_EMIT afterOpen();
        });
        connect(link, &PortLink::beforeClose, this, [this, link] {
            if (link == m_active)
                Q_EMIT beforeClose();
        });
    }
    m_serial.settings().applyTo(m_bus);
}

PortLink &LineLink::linkFor(PortSettings::Transport transport)
{
    return transport == PortSettings::Transport::Tcp ? static_cast<PortLink &>(m_tcp) : m_serial;
}

QIODevice *LineLink::deviceOf(PortLink &link)
{
    return &link == &m_tcp ? static_cast<QIODevice *>(&m_tcp.socket()) : &m_serial.port();
}

bool LineLink::applySettings(const PortSettings &settings, QString *error)
{
    PortLink &next = linkFor(settings.transport);
    if (&next == m_active) {
        const bool taken = m_active->setSettings(settings, error);
        m_active->settings().applyTo(m_bus);
        return taken;
    }
    const bool wasOpen = isOpen();
    close();
    m_active = &next;
    m_bus.setPort(deviceOf(next));
    const bool taken = next.setSettings(settings, error);
    next.settings().applyTo(m_bus);
    if (!wasOpen)
        return taken;
    return open(error) && taken;
}

bool LineLink::open(QString *error)
{
    if (isOpen())
        return true;
    m_bus.setPort(deviceOf(*m_active));
    return m_active->open(error);
}

void LineLink::close()
{
    m_active->close();
}

} // namespace miv

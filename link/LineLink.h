#pragma once

#include "link/PortLink.h"
#include "link/RelayBus.h"
#include "link/SerialLink.h"
#include "link/TcpLink.h"

namespace miv {

// The program's port link: the serial port (SerialLink) or the TCP gateway
// (TcpLink), as settings().transport says. One relay bus serves both, so
// whoever holds bus() keeps it when the port setup changes the line; a change
// of transport while open closes the one and opens the other.
class LineLink : public PortLink
{
    Q_OBJECT
public:
    explicit LineLink(QObject *parent = nullptr);

    RelayBus &bus() override { return m_bus; }
    const PortSettings &settings() const override { return m_active->settings(); }
    bool open(QString *error = nullptr) override;
    void close() override;
    bool isOpen() const override { return m_active->isOpen(); }

    SerialLink &serialLink() { return m_serial; }
    TcpLink &tcpLink() { return m_tcp; }
    // The link the settings name.
    PortLink &activeLink() { return *m_active; }

protected:
    bool applySettings(const PortSettings &settings, QString *error) override;

private:
    PortLink &linkFor(PortSettings::Transport transport);
    QIODevice *deviceOf(PortLink &link);

    SerialLink m_serial;
    TcpLink m_tcp;
    PortLink *m_active = &m_serial;
    RelayBus m_bus;
};

} // namespace miv

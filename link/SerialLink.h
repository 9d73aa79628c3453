#pragma once

#include "link/PortLink.h"
#include "link/RelayBus.h"

#include <QSerialPort>

namespace miv {

// The program's port link: a serial port with its settings, and the relay bus
// that talks through it. Opening applies the settings; a port that cannot be
// opened leaves the link closed with a message that says why (on Linux, which
// group the user needs for a port it may not open).
class SerialLink : public PortLink
{
    Q_OBJECT
public:
    explicit SerialLink(QObject *parent = nullptr);

    QSerialPort &port() { return m_port; }
    RelayBus &bus() override { return m_bus; }

    const PortSettings &settings() const override { return m_settings; }
    bool open(QString *error = nullptr) override;
    void close() override;
    bool isOpen() const override;

protected:
    // A changed port name while open closes and reopens the port; false (with
    // error) when that fails, the link then closed. False (with error) also
    // when the open port refuses a setting. A pseudo-terminal's refusals are
    // ignored: it has no line settings.
    bool applySettings(const PortSettings &settings, QString *error) override;

private:
    QStringList applyLineSettings(); // the settings an open port refused
    void releaseControlLines();

    QSerialPort m_port;
    PortSettings m_settings;
    RelayBus m_bus;
};

} // namespace miv

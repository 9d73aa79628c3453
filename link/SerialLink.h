#pragma once

#include "link/PortSettings.h"
#include "link/RelayBus.h"

#include <QObject>
#include <QSerialPort>

namespace miv {

// The data module's serial port `p` with its settings, and the relay bus that
// talks through it. Opening applies the settings; a port that cannot be opened
// leaves the link closed with a message that says why (on Linux, which group
// the user needs for a port it may not open).
class SerialLink : public QObject
{
    Q_OBJECT
public:
    explicit SerialLink(QObject *parent = nullptr);

    QSerialPort &port() { return m_port; }
    RelayBus &bus() { return m_bus; }

    const PortSettings &settings() const { return m_settings; }
    // Applies the settings, to the open port as well; a changed port name
    // while open closes and reopens the port. False (with error) when that
    // reopening fails; the link is then closed. False (with error) also when
    // the open port refuses a setting: it stays open with its earlier value
    // for that one and takes the new one when it is next opened. A
    // pseudo-terminal's refusals are ignored: it has no line settings.
    bool setSettings(const PortSettings &settings, QString *error = nullptr);

    // False leaves the link closed, with a message for the operator in error.
    bool open(QString *error = nullptr);
    void close();
    bool isOpen() const;
    // Close, then open: what a failing bus call asks for.
    bool reopen(QString *error = nullptr);

Q_SIGNALS:
    void afterOpen();   // pAfterOpen
    void beforeClose(); // pBeforeClose

private:
    QStringList applyLineSettings(); // the settings an open port refused
    void releaseControlLines();

    QSerialPort m_port;
    PortSettings m_settings;
    RelayBus m_bus;
};

} // namespace miv

#pragma once

#include "core/RegisterMap.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace miv {

class IniFile;

// The serial port's settings as "front.ini" keeps them, section "p", as the
// texts of that file ("9600", "None", "1.5", ...).
struct PortSettings
{
    QString portName = defaultPortName();
    QString baudRate = QStringLiteral("9600"); // a value of baudRateTexts()
    int customBaudRate = 9600; // used when baudRate is "Custom"
    QString stopBits = QStringLiteral("1"); // "1", "1.5", "2"
    QString dataBits = QStringLiteral("8"); // "5" .. "8"
    QString parity = QStringLiteral("None"); // "None", "Odd", "Even", "Mark", "Space"
    QString flowControl = QStringLiteral("None"); // "Hardware", "Software", "None", "Custom"
    // How long the bus scan waits for each address. Not a port setting: it is
    // kept in section "bus", key "ScanWaitMs", beside the port's section, and
    // edited in the port setup with them.
    int scanWaitMs = defaultScanWaitMs;
    // How often a failed exchange is asked again (section "bus", key "Retries").
    int retries = defaultRetries;
    // Which line the relays are reached by: the serial port above, or a
    // serial-to-Ethernet gateway that passes the same frames over TCP
    // (section "bus", keys "Transport" = serial|tcp and "Gateway" = HOST:PORT).
    // The line settings stay in force over TCP: the gateway's serial side
    // runs at them, and the bus keeps its silences and waits by them.
    enum class Transport { Serial, Tcp };
    Transport transport = Transport::Serial;
    QString gateway; // "HOST:PORT", "[IPv6]:PORT"

    struct GatewayAddress
    {
        QString host;
        quint16 port = 0;
        bool operator==(const GatewayAddress &) const = default;
    };
    // "HOST:PORT" (an IPv6 host in brackets) split; none when it is not one
    // (no host, a port outside 1..65535).
    static std::optional<GatewayAddress> parseGateway(const QString &text);
    // What the line is called in messages: the port name, or "tcp://HOST:PORT".
    QString lineName() const;

    // A relay answering within 100 ms at 9600 bit/s is never missed: the wait
    // starts after the request's own 5 ms on the wire and leaves 15 ms to spare.
    static constexpr int defaultScanWaitMs = 120;
    static constexpr int minimumScanWaitMs = 20;
    static constexpr int maximumScanWaitMs = 5000;
    static constexpr int defaultRetries = 2;
    static constexpr int maximumRetries = 9;

    static QString defaultPortName(); // "COM1" on Windows, "ttyS0" elsewhere
    static QStringList baudRateTexts(); // "Custom", "110", ... "256000"
    static QStringList stopBitsTexts();
    static QStringList dataBitsTexts();
    static QStringList parityTexts();
    static QStringList flowControlTexts();

    int effectiveBaudRate() const;
    int bitsPerCharacter() const; // start + data + parity + stop, for the bus's timing
    // Puts the line speed, character length, scan wait and retries in force on a bus.
    void applyTo(class RelayBus &bus) const;

    // Reads section "p"; a missing key or an unknown value keeps the current one.
    void loadFrom(const IniFile &file);
    // Writes section "p" with exactly the keys of "front.ini", and the scan
    // wait into section "bus".
    void storeTo(IniFile &file) const;

    bool operator==(const PortSettings &) const = default;
};

// The relay's interface word (register 65).
namespace InterfaceWord {
inline constexpr quint16 relayRegister = RelayRegister::interfaceWord;
quint16 fromSettings(const PortSettings &settings);
// Applies the set bits to the settings; a group without a set bit is left alone.
PortSettings applyTo(PortSettings settings, quint16 word);
} // namespace InterfaceWord

} // namespace miv

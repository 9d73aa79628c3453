#include "link/PortSettings.h"

#include "core/DigitText.h"
#include "link/IniFile.h"
#include "link/RelayBus.h"

#include <algorithm>

namespace miv {

namespace {

// The port component's name, which names its section in "front.ini".
const QString section = QStringLiteral("p");
const QString busSection = QStringLiteral("bus");
const QString scanWaitKey = QStringLiteral("ScanWaitMs");
const QString retriesKey = QStringLiteral("Retries");
const QString transportKey = QStringLiteral("Transport");
const QString gatewayKey = QStringLiteral("Gateway");
const QString serialText = QStringLiteral("serial");
const QString tcpText = QStringLiteral("tcp");

// The text of `texts` that equals `value` without regard to case; none for an unknown value.
std::optional<QString> knownText(const QStringList &texts, const QString &value)
{
    for (const QString &text : texts) {
        if (text.compare(value, Qt::CaseInsensitive) == 0)
            return text;
    }
    return std::nullopt;
}

void loadChoice(const IniFile &file, const QString &key, const QStringList &texts, QString &setting)
{
    if (const std::optional<QString> text = knownText(texts, file.value(section, key, setting)))
        setting = *text;
}

// Interface word bits: the relay's own serial settings.
enum InterfaceBit {
    Speed9600 = 2,
    Speed19200 = 3,
    Speed38400 = 4,
    NoParity = 6,
    EvenParity = 7,
    OddParity = 8,
    OneStopBit = 13,
    TwoStopBits = 14,
};

} // namespace

QString PortSettings::defaultPortName()
{
    // The relay line's usual first port on each system.
#ifdef Q_OS_WIN
    return QStringLiteral("COM1");
#else
    return QStringLiteral("ttyS0");
#endif
}

QStringList PortSettings::baudRateTexts()
{
    return {QStringLiteral("Custom"), QStringLiteral("110"),    QStringLiteral("300"),
            QStringLiteral("600"),    QStringLiteral("1200"),   QStringLiteral("2400"),
            QStringLiteral("4800"),   QStringLiteral("9600"),   QStringLiteral("14400"),
            QStringLiteral("19200"),  QStringLiteral("38400"),  QStringLiteral("56000"),
            QStringLiteral("57600"),  QStringLiteral("115200"), QStringLiteral("128000"),
            QStringLiteral("256000")};
}

QStringList PortSettings::stopBitsTexts()
{
    return {QStringLiteral("1"), QStringLiteral("1.5"), QStringLiteral("2")};
}

QStringList PortSettings::dataBitsTexts()
{
    return {QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8")};
}

QStringList PortSettings::parityTexts()
{
    return {QStringLiteral("None"), QStringLiteral("Odd"), QStringLiteral("Even"),
            QStringLiteral("Mark"), QStringLiteral("Space")};
}

QStringList PortSettings::flowControlTexts()
{
    return {QStringLiteral("Hardware"), QStringLiteral("Software"), QStringLiteral("None"),
            QStringLiteral("Custom")};
}

int PortSettings::effectiveBaudRate() const
{
    if (baudRate == QLatin1String("Custom"))
        return customBaudRate;
    return baudRate.toInt();
}

int PortSettings::bitsPerCharacter() const
{
    const int parityBits = parity == QLatin1String("None") ? 0 : 1;
    // 1.5 stop bits count as 2: the timing only needs an upper bound.
    const int stopBitCount = stopBits == QLatin1String("1") ? 1 : 2;
    return 1 + dataBits.toInt() + parityBits + stopBitCount;
}

void PortSettings::loadFrom(const IniFile &file)
{
    const QString name = file.value(section, QStringLiteral("Port"), portName);
    if (!name.isEmpty())
        portName = name;
    loadChoice(file, QStringLiteral("BaudRate"), baudRateTexts(), baudRate);
    if (baudRate == QLatin1String("Custom")) {
        bool ok = false;
        const int rate = file.value(section, QStringLiteral("CustomBaudRate")).toInt(&ok);
        if (ok && rate > 0)
            customBaudRate = rate;
    }
    loadChoice(file, QStringLiteral("StopBits"), stopBitsTexts(), stopBits);
    loadChoice(file, QStringLiteral("DataBits"), dataBitsTexts(), dataBits);
    loadChoice(file, QStringLiteral("Parity"), parityTexts(), parity);
    loadChoice(file, QStringLiteral("FlowControl"), flowControlTexts(), flowControl);
    bool ok = false;
    const int wait = file.value(busSection, scanWaitKey).toInt(&ok);
    if (ok && wait >= minimumScanWaitMs && wait <= maximumScanWaitMs)
        scanWaitMs = wait;
    const int repeat = file.value(busSection, retriesKey).toInt(&ok);
    if (ok && repeat >= 0 && repeat <= maximumRetries)
        retries = repeat;
    const QString line = file.value(busSection, transportKey).trimmed();
    if (line.compare(serialText, Qt::CaseInsensitive) == 0)
        transport = Transport::Serial;
    else if (line.compare(tcpText, Qt::CaseInsensitive) == 0)
        transport = Transport::Tcp;
    const QString address = file.value(busSection, gatewayKey).trimmed();
    if (parseGateway(address))
        gateway = address;
}

void PortSettings::storeTo(IniFile &file) const
{
    file.setValue(section, QStringLiteral("Port"), portName);
    file.setValue(section, QStringLiteral("BaudRate"), baudRate);
    if (baudRate == QLatin1String("Custom"))
        file.setValue(section, QStringLiteral("CustomBaudRate"), QString::number(customBaudRate));
    file.setValue(section, QStringLiteral("StopBits"), stopBits);
    file.setValue(section, QStringLiteral("DataBits"), dataBits);
    file.setValue(section, QStringLiteral("Parity"), parity);
    file.setValue(section, QStringLiteral("FlowControl"), flowControl);
    file.setValue(busSection, scanWaitKey, QString::number(scanWaitMs));
    file.setValue(busSection, retriesKey, QString::number(retries));
    file.setValue(busSection, transportKey, transport == Transport::Tcp ? tcpText : serialText);
    if (!gateway.isEmpty())
        file.setValue(busSection, gatewayKey, gateway);
}

std::optional<PortSettings::GatewayAddress> PortSettings::parseGateway(const QString &text)
{
    const QString trimmed = text.trimmed();
    const qsizetype colon = trimmed.lastIndexOf(u':');
    if (colon <= 0)
        return std::nullopt;
    QString host = trimmed.left(colon);
    if (host.startsWith(u'[')) {
        if (!host.endsWith(u']') || host.size() < 3)
            return std::nullopt;
        host = host.mid(1, host.size() - 2);
    } else if (host.contains(u':')) {
        return std::nullopt; // an IPv6 address needs its brackets
    }
    // Digits only: toUInt would also take a sign, blanks, or whatever
    // follows a NUL character.
    const QString portText = trimmed.mid(colon + 1);
    const auto isDigit = [](QChar c) { return c >= u'0' && c <= u'9'; };
    if (portText.isEmpty() || portText.size() > 5
        || !std::all_of(portText.cbegin(), portText.cend(), isDigit))
        return std::nullopt;
    const uint port = portText.toUInt();
    if (port == 0 || port > 65535)
        return std::nullopt;
    // No blank or control character: "front.ini" would keep a line break
    // in a host name as a blank, and no host has either.
    const auto unfit = [](QChar c) {
        return c.isSpace() || c.category() == QChar::Other_Control || c == u'/';
    };
    if (std::any_of(host.cbegin(), host.cend(), unfit))
        return std::nullopt;
    return GatewayAddress{host, quint16(port)};
}

QString PortSettings::lineName() const
{
    return transport == Transport::Tcp ? QStringLiteral("tcp://") + gateway : portName;
}

void PortSettings::applyTo(RelayBus &bus) const
{
    bus.setLineSettings(effectiveBaudRate(), bitsPerCharacter());
    bus.setScanTimeoutMs(scanWaitMs);
    bus.setRetries(retries);
}

namespace InterfaceWord {

// Sixteen characters, most significant bit first, turned into the word as
// the bus library's parseBinary does. The 4800 and data-bit bits are never set;
// a speed, parity or stop-bit setting without a bit of its own sets none.
quint16 fromSettings(const PortSettings &settings)
{
    QString bits(16, u'0');
    const auto set = [&bits](int bit) { bits[15 - bit] = u'1'; };

    // The speed the port really runs at, so a custom rate of 9600 is 9600.
    switch (settings.effectiveBaudRate()) {
    case 9600:
        set(Speed9600);
        break;
    case 19200:
        set(Speed19200);
        break;
    case 38400:
        set(Speed38400);
        break;
    default:
        break;
    }
    if (settings.parity == QLatin1String("None"))
        set(NoParity);
    else if (settings.parity == QLatin1String("Even"))
        set(EvenParity);
    else if (settings.parity == QLatin1String("Odd"))
        set(OddParity);
    if (settings.stopBits == QLatin1String("1"))
        set(OneStopBit);
    else if (settings.stopBits == QLatin1String("2"))
        set(TwoStopBits);
    return quint16(parseBinary(bits));
}

PortSettings applyTo(PortSettings settings, quint16 word)
{
    // Tested in this order; within a group a later set bit wins.
    const std::pair<int, void (*)(PortSettings &)> steps[] = {
            {Speed9600, [](PortSettings &s) { s.baudRate = QStringLiteral("9600"); }},
            {Speed19200, [](PortSettings &s) { s.baudRate = QStringLiteral("19200"); }},
            {Speed38400, [](PortSettings &s) { s.baudRate = QStringLiteral("38400"); }},
            {NoParity, [](PortSettings &s) { s.parity = QStringLiteral("None"); }},
            {EvenParity, [](PortSettings &s) { s.parity = QStringLiteral("Even"); }},
            {OddParity, [](PortSettings &s) { s.parity = QStringLiteral("Odd"); }},
            {OneStopBit, [](PortSettings &s) { s.stopBits = QStringLiteral("1"); }},
            {TwoStopBits, [](PortSettings &s) { s.stopBits = QStringLiteral("2"); }},
    };
    for (const auto &[bit, apply] : steps) {
        if (word & (1u << bit))
            apply(settings);
    }
    return settings;
}

} // namespace InterfaceWord

} // namespace miv

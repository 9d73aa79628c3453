#include "link/InterfaceWordChange.h"

#include <initializer_list>
#include <utility>

namespace miv::InterfaceWord {

namespace {

// The bits the port's settings set (fromSettings): 9600, 19200, 38400 bit/s;
// no, even, odd parity; 1, 2 stop bits.
constexpr quint16 portGroups =
        quint16(1u << 2 | 1u << 3 | 1u << 4 | 1u << 6 | 1u << 7 | 1u << 8 | 1u << 13 | 1u << 14);
constexpr quint16 portSpeedBits = quint16(1u << 2 | 1u << 3 | 1u << 4);
constexpr quint16 speed4800Bit = quint16(1u << 1);

template<typename Value>
std::optional<Value> lastSetBit(quint16 word, std::initializer_list<std::pair<int, Value>> group)
{
    std::optional<Value> value;
    for (const auto &[bit, meaning] : group)
        if (word & (1u << bit))
            value = meaning;
    return value;
}

const QStringList portSpeeds{QStringLiteral("9600"), QStringLiteral("19200"),
                             QStringLiteral("38400")};
const QStringList portParities{QStringLiteral("None"), QStringLiteral("Even"),
                               QStringLiteral("Odd")};
const QStringList portStopBits{QStringLiteral("1"), QStringLiteral("2")};

} // namespace

Reading read(quint16 word)
{
    Reading reading;
    reading.baudRate = lastSetBit<int>(word, {{1, 4800}, {2, 9600}, {3, 19200}, {4, 38400}});
    reading.parity = lastSetBit<QString>(
            word,
            {{6, QStringLiteral("None")}, {7, QStringLiteral("Even")}, {8, QStringLiteral("Odd")}});
    reading.dataBits =
            lastSetBit<QString>(word, {{10, QStringLiteral("7")}, {11, QStringLiteral("8")}});
    reading.stopBits =
            lastSetBit<QString>(word, {{13, QStringLiteral("1")}, {14, QStringLiteral("2")}});
    return reading;
}

Change change(quint16 relayWord, const PortSettings &chosen)
{
    Change result;
    const quint16 fromPort = fromSettings(chosen);
    // A speed the port sets is the relay's only speed: its 4800 bit kept
    // beside it would leave a word with two speeds, whichever the relay took.
    const quint16 replaced = fromPort & portSpeedBits ? portGroups | speed4800Bit : portGroups;
    result.word = quint16((relayWord & ~replaced) | fromPort);
    // The relay must read from the word what the port will run at.
    const Reading reading = read(result.word);
    if (reading.baudRate != chosen.effectiveBaudRate())
        result.reasons << QStringLiteral("Реле нельзя перевести на скорость %1 бит/с: слово "
                                         "интерфейса задаёт только 9600, 19200 и 38400 бит/с")
                                  .arg(chosen.effectiveBaudRate());
    if (reading.parity != chosen.parity)
        result.reasons << QStringLiteral("Реле нельзя перевести на паритет %1: слово интерфейса "
                                         "задаёт только None, Even и Odd")
                                  .arg(chosen.parity);
    if (reading.stopBits != chosen.stopBits)
        result.reasons << QStringLiteral("Реле нельзя перевести на %1 стоп-бита: слово "
                                         "интерфейса задаёт только 1 и 2 стоп-бита")
                                  .arg(chosen.stopBits);
    if (reading.dataBits && reading.dataBits != chosen.dataBits)
        result.reasons << QStringLiteral("Реле работает с %1 битами данных, выбрано %2: число бит "
                                         "данных реле настройкой порта не меняется")
                                  .arg(*reading.dataBits, chosen.dataBits);
    return result;
}

Choices choices(std::optional<quint16> relayWord)
{
    if (!relayWord)
        return {PortSettings::baudRateTexts(),
                PortSettings::dataBitsTexts(),
                PortSettings::stopBitsTexts(),
                PortSettings::parityTexts(),
                {}};
    const Reading reading = read(*relayWord);
    Choices offered{portSpeeds, PortSettings::dataBitsTexts(), portStopBits, portParities,
                    QStringLiteral("Выбрано реле: скорость, паритет и стоп-биты только те, что "
                                   "задаёт его слово интерфейса; число бит данных реле не "
                                   "меняется")};
    // A relay at 4800 bit/s keeps that speed when the port keeps it.
    if (reading.baudRate == 4800)
        offered.baudRates.prepend(QStringLiteral("4800"));
    if (reading.dataBits)
        offered.dataBits = QStringList{*reading.dataBits};
    return offered;
}

QString hex(quint16 word)
{
    return QStringLiteral("0x%1").arg(word, 4, 16, QLatin1Char('0'));
}

} // namespace miv::InterfaceWord

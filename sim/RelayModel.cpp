#include "sim/RelayModel.h"

#include "link/ModbusFrame.h"

#include <QStringEncoder>
#include <QTimeZone>
#include <algorithm>
#include <cmath>

namespace miv::sim {

namespace {

constexpr quint16 regName = 0;
constexpr quint16 regVersion = 5;
constexpr quint16 regFactoryNumber = 6;
constexpr quint16 regProtections = 39;
constexpr quint16 regOutputs = 40;
constexpr quint16 regInputs = 41;
constexpr quint16 regConfiguredAddress = 64;
constexpr quint16 regInterface = 65;
constexpr quint16 regPassword = 66;
constexpr quint16 regRatio = 0x50;
constexpr quint16 regMotorHours = 0x70;
constexpr quint16 regClock = 0x73;
constexpr quint16 regMarks = 0x76;
constexpr quint16 regSwitches0 = 0x80;
constexpr quint16 regSwitches1 = 0x81;
constexpr quint16 regTimerSwitches = 0x82;
constexpr quint16 coilWork = 768;
constexpr quint16 coilAlarm = 769;
constexpr quint16 coilOverload = 770;
constexpr quint16 coilAcknowledge = 771;

// The motor: at full load it draws 90 % of its nominal current and warms to
// about 70 °C; a stopped motor cools back to the room's 20 °C.
constexpr double fullLoad = 0.9;
constexpr double roomTemperature = 20;
constexpr double hotTemperature = 70;
constexpr int maxMotorHoursHigh = 15; // the counter runs up to 1 048 575 h

struct Limit
{
    quint16 reg;
    quint16 min;
    quint16 max;
};
// The relay's own limits for its numeric settings (rows 1 and 2 follow the ratio).
constexpr Limit numericLimits[] = {
        {0x50, 1, 200},  {0x53, 11, 60},   {0x54, 20, 80},   {0x55, 10, 50},   {0x56, 5, 10},
        {0x57, 2, 10},   {0x58, 220, 220}, {0x59, 240, 280}, {0x5A, 150, 210}, {0x5B, 5, 20},
        {0x60, 40, 100}, {0x61, 0, 100},   {0x62, 1, 30},    {0x63, 1, 300},   {0x64, 1, 120},
        {0x65, 1, 250},  {0x66, 5, 100},   {0x67, 1, 120},   {0x68, 1, 250},   {0x69, 1, 30},
        {0x6A, 1, 30},
};

QByteArray exceptionPdu(quint8 function, quint8 code)
{
    QByteArray pdu;
    pdu.append(char(function | 0x80));
    pdu.append(char(code));
    return pdu;
}

void appendWord(QByteArray &bytes, quint16 value)
{
    bytes.append(char(value >> 8));
    bytes.append(char(value & 0xFF));
}

quint16 wordAt(const QByteArray &bytes, int i)
{
    return quint16(quint8(bytes[i]) << 8 | quint8(bytes[i + 1]));
}

quint16 bytePair(int high, int low)
{
    return quint16((high & 0xFF) << 8 | (low & 0xFF));
}

} // namespace

RelayModel::RelayModel(quint8 address, int typeCode, quint32 seed)
    : m_address(address),
      m_typeCode(typeCode),
      m_initialSeed(seed ? seed : 1),
      m_seed(m_initialSeed)
{
    // The relay's clock starts at the PC's local time.
    m_clockOffsetMs = qint64(QDateTime::currentDateTime().offsetFromUtc()) * 1000;
    m_lastTickMs = QDateTime::currentMSecsSinceEpoch();
    QStringEncoder toCp1251("windows-1251");
    QByteArray name = toCp1251.encode(QStringLiteral("МИВ-0%1").arg(typeCode % 10));
    name = name.leftJustified(10, ' ', true);
    for (int i = 0; i < 5; ++i)
        m_registers[size_t(regName + i)] = bytePair(quint8(name[2 * i]), quint8(name[2 * i + 1]));
    // v3 of 15.6.2010
    m_registers[regVersion] = quint16(3 << 11 | 15 << 6 | 6 << 2 | 2);
    m_registers[regFactoryNumber] = quint16(1000 + address);

    m_registers[regConfiguredAddress] = address;
    m_registers[regInterface] = quint16(1 << 2 | 1 << 6 | 1 << 11 | 1 << 13); // 9600, none, 8, 1
    m_registers[regPassword] = bytePair('A', 'B');
    m_registers[regPassword + 1] = bytePair('C', 'D');

    const quint16 configuration[] = {10, 250, 300, 25, 40, 30, 5, 5, 220, 250, 180, 10};
    for (int i = 0; i < 12; ++i)
        m_registers[size_t(0x50 + i)] = configuration[i];
    const quint16 configuration2[] = {80, 3, 5, 10, 60, 10, 50, 5, 5, 5, 5};
    for (int i = 0; i < 11; ++i)
        m_registers[size_t(0x60 + i)] = configuration2[i];
    m_registers[regSwitches0] = 0x17; // rotor, minimum current, insulation, leakage on
    m_registers[regSwitches1] = typeCode == 6 ? 0x03 : 0x02;

    m_registers[regMotorHours] = 0;
    m_registers[regMotorHours + 1] = 1234;
    m_registers[regMotorHours + 2] = 5;
    if (typeCode == 6) {
        const quint16 marks[] = {0x061E, 0x0800, 0x0C00, 0x1200, 0x173B};
        for (int i = 0; i < 5; ++i)
            m_registers[size_t(regMarks + i)] = marks[i];
        m_registers[regTimerSwitches] = 0x0105;
    }
    m_registers[regInputs] = typeCode == 6 ? 0x00FB : 0x0002;
    setJournalLength(37);
    tick();
}

quint32 RelayModel::random()
{
    // xorshift32: the same seed gives the same values, run after run.
    m_seed ^= m_seed << 13;
    m_seed ^= m_seed >> 17;
    m_seed ^= m_seed << 5;
    return m_seed;
}

bool RelayModel::isMotorRunning() const
{
    return m_registers[regOutputs] & 1;
}

int RelayModel::nominalCurrentTenths() const
{
    // Rows 0x51 and 0x52 (the second stage, input bit 2) are in steps of
    // 0.01, 0.1 or 1 A by the ratio, as their limits are.
    const int ratio = m_registers[regRatio];
    const int factor = ratio >= 1 && ratio <= 2 ? 100 : ratio >= 3 && ratio <= 20 ? 10 : 1;
    const quint16 row = (m_registers[regInputs] & 0x04) ? regRatio + 2 : regRatio + 1;
    return m_registers[row] * 10 / factor;
}

void RelayModel::countMotorHours(bool running, qint64 nowMs)
{
    if (running)
        m_runningMs += std::max<qint64>(0, nowMs - m_lastTickMs);
    m_lastTickMs = nowMs;
    for (; m_runningMs >= 60000; m_runningMs -= 60000) {
        quint32 hours = quint32(m_registers[regMotorHours]) << 16 | m_registers[regMotorHours + 1];
        int minutes = (m_registers[regMotorHours + 2] & 0xFF) + 1;
        if (minutes == 60) {
            minutes = 0;
            ++hours;
        }
        m_registers[regMotorHours] = quint16(hours >> 16);
        m_registers[regMotorHours + 1] = quint16(hours);
        m_registers[regMotorHours + 2] = quint16(minutes);
    }
}

void RelayModel::tick()
{
    // A whole number near base, at most spread away; the same seed gives the same run.
    auto jitter = [this](int base, int spread) {
        return base + int(random() % quint32(2 * spread + 1)) - spread;
    };
    auto word = [](double value) {
        return quint16(std::clamp<long>(std::lround(value), 0, 65535));
    };
    const bool running = isMotorRunning();
    countMotorHours(running, QDateTime::currentMSecsSinceEpoch());

    // The current settles at full load within a few reads after a start and
    // is gone at once after a stop; the temperature follows slowly.
    m_load = running ? m_load + (fullLoad - m_load) * 0.5 : 0.0;
    const double warm = roomTemperature
            + (hotTemperature - roomTemperature) * (m_load / fullLoad) * (m_load / fullLoad);
    m_temperature += (warm - m_temperature) * (running ? 0.02 : 0.01);

    const double phaseShare[3] = {1.0, 0.98, 1.02};
    int current[3];
    int voltage[3];
    for (int phase = 0; phase < 3; ++phase) {
        voltage[phase] = jitter(220, 2);
        const double amps = nominalCurrentTenths() * m_load * phaseShare[phase];
        current[phase] = running ? int(word(amps * (1000 + jitter(0, 15)) / 1000.0)) : 0;
        m_registers[size_t(21 + phase)] = quint16(current[phase]);
        m_registers[size_t(24 + phase)] = quint16(voltage[phase]);
        m_registers[size_t(32 + phase)] = 480;
        m_registers[size_t(36 + phase)] = 215;
    }
    const auto [least, most] = std::minmax({current[0], current[1], current[2]});
    const double average = (current[0] + current[1] + current[2]) / 3.0;

    m_registers[16] = quint16(jitter(55, 1));
    m_registers[17] = quint16(jitter(500, 3));
    m_registers[18] = average > 0 ? word((most - least) * 100 / average) : 0;
    m_registers[19] = 12;
    m_registers[20] = 0x0300 | 40;
    const int degrees = int(std::lround(m_temperature));
    m_registers[27] = word(
            std::clamp((m_temperature - roomTemperature) * 100 / (hotTemperature - roomTemperature),
                       0.0, 255.0));
    m_registers[28] =
            quint16(0x0200 | (degrees >= 0 ? 0x0100 : 0) | std::min(std::abs(degrees), 255));
    m_registers[35] = running ? quint16(jitter(2, 1)) : 0;

    // cos φ drops at light load; the powers follow from U, I and cos φ.
    const int cosine = running
            ? std::clamp(int(std::lround(85 - 25 * (1 - m_load / fullLoad))) + jitter(0, 1), 0, 100)
            : 0;
    double apparent = 0; // tenths of kVA: U in V times I in tenths of A, / 1000
    for (int phase = 0; phase < 3; ++phase)
        apparent += voltage[phase] * current[phase] / 1000.0;
    const double cos = cosine / 100.0;
    m_registers[42] = quint16(cosine);
    m_registers[43] = word(apparent * cos);
    m_registers[44] = word(apparent * std::sqrt(1 - cos * cos));
    m_registers[45] = word(apparent);
    writeClock();
}

void RelayModel::writeClock()
{
    const QDateTime now = QDateTime::fromMSecsSinceEpoch(
            QDateTime::currentMSecsSinceEpoch() + m_clockOffsetMs, Qt::UTC);
    const QDate date = now.date();
    const QTime time = now.time();
    m_registers[regClock] = bytePair(date.year() % 100, date.month());
    m_registers[regClock + 1] = bytePair(date.day(), time.hour());
    m_registers[regClock + 2] = bytePair(time.minute(), time.second());
}

void RelayModel::setClockWord(int index, quint16 value)
{
    // One word replaces its two fields of the running clock; a day beyond
    // the month's end (31 when the month just became February) is its last day.
    writeClock();
    m_registers[size_t(regClock + index)] = value;
    const int year = 2000 + (m_registers[regClock] >> 8);
    const int month = m_registers[regClock] & 0xFF;
    const int day =
            std::min<int>(m_registers[regClock + 1] >> 8, QDate(year, month, 1).daysInMonth());
    const QDateTime set(QDate(year, month, day),
                        QTime(m_registers[regClock + 1] & 0xFF, m_registers[regClock + 2] >> 8,
                              m_registers[regClock + 2] & 0xFF),
                        Qt::UTC);
    m_clockOffsetMs = set.toMSecsSinceEpoch() - QDateTime::currentMSecsSinceEpoch();
    writeClock();
}

void RelayModel::setStatusBits(quint16 bits)
{
    m_registers[regProtections] = bits;
}

void RelayModel::setInputs(quint16 bits)
{
    m_registers[regInputs] = bits;
}

quint16 RelayModel::registerValue(int reg) const
{
    return (reg >= 0 && reg < registerCount) ? m_registers[size_t(reg)] : 0;
}

void RelayModel::setRegister(int reg, quint16 value)
{
    if (reg >= 0 && reg < registerCount)
        m_registers[size_t(reg)] = value;
}

std::optional<std::pair<quint16, quint16>> RelayModel::limits(int reg) const
{
    if (reg == 0x51 || reg == 0x52) {
        const int ratio = m_registers[regRatio];
        const int factor = ratio >= 1 && ratio <= 2 ? 100 : ratio >= 3 && ratio <= 20 ? 10 : 1;
        const int maximum = ratio * 5 * factor;
        return std::pair{quint16(ratio * factor), quint16(maximum == 1000 ? 999 : maximum)};
    }
    for (const Limit &limit : numericLimits)
        if (limit.reg == reg)
            return std::pair{limit.min, limit.max};
    return std::nullopt;
}

QByteArray RelayModel::handle(const QByteArray &pdu)
{
    if (pdu.isEmpty())
        return {};
    writeDueJournalEvents(QDateTime::currentMSecsSinceEpoch());
    const quint8 function = quint8(pdu[0]);
    if (m_refusedFunction == function)
        return exceptionPdu(function, modbus::IllegalFunction);
    switch (function) {
    case modbus::ReadHoldingRegisters:
        if (pdu.size() != 5)
            return exceptionPdu(function, modbus::IllegalDataValue);
        return readRegisters(wordAt(pdu, 1), wordAt(pdu, 3));
    case modbus::WriteSingleRegister:
        if (pdu.size() != 5)
            return exceptionPdu(function, modbus::IllegalDataValue);
        return writeRegister(wordAt(pdu, 1), wordAt(pdu, 3));
    case modbus::WriteSingleCoil:
        if (pdu.size() != 5)
            return exceptionPdu(function, modbus::IllegalDataValue);
        return writeCoil(wordAt(pdu, 1), wordAt(pdu, 3));
    case modbus::ReadExceptionStatus: {
        QByteArray reply;
        reply.append(char(function));
        reply.append(char(m_registers[regOutputs] & 0x07));
        return reply;
    }
    case modbus::WriteMultipleRegisters: {
        if (pdu.size() < 6)
            return exceptionPdu(function, modbus::IllegalDataValue);
        const quint16 count = wordAt(pdu, 3);
        if (count == 0 || count > 123 || quint8(pdu[5]) != count * 2 || pdu.size() != 6 + count * 2)
            return exceptionPdu(function, modbus::IllegalDataValue);
        QList<quint16> values;
        for (int i = 0; i < count; ++i)
            values.append(wordAt(pdu, 6 + 2 * i));
        return writeRegisters(wordAt(pdu, 1), values);
    }
    default:
        return exceptionPdu(function, modbus::IllegalFunction);
    }
}

QByteArray RelayModel::readRegisters(quint16 first, quint16 count)
{
    const quint8 function = modbus::ReadHoldingRegisters;
    if (count == 0 || count > modbus::maxRegistersPerRead)
        return exceptionPdu(function, modbus::IllegalDataValue);
    QByteArray reply;
    reply.append(char(function));
    if (first >= journalBase) {
        const int slot = first - journalBase;
        if (slot >= journalSlots || count != journalEntryRegisters)
            return exceptionPdu(function, modbus::IllegalDataAddress);
        reply.append(char(2 * journalEntryRegisters));
        if (m_flakySlots.erase(slot) > 0)
            reply.append(QByteArray(2 * journalEntryRegisters, '\0'));
        else
            reply.append(journalEntry(slot));
        return reply;
    }
    if (first + count > registerCount)
        return exceptionPdu(function, modbus::IllegalDataAddress);
    const bool touchesLiveValues = first < 48 && first + count > 16;
    const bool touchesClock = first <= regClock + 2 && first + count > regClock;
    if (touchesLiveValues || touchesClock)
        tick();
    reply.append(char(2 * count));
    for (int reg = first; reg < first + count; ++reg)
        appendWord(reply, m_registers[size_t(reg)]);
    return reply;
}

std::optional<quint8> RelayModel::checkWrite(quint16 reg, quint16 value) const
{
    if (auto range = limits(reg))
        return (value < range->first || value > range->second)
                ? std::optional<quint8>(modbus::IllegalDataValue)
                : std::nullopt;
    switch (reg) {
    case regFactoryNumber: // 0 and 0xFFFF (an erased memory) are no numbers
        return (value >= 1 && value <= 65534) ? std::nullopt
                                              : std::optional<quint8>(modbus::IllegalDataValue);
    case regMotorHours:
        return value <= maxMotorHoursHigh ? std::nullopt
                                          : std::optional<quint8>(modbus::IllegalDataValue);
    case regInterface:
    case regPassword:
    case regPassword + 1:
    case regMotorHours + 1:
        return std::nullopt;
    case regConfiguredAddress:
        return (value >= 1 && value <= 247) ? std::nullopt
                                            : std::optional<quint8>(modbus::IllegalDataValue);
    case regMotorHours + 2:
        return value <= 59 ? std::nullopt : std::optional<quint8>(modbus::IllegalDataValue);
    case regClock: {
        const int month = value & 0xFF;
        return (month >= 1 && month <= 12 && (value >> 8) <= 99)
                ? std::nullopt
                : std::optional<quint8>(modbus::IllegalDataValue);
    }
    case regClock + 1: {
        const int day = value >> 8;
        return (day >= 1 && day <= 31 && (value & 0xFF) <= 23)
                ? std::nullopt
                : std::optional<quint8>(modbus::IllegalDataValue);
    }
    case regClock + 2:
        return ((value >> 8) <= 59 && (value & 0xFF) <= 59)
                ? std::nullopt
                : std::optional<quint8>(modbus::IllegalDataValue);
    case regSwitches0:
        return (value & ~0x3F) ? std::optional<quint8>(modbus::IllegalDataValue) : std::nullopt;
    case regSwitches1:
        return (value & ~0x07) ? std::optional<quint8>(modbus::IllegalDataValue) : std::nullopt;
    default:
        break;
    }
    if (m_typeCode == 6 && reg >= regMarks && reg < regMarks + 5)
        return ((value >> 8) <= 23 && (value & 0xFF) <= 59)
                ? std::nullopt
                : std::optional<quint8>(modbus::IllegalDataValue);
    if (m_typeCode == 6 && reg == regTimerSwitches)
        return (value & ~0x013F) ? std::optional<quint8>(modbus::IllegalDataValue) : std::nullopt;
    return modbus::IllegalDataAddress;
}

void RelayModel::store(quint16 reg, quint16 value, bool alone)
{
    ++m_writeCount;
    const bool settingMinutesFirst = m_lastWrittenRegister == regMotorHours + 2;
    m_lastWrittenRegister = reg;
    if (reg >= regMotorHours && reg <= regMotorHours + 2)
        m_runningMs = 0;
    if (reg == regMotorHours && value == 0 && alone && !settingMinutesFirst) {
        // 0 written on its own to the high word resets the whole counter. The
        // service page sets the counter as minutes, high word, low word: after
        // the minutes, 0 is just the high word of fewer than 65536 hours.
        m_registers[regMotorHours] = m_registers[regMotorHours + 1] =
                m_registers[regMotorHours + 2] = 0;
        return;
    }
    if (reg == regSwitches1 && m_typeCode != 6)
        value &= 0x06; // the tank algorithm exists on type 6 only
    if (reg >= regClock && reg <= regClock + 2) {
        setClockWord(reg - regClock, value);
        return;
    }
    m_registers[reg] = value;
}

QByteArray RelayModel::writeRegister(quint16 reg, quint16 value)
{
    QByteArray reply;
    reply.append(char(modbus::WriteSingleRegister));
    if (const auto refusal = checkWrite(reg, value))
        return exceptionPdu(modbus::WriteSingleRegister, *refusal);
    store(reg, value, true);
    appendWord(reply, reg);
    appendWord(reply, value);
    return reply;
}

QByteArray RelayModel::writeRegisters(quint16 first, const QList<quint16> &values)
{
    for (int i = 0; i < values.size(); ++i)
        if (const auto refusal = checkWrite(quint16(first + i), values[i]))
            return exceptionPdu(modbus::WriteMultipleRegisters, *refusal);
    for (int i = 0; i < values.size(); ++i)
        store(quint16(first + i), values[i], values.size() == 1);
    QByteArray reply;
    reply.append(char(modbus::WriteMultipleRegisters));
    appendWord(reply, first);
    appendWord(reply, quint16(values.size()));
    return reply;
}

void RelayModel::setOutputs(quint16 bits)
{
    m_registers[regOutputs] = bits;
    tick();
}

QByteArray RelayModel::writeCoil(quint16 coil, quint16 value)
{
    const quint8 function = modbus::WriteSingleCoil;
    if (value != 0xFF00 && value != 0x0000)
        return exceptionPdu(function, modbus::IllegalDataValue);
    const bool on = value == 0xFF00;
    quint16 outputs = m_registers[regOutputs];
    auto setBit = [&](int bit) {
        outputs = on ? quint16(outputs | (1 << bit)) : quint16(outputs & ~(1 << bit));
    };
    switch (coil) {
    case coilWork:
        setBit(0);
        break;
    case coilAlarm:
        setBit(1);
        break;
    case coilOverload:
        setBit(2);
        break;
    case coilAcknowledge:
        if (on) {
            // Acknowledging clears the alarms and restarts the motor.
            m_registers[regProtections] = 0;
            outputs = 1;
        }
        break;
    default:
        return exceptionPdu(function, modbus::IllegalDataAddress);
    }
    ++m_writeCount;
    setOutputs(outputs);
    QByteArray reply;
    reply.append(char(function));
    appendWord(reply, coil);
    appendWord(reply, value);
    return reply;
}

QByteArray RelayModel::journalEntry(int n) const
{
    if (n < 0 || n >= journalSlots || m_journal[size_t(n)].isEmpty())
        return QByteArray(2 * journalEntryRegisters, '\0');
    return m_journal[size_t(n)];
}

void RelayModel::setJournalEntry(int n, const QByteArray &bytes)
{
    if (n >= 0 && n < journalSlots)
        m_journal[size_t(n)] = bytes.leftJustified(2 * journalEntryRegisters, '\0', true);
}

void RelayModel::setFlakyJournalSlot(int n)
{
    if (n >= 0 && n < journalSlots)
        m_flakySlots.insert(n);
}

namespace {

// A relay's life as its journal tells it, over and over: power on, starts and
// stops, each protection trip followed by the reset and the renewed
// readiness, the daily motor-hours records; the sensor trips of the tank
// algorithm on type 6 only. Every known code appears within 100 entries.
constexpr int lifeOfARelay[] = {
        1,  6,  10, 7,  12, 13, 8,  16, 3,  7, 33, 5,  9,  7,  34, 5,  9,  7,  35, 5,
        9,  16, 7,  36, 5,  9,  7,  37, 5,  9, 11, 10, 14, 15, 7,  38, 5,  9,  16, 7,
        39, 5,  9,  7,  40, 5,  9,  7,  41, 5, 9,  16, 7,  8,  42, 5,  9,  30, 5,  9,
        31, 5,  9,  32, 5,  9,  43, 5,  9,  7, 44, 5,  9,  7,  8,  45, -1, 4,  2,
};
constexpr int tankTrips[] = {7, 60, 5, 9, 7, 61, 5, 9, 7, 62, 5, 9}; // at the -1 above

quint32 nextRandom(quint32 &seed)
{
    seed ^= seed << 13;
    seed ^= seed >> 17;
    seed ^= seed << 5;
    return seed;
}

bool stopsTheMotor(int code)
{
    return code == 2 || code == 8 || (code >= 30 && code <= 45) || code >= 60;
}

} // namespace

QByteArray RelayModel::makeJournalEntry(int code, const QDateTime &when, quint32 hours, int minutes,
                                        quint32 &seed) const
{
    QByteArray entry(2 * journalEntryRegisters, '\0');
    entry[0] = char(code);
    entry[1] = char(when.date().day());
    entry[2] = char(when.date().month());
    entry[3] = char(when.date().year() % 100);
    entry[4] = char(when.time().hour());
    entry[5] = char(when.time().minute());
    entry[6] = char(when.time().second());
    auto spread = [&seed](int base, int width) {
        return base + int(nextRandom(seed) % quint32(2 * width + 1)) - width;
    };
    if (code == 16) {
        for (int i = 0; i < 4; ++i)
            entry[8 + i] = char(hours >> (24 - 8 * i));
        entry[12] = char(minutes);
    } else if (code >= 30 && code <= 42) {
        // Ia, Ib, C (tenths of A), leakage (%), Ua, Ub, Uc (V) at the trip.
        const int load = nominalCurrentTenths() * 9 / 10;
        int values[7] = {spread(load, 3), spread(load, 3), spread(load, 3), spread(2, 1),
                         spread(220, 2),  spread(220, 2),  spread(220, 2)};
        const int phase = int(nextRandom(seed) % 3);
        switch (code) {
        case 30: // overvoltage
            for (int i = 4; i < 7; ++i)
                values[i] = spread(265, 3);
            break;
        case 31: // undervoltage
            for (int i = 4; i < 7; ++i)
                values[i] = spread(170, 5);
            break;
        case 33:
        case 34:
        case 35: // overload of phase A, B, C
            values[code - 33] = load * 16 / 9;
            break;
        case 36: // locked rotor: the starting current stays
            for (int i = 0; i < 3; ++i)
                values[i] = spread(load * 5, 10);
            break;
        case 37: // minimum current
            for (int i = 0; i < 3; ++i)
                values[i] = spread(load / 3, 2);
            break;
        case 38: // a voltage phase lost
            values[4 + phase] = 0;
            break;
        case 39: // a current phase lost
            values[phase] = 0;
            break;
        case 40: // asymmetry
            values[phase] = load * 6 / 10;
            break;
        case 41: // leakage
            values[3] = spread(13, 2);
            break;
        default: // 32 phase order, 42 sticking: the values look normal
            break;
        }
        for (int i = 0; i < 7; ++i) {
            entry[8 + 2 * i] = char(quint16(values[i]) >> 8);
            entry[9 + 2 * i] = char(values[i] & 0xFF);
        }
    } else if (code == 43) {
        entry[9] = char(spread(10, 5)); // 0.5 to 1.5 MOhm
    } else if (code == 44) {
        entry[8] = 0; // plus
        entry[9] = char(spread(103, 7));
    }
    return entry;
}

namespace {

// The codes of a relay's life, the tank's trips on type 6 only.
QList<int> lifeOf(int typeCode)
{
    QList<int> life;
    for (int code : lifeOfARelay) {
        if (code == -1 && typeCode == 6)
            life.append(QList<int>(std::begin(tankTrips), std::end(tankTrips)));
        else if (code != -1)
            life.append(code);
    }
    return life;
}

} // namespace

void RelayModel::setJournalLength(int entries)
{
    const QList<int> life = lifeOf(m_typeCode);
    // The current journal, and the older one whose entries are left behind
    // the empty slot that ends the current one.
    auto fill = [&](int from, int to, QDateTime when, quint32 hours, quint32 seed) {
        qint64 runningSeconds = 0;
        bool running = false;
        for (int n = 0; n < to; ++n) {
            const int code = life[n % life.size()];
            const qint64 gap = code == 5 || code == 9 ? 30 + nextRandom(seed) % 600
                                                      : 60 + nextRandom(seed) % 14400;
            QDateTime next = when.addSecs(gap);
            if (code == 16) // the daily record, at midnight
                next = QDateTime(when.date().addDays(1), QTime(0, 0), Qt::UTC);
            if (running)
                runningSeconds += when.secsTo(next);
            when = next;
            if (code == 7)
                running = true;
            else if (stopsTheMotor(code))
                running = false;
            const quint32 totalMinutes = hours * 60 + quint32(runningSeconds / 60);
            if (n >= from)
                m_journal[size_t(n)] = makeJournalEntry(code, when, totalMinutes / 60,
                                                        int(totalMinutes % 60), seed);
        }
    };
    entries = std::clamp(entries, 0, int(journalSlots));
    m_lifeStep = entries;
    m_journalNext = entries % journalSlots;
    m_journalFull = entries == journalSlots;
    for (auto &slot : m_journal)
        slot.clear();
    fill(0, entries, QDateTime(QDate(2025, 3, 3), QTime(7, 30), Qt::UTC), 1100, m_initialSeed);
    if (entries + 1 < journalSlots)
        fill(entries + 1, journalSlots, QDateTime(QDate(2024, 2, 5), QTime(7, 30), Qt::UTC), 600,
             m_initialSeed + 1);
}

void RelayModel::pushJournalEvent(int code, const QDateTime &when)
{
    quint32 seed = m_seed + quint32(m_journalNext) + 1;
    const quint32 hours =
            quint32(m_registers[regMotorHours]) << 16 | m_registers[regMotorHours + 1];
    m_journal[size_t(m_journalNext)] =
            makeJournalEntry(code, when, hours, m_registers[regMotorHours + 2] & 0xFF, seed);
    m_journalNext = (m_journalNext + 1) % journalSlots;
    m_journalFull = m_journalFull || m_journalNext == 0;
    if (!m_journalFull)
        m_journal[size_t(m_journalNext)].clear();
}

void RelayModel::setJournalRate(int perMinute, qint64 startMs)
{
    m_journalRate = JournalRate(perMinute, startMs);
}

void RelayModel::writeDueJournalEvents(qint64 nowMs)
{
    const QList<qint64> times = m_journalRate.take(nowMs);
    if (times.isEmpty())
        return;
    const QList<int> life = lifeOf(m_typeCode);
    for (qint64 ms : times)
        pushJournalEvent(life[m_lifeStep++ % life.size()],
                         QDateTime::fromMSecsSinceEpoch(ms + m_clockOffsetMs, Qt::UTC));
}

} // namespace miv::sim

#include "sim/RelayModel.h"

#include "link/ModbusFrame.h"

#include <QStringEncoder>

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

struct Limit {
    quint16 reg;
    quint16 min;
    quint16 max;
};
// The relay's own limits for its numeric settings (rows 1 and 2 follow the ratio).
constexpr Limit numericLimits[] = {
    {0x50, 1, 200}, {0x53, 11, 60}, {0x54, 20, 80}, {0x55, 10, 50}, {0x56, 5, 10},
    {0x57, 2, 10}, {0x58, 220, 220}, {0x59, 240, 280}, {0x5A, 150, 210}, {0x5B, 5, 20},
    {0x60, 40, 100}, {0x61, 0, 100}, {0x62, 1, 30}, {0x63, 1, 300}, {0x64, 1, 120},
    {0x65, 1, 250}, {0x66, 5, 100}, {0x67, 1, 120}, {0x68, 1, 250}, {0x69, 1, 30},
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
    : m_address(address), m_typeCode(typeCode), m_seed(seed ? seed : 1)
{
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

void RelayModel::tick()
{
    auto jitter = [this](int base, int spread) { return quint16(base + int(random() % quint32(2 * spread + 1)) - spread); };
    const bool running = isMotorRunning();
    m_registers[16] = 55;
    m_registers[17] = jitter(500, 3);
    m_registers[18] = running ? jitter(3, 1) : 0;
    m_registers[19] = 12;
    m_registers[20] = 0x0300 | 40;
    for (int phase = 0; phase < 3; ++phase) {
        m_registers[size_t(21 + phase)] = running ? jitter(120, 4) : 0;
        m_registers[size_t(24 + phase)] = jitter(220, 2);
        m_registers[size_t(32 + phase)] = 480;
        m_registers[size_t(36 + phase)] = 215;
    }
    m_registers[27] = running ? 35 : 0;
    m_registers[28] = quint16(0x0300 | (running ? 45 : 20));
    m_registers[35] = running ? 2 : 0;
    m_registers[42] = running ? jitter(85, 2) : 0;
    m_registers[43] = running ? jitter(67, 2) : 0;
    m_registers[44] = running ? jitter(42, 2) : 0;
    m_registers[45] = running ? jitter(79, 2) : 0;
    writeClock();
}

void RelayModel::writeClock()
{
    const QDateTime now = QDateTime::currentDateTime().addSecs(m_clockOffsetSeconds);
    const QDate date = now.date();
    const QTime time = now.time();
    m_registers[regClock] = bytePair(date.year() % 100, date.month());
    m_registers[regClock + 1] = bytePair(date.day(), time.hour());
    m_registers[regClock + 2] = bytePair(time.minute(), time.second());
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
    const quint8 function = quint8(pdu[0]);
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
        return (value < range->first || value > range->second) ? std::optional<quint8>(modbus::IllegalDataValue)
                                                               : std::nullopt;
    switch (reg) {
    case regFactoryNumber:
    case regInterface:
    case regPassword:
    case regPassword + 1:
    case regMotorHours:
    case regMotorHours + 1:
        return std::nullopt;
    case regConfiguredAddress:
        return (value >= 1 && value <= 247) ? std::nullopt : std::optional<quint8>(modbus::IllegalDataValue);
    case regMotorHours + 2:
        return value <= 59 ? std::nullopt : std::optional<quint8>(modbus::IllegalDataValue);
    case regClock: {
        const int month = value & 0xFF;
        return (month >= 1 && month <= 12 && (value >> 8) <= 99) ? std::nullopt
                                                                 : std::optional<quint8>(modbus::IllegalDataValue);
    }
    case regClock + 1: {
        const int day = value >> 8;
        return (day >= 1 && day <= 31 && (value & 0xFF) <= 23) ? std::nullopt
                                                               : std::optional<quint8>(modbus::IllegalDataValue);
    }
    case regClock + 2:
        return ((value >> 8) <= 59 && (value & 0xFF) <= 59) ? std::nullopt
                                                            : std::optional<quint8>(modbus::IllegalDataValue);
    case regSwitches0:
        return (value & ~0x3F) ? std::optional<quint8>(modbus::IllegalDataValue) : std::nullopt;
    case regSwitches1:
        return (value & ~0x07) ? std::optional<quint8>(modbus::IllegalDataValue) : std::nullopt;
    default:
        break;
    }
    if (m_typeCode == 6 && reg >= regMarks && reg < regMarks + 5)
        return ((value >> 8) <= 23 && (value & 0xFF) <= 59) ? std::nullopt
                                                            : std::optional<quint8>(modbus::IllegalDataValue);
    if (m_typeCode == 6 && reg == regTimerSwitches)
        return (value & ~0x013F) ? std::optional<quint8>(modbus::IllegalDataValue) : std::nullopt;
    return modbus::IllegalDataAddress;
}

void RelayModel::store(quint16 reg, quint16 value)
{
    ++m_writeCount;
    if (reg == regMotorHours && value == 0) {
        // Writing 0 to the high word resets the whole counter.
        m_registers[regMotorHours] = m_registers[regMotorHours + 1] = m_registers[regMotorHours + 2] = 0;
        return;
    }
    if (reg == regSwitches1 && m_typeCode != 6)
        value &= 0x06; // the tank algorithm exists on type 6 only
    if (reg >= regClock && reg <= regClock + 2) {
        writeClock();
        m_registers[reg] = value;
        const QDate date(2000 + (m_registers[regClock] >> 8), m_registers[regClock] & 0xFF,
                         m_registers[regClock + 1] >> 8);
        const QTime time(m_registers[regClock + 1] & 0xFF, m_registers[regClock + 2] >> 8,
                         m_registers[regClock + 2] & 0xFF);
        if (date.isValid() && time.isValid())
            m_clockOffsetSeconds = QDateTime::currentDateTime().secsTo(QDateTime(date, time));
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
    store(reg, value);
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
        store(quint16(first + i), values[i]);
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
    auto setBit = [&](int bit) { outputs = on ? quint16(outputs | (1 << bit)) : quint16(outputs & ~(1 << bit)); };
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

void RelayModel::setJournalLength(int entries)
{
    static const int codes[] = {1, 6, 7, 16, 8, 33, 5, 7, 43, 44, 8, 30, 31, 9, 7, 36, 40, 41, 2};
    static const int tankCodes[] = {60, 61, 62};
    const QDateTime start(QDate(2026, 11, 1), QTime(8, 0, 0));
    for (int n = 0; n < journalSlots; ++n) {
        if (n >= entries) {
            m_journal[size_t(n)].clear();
            continue;
        }
        int code = codes[n % std::size(codes)];
        if (m_typeCode == 6 && n % 11 == 10)
            code = tankCodes[(n / 11) % 3];
        const QDateTime when = start.addSecs(qint64(n) * 7 * 3600 + n * 61);
        QByteArray entry(2 * journalEntryRegisters, '\0');
        entry[0] = char(code);
        entry[1] = char(when.date().day());
        entry[2] = char(when.date().month());
        entry[3] = char(when.date().year() % 100);
        entry[4] = char(when.time().hour());
        entry[5] = char(when.time().minute());
        entry[6] = char(when.time().second());
        if (code == 16) {
            const quint32 hours = 1200 + quint32(n);
            entry[8] = char(hours >> 24);
            entry[9] = char(hours >> 16);
            entry[10] = char(hours >> 8);
            entry[11] = char(hours);
            entry[12] = char(30);
        } else if (code >= 30 && code <= 42) {
            const quint16 details[] = {quint16(123 + n), 124, 125, 5, 220, 221, 222};
            for (int i = 0; i < 7; ++i) {
                entry[8 + 2 * i] = char(details[i] >> 8);
                entry[9 + 2 * i] = char(details[i] & 0xFF);
            }
        } else if (code == 43) {
            entry[9] = char(15);
        } else if (code == 44) {
            entry[8] = char(0);
            entry[9] = char(95);
        }
        m_journal[size_t(n)] = entry;
    }
}

#include "link/ModbusFrame.h"

#include <array>

namespace miv::modbus {
namespace {

constexpr std::array<quint16, 256> makeCrcTable()
{
    std::array<quint16, 256> table{};
    for (int i = 0; i < 256; ++i) {
        quint16 crc = quint16(i);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
        table[size_t(i)] = crc;
    }
    return table;
}
constexpr auto crcTable = makeCrcTable();

void appendWord(QByteArray &frame, quint16 value)
{
    frame.append(char(value >> 8));
    frame.append(char(value & 0xFF));
}

QByteArray frameOf(quint8 address, quint8 function, quint16 a, quint16 b)
{
    QByteArray frame;
    frame.reserve(8);
    frame.append(char(address));
    frame.append(char(function));
    appendWord(frame, a);
    appendWord(frame, b);
    return withCrc(frame);
}

quint8 byteAt(QByteArrayView bytes, qsizetype i)
{
    return quint8(bytes[i]);
}
quint16 wordAt(QByteArrayView bytes, qsizetype i)
{
    return quint16(byteAt(bytes, i) << 8 | byteAt(bytes, i + 1));
}

} // namespace

quint16 crc16(QByteArrayView bytes)
{
    quint16 crc = 0xFFFF;
    for (char c : bytes)
        crc = quint16((crc >> 8) ^ crcTable[(crc ^ quint8(c)) & 0xFF]);
    return crc;
}

QByteArray withCrc(QByteArray frame)
{
    const quint16 crc = crc16(frame);
    frame.append(char(crc & 0xFF));
    frame.append(char(crc >> 8));
    return frame;
}

bool hasValidCrc(QByteArrayView frame)
{
    if (frame.size() < 4)
        return false;
    const quint16 crc = crc16(frame.first(frame.size() - 2));
    return byteAt(frame, frame.size() - 2) == (crc & 0xFF)
            && byteAt(frame, frame.size() - 1) == (crc >> 8);
}

QByteArray readHoldingRegisters(quint8 address, quint16 first, quint16 count)
{
    return frameOf(address, ReadHoldingRegisters, first, count);
}

QByteArray writeSingleRegister(quint8 address, quint16 reg, quint16 value)
{
    return frameOf(address, WriteSingleRegister, reg, value);
}

QByteArray writeSingleCoil(quint8 address, quint16 coil, quint16 value)
{
    return frameOf(address, WriteSingleCoil, coil, value);
}

QByteArray readExceptionStatus(quint8 address)
{
    QByteArray frame;
    frame.append(char(address));
    frame.append(char(ReadExceptionStatus));
    return withCrc(frame);
}

QByteArray writeMultipleRegisters(quint8 address, quint16 first, const QList<quint16> &values)
{
    QByteArray frame;
    frame.append(char(address));
    frame.append(char(WriteMultipleRegisters));
    appendWord(frame, first);
    appendWord(frame, quint16(values.size()));
    frame.append(char(values.size() * 2));
    for (quint16 value : values)
        appendWord(frame, value);
    return withCrc(frame);
}

std::optional<int> replyLength(QByteArrayView request)
{
    if (request.size() < 2)
        return std::nullopt;
    switch (byteAt(request, 1)) {
    case ReadHoldingRegisters:
        if (request.size() < 6)
            return std::nullopt;
        return 5 + 2 * wordAt(request, 4);
    case WriteSingleCoil:
    case WriteSingleRegister:
    case WriteMultipleRegisters:
        return 8;
    case ReadExceptionStatus:
        return 5;
    default:
        return std::nullopt;
    }
}

std::optional<int> requestLength(QByteArrayView head, bool *unknown)
{
    if (unknown)
        *unknown = false;
    if (head.size() < 2)
        return std::nullopt;
    switch (byteAt(head, 1)) {
    case ReadHoldingRegisters:
    case WriteSingleCoil:
    case WriteSingleRegister:
        return 8;
    case ReadExceptionStatus:
        return 4;
    case WriteMultipleRegisters:
        if (head.size() < 7)
            return std::nullopt;
        return 9 + byteAt(head, 6);
    default:
        if (unknown)
            *unknown = true;
        return std::nullopt;
    }
}

ReplyMatch findReply(QByteArrayView request, QByteArrayView received)
{
    ReplyMatch match;
    const auto normalLength = replyLength(request);
    if (!normalLength || request.size() < 2)
        return match;
    const quint8 address = byteAt(request, 0);
    const quint8 function = byteAt(request, 1);
    for (qsizetype offset = 0; offset + 1 < received.size(); ++offset) {
        if (byteAt(received, offset) != address)
            continue;
        const quint8 replyFunction = byteAt(received, offset + 1);
        const bool exception = replyFunction == (function | 0x80);
        if (replyFunction != function && !exception)
            continue;
        const int length = exception ? exceptionReplyLength : *normalLength;
        if (offset + length > received.size())
            continue; // maybe later: keep looking for an earlier complete frame
        const QByteArrayView frame = received.sliced(offset, length);
        if (!hasValidCrc(frame))
            continue;
        if (!exception && function == ReadHoldingRegisters && byteAt(frame, 2) != length - 5)
            continue;
        if (!exception && (function == WriteSingleRegister || function == WriteSingleCoil)
            && frame.first(6) != request.first(6))
            continue; // a write is answered with its own echo
        match.kind = exception ? ReplyMatch::Exception : ReplyMatch::Normal;
        match.offset = int(offset);
        match.length = length;
        match.exceptionCode = exception ? byteAt(frame, 2) : 0;
        return match;
    }
    return match;
}

QByteArray toHex(QByteArrayView bytes)
{
    return bytes.toByteArray().toHex(' ').toUpper();
}

} // namespace miv::modbus

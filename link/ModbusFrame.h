#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <optional>

// Modbus RTU frames: building requests, knowing a reply's length from its
// request, and checking a received frame. Shared by the master and the
// simulated relays.
namespace miv::modbus {

enum Function : quint8 {
    ReadHoldingRegisters = 0x03,
    WriteSingleCoil = 0x05,
    WriteSingleRegister = 0x06,
    ReadExceptionStatus = 0x07,
    WriteMultipleRegisters = 0x10,
};

enum ExceptionCode : quint8 {
    IllegalFunction = 0x01,
    IllegalDataAddress = 0x02,
    IllegalDataValue = 0x03,
    ServerDeviceFailure = 0x04,
};

constexpr quint8 broadcastAddress = 0;
constexpr int maxRegistersPerRead = 125;
constexpr int maxFrameLength = 256;

quint16 crc16(QByteArrayView bytes);
// The frame with its CRC appended, low byte first.
QByteArray withCrc(QByteArray frame);
bool hasValidCrc(QByteArrayView frame);

QByteArray readHoldingRegisters(quint8 address, quint16 first, quint16 count);
QByteArray writeSingleRegister(quint8 address, quint16 reg, quint16 value);
QByteArray writeSingleCoil(quint8 address, quint16 coil, quint16 value);
QByteArray readExceptionStatus(quint8 address);
QByteArray writeMultipleRegisters(quint8 address, quint16 first, const QList<quint16> &values);

// Length in bytes (CRC included) of the normal reply to a request frame,
// or nullopt for a frame this module cannot answer for.
std::optional<int> replyLength(QByteArrayView request);
// Length of a request frame whose first bytes are given, when it can be told
// already (function 16 needs its byte count); nullopt when more bytes are needed
// or the function is unknown (then `unknown` is set).
std::optional<int> requestLength(QByteArrayView head, bool *unknown = nullptr);

constexpr int exceptionReplyLength = 5;

// What a received buffer holds for a given request.
struct ReplyMatch
{
    enum Kind { Incomplete, Normal, Exception } kind = Incomplete;
    int offset = 0; // where the frame starts in the buffer
    int length = 0; // frame length with CRC
    quint8 exceptionCode = 0;
};
// Looks for the first valid reply to `request` in `received`: right address,
// right function (or its exception), right byte count, right CRC. Bytes before
// it (line noise) are skipped; a frame that fails any test is never matched.
ReplyMatch findReply(QByteArrayView request, QByteArrayView received);

QByteArray toHex(QByteArrayView bytes); // "01 03 00 50"

} // namespace miv::modbus

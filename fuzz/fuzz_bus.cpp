// The bus's reply checking and decoding: the fuzz input plays the relay's
// side of the line. It is a series of operations, each with the bytes that
// come back for it:
//   operation   byte: which call (status, read, write, coil, write block)
//   address     byte
//   a, b        two words: first register and count, register and value, ...
//   how         byte: bit 0 the reply gets its correct CRC appended (so that
//               the checks behind the CRC are reached), bit 1 no wait for a
//               reply at all (the silent path with its retries), bits 2-3 the
//               retries, bits 4-7 the size of the pieces the reply comes in
//   reply       a length byte and that many bytes
// The port gives the reply in pieces, each time the bus waits; once the bytes
// are used up a wait for more finds the port gone (a port failure), so that no
// run waits out a real time-out. The next operation opens it again, with the
// bus as it was left. The line runs at no time per character, so the bus
// keeps no silences either.
//
// Also checked each time: modbus::findReply over the request and the reply
// bytes, and the frame helpers on the reply bytes.
#include "FuzzInput.h"
#include "link/ModbusFrame.h"
#include "link/RelayBus.h"

#include <QList>
#include <algorithm>

using namespace miv;

namespace {

// A serial line whose far end is the fuzz input.
class ScriptedLine final : public QIODevice
{
public:
    void openLine()
    {
        if (!isOpen())
            open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    }
    // The bytes that come back after the next request, in pieces of `pieceSize`.
    void setNextReply(const QByteArray &bytes, int pieceSize)
    {
        m_nextReply = bytes;
        m_pieceSize = std::max(1, pieceSize);
    }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override
    {
        return m_readable.size() + QIODevice::bytesAvailable();
    }

    bool waitForReadyRead(int msecs) override
    {
        if (!isOpen())
            return false;
        if (!m_coming.isEmpty()) {
            m_readable += m_coming.left(m_pieceSize);
            m_coming.remove(0, m_pieceSize);
            return true;
        }
        // Nothing more will come: rather than let the bus wait out its time,
        // the port goes away as an unplugged adapter does.
        if (msecs > 0) {
            setErrorString(QStringLiteral("the line is gone"));
            close();
        }
        return false;
    }
    bool waitForBytesWritten(int) override { return isOpen(); }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 count = std::min<qint64>(maxSize, m_readable.size());
        std::copy_n(m_readable.constData(), count, data);
        m_readable.remove(0, count);
        return count;
    }
    qint64 writeData(const char *, qint64 size) override
    {
        m_coming += m_nextReply;
        m_nextReply.clear();
        return size;
    }

private:
    QByteArray m_nextReply;
    QByteArray m_coming; // on its way, given out a piece per wait
    QByteArray m_readable; // arrived, not read yet
    int m_pieceSize = 1;
};

enum class Operation { Status, Read, WriteRegister, WriteCoil, WriteBlock, Count };

QList<quint16> blockValues(quint16 first, quint16 count)
{
    QList<quint16> values;
    for (int i = 0; i < count % 124; ++i)
        values.append(quint16(first + i * 257));
    return values;
}

QByteArray requestFor(Operation operation, quint8 address, quint16 a, quint16 b)
{
    switch (operation) {
    case Operation::Status:
        return modbus::readExceptionStatus(address);
    case Operation::Read:
        return modbus::readHoldingRegisters(address, a, b);
    case Operation::WriteRegister:
        return modbus::writeSingleRegister(address, a, b);
    case Operation::WriteCoil:
        return modbus::writeSingleCoil(address, a, b);
    case Operation::WriteBlock:
        return modbus::writeMultipleRegisters(address, a, blockValues(a, b));
    case Operation::Count:
        break;
    }
    return {};
}

// What findReply says must be a frame of the buffer that answers the request.
void checkFraming(const QByteArray &request, const QByteArray &received)
{
    const modbus::ReplyMatch match = modbus::findReply(request, received);
    (void)modbus::requestLength(received);
    (void)modbus::replyLength(received);
    (void)modbus::toHex(received.left(16));
    if (match.kind == modbus::ReplyMatch::Incomplete)
        return;
    FUZZ_EXPECT(match.offset >= 0 && match.length >= 5
                && match.offset + match.length <= received.size());
    const QByteArrayView frame = QByteArrayView(received).sliced(match.offset, match.length);
    FUZZ_EXPECT(modbus::hasValidCrc(frame));
    FUZZ_EXPECT(frame[0] == request[0]);
    FUZZ_EXPECT(quint8(frame[1])
                == (quint8(request[1]) | (match.kind == modbus::ReplyMatch::Exception ? 0x80 : 0)));
}

// A request's outcome as the bus's contract describes it: an answer of the
// asked function and its size (a broadcast write's is empty), a refusal of
// three bytes with its code, or a failure with a text and no reply.
void checkReply(const BusReply &reply, quint8 address, quint8 function, qsizetype answerSize)
{
    switch (reply.kind) {
    case BusReply::Kind::Answered:
        FUZZ_EXPECT(reply.reply.size() == answerSize);
        if (answerSize == 0)
            return;
        FUZZ_EXPECT(quint8(reply.reply[0]) == address && quint8(reply.reply[1]) == function);
        return;
    case BusReply::Kind::Refused:
        FUZZ_EXPECT(reply.reply.size() == 3 && quint8(reply.reply[0]) == address);
        FUZZ_EXPECT(quint8(reply.reply[1]) == (function | 0x80));
        FUZZ_EXPECT(quint8(reply.reply[2]) == reply.exceptionCode);
        return;
    case BusReply::Kind::NoAnswer:
    case BusReply::Kind::PortFailure:
        FUZZ_EXPECT(reply.reply.isEmpty() && !reply.text.isEmpty());
        return;
    }
}

void runOperation(RelayBus &bus, Operation operation, quint8 address, quint16 a, quint16 b)
{
    const qsizetype echoSize = address == modbus::broadcastAddress ? 0 : 7;
    switch (operation) {
    case Operation::Status:
        checkReply(bus.askStatus(address, b % 2 ? std::optional<int>(0) : std::nullopt), address,
                   modbus::ReadExceptionStatus, 3);
        break;
    case Operation::Read: {
        const BusReply reply = bus.askRegisters(address, a, b);
        checkReply(reply, address, modbus::ReadHoldingRegisters, 3 + 2 * b);
        if (reply.answered())
            FUZZ_EXPECT(quint8(reply.reply[2]) == 2 * b);
        break;
    }
    case Operation::WriteRegister:
        checkReply(bus.askWriteRegister(address, a, b), address, modbus::WriteSingleRegister,
                   echoSize);
        break;
    case Operation::WriteCoil:
        checkReply(bus.askWriteCoil(address, a, b), address, modbus::WriteSingleCoil, echoSize);
        break;
    case Operation::WriteBlock:
        checkReply(bus.askWriteRegisters(address, a, blockValues(a, b)), address,
                   modbus::WriteMultipleRegisters, echoSize);
        break;
    case Operation::Count:
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput input(data, size);
    ScriptedLine line;
    RelayBus bus(&line);
    for (int step = 0; step < 16 && !input.atEnd(); ++step) {
        const auto operation = Operation(input.byte() % int(Operation::Count));
        const quint8 address = input.byte();
        const quint16 a = input.word();
        const quint16 b = input.word();
        const quint8 how = input.byte();
        QByteArray reply = input.shortBytes();
        if (how & 1)
            reply = modbus::withCrc(reply);

        RelayBus::Timing timing;
        timing.baudRate = 9600;
        timing.bitsPerCharacter = 0; // no time on the wire: no silences to keep
        timing.replyTimeoutMs = (how & 2) ? 0 : 60000;
        timing.scanTimeoutMs = timing.replyTimeoutMs;
        timing.retries = (how >> 2) & 3;
        bus.setTiming(timing);

        const QByteArray request = requestFor(operation, address, a, b);
        if (!request.isEmpty())
            checkFraming(request, reply);
        line.openLine();
        line.setNextReply(reply, how >> 4);
        runOperation(bus, operation, address, a, b);
    }
    (void)bus.strayInput();
    return 0;
}

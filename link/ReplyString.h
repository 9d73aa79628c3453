#pragma once

#include <QByteArray>

namespace miv {

// The reply string of a bus operation: the relay's reply frame without its CRC,
// at most 255 bytes: character 1 the relay address, 2 the function code,
// 3 the byte count, then the data. Fewer than 5 characters means no answer.
using ReplyString = QByteArray;

// Register k of a reply, counted from the first register asked for, high byte
// first; 0 for a reply of fewer than 5 characters and for a register beyond
// the reply's end.
inline quint16 replyWord(const ReplyString &reply, int k)
{
    if (reply.size() < 5)
        return 0;
    const int high = 3 + 2 * k; // character 4 + 2k, counted from 1
    if (k < 0 || high + 1 >= reply.size())
        return 0;
    return quint16(quint8(reply[high]) << 8 | quint8(reply[high + 1]));
}

// Bit b of a word, bit 0 the least significant.
inline int replyBit(quint16 word, int b)
{
    return (word >> b) & 1;
}

// Byte k of a reply's data (character 4 + k); 0 beyond the end.
inline quint8 replyByte(const ReplyString &reply, int k)
{
    const int index = 3 + k;
    return (k >= 0 && index < reply.size()) ? quint8(reply[index]) : 0;
}

} // namespace miv

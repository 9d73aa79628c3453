#pragma once

#include <algorithm>
#include <QtGlobal>

namespace miv {

// How the relay packs its values into the words of the register map
// (core/RegisterMap.h): read and written through these alone.

// The bus addresses a relay takes.
namespace RelayAddress {
constexpr int first = 1;
constexpr int last = 247;
constexpr bool isValid(int address)
{
    return address >= first && address <= last;
}
} // namespace RelayAddress

// A word's low byte (a byte-wide value, minutes, a month) and its high byte.
constexpr int lowByte(quint16 word)
{
    return word & 0xFF;
}
constexpr int highByte(quint16 word)
{
    return word >> 8;
}

// The motor resource as the relay counts it: registers 112 (hours, high word),
// 113 (hours, low word) and the low byte of 114 (minutes).
struct MotorResource
{
    quint32 hours = 0;
    int minutes = 0;
};
constexpr MotorResource motorResource(quint16 hoursHigh, quint16 hoursLow, quint16 minutesWord)
{
    return {quint32(hoursHigh) << 16 | hoursLow, lowByte(minutesWord)};
}

// The words "Установить мр" writes, in its order: the minutes (59 when more),
// the hours' high word, the hours' low word.
struct MotorResourceWords
{
    quint16 minutes;
    quint16 hoursHigh;
    quint16 hoursLow;
};
constexpr MotorResourceWords motorResourceWords(quint32 hours, quint32 minutes)
{
    return {quint16(std::min<quint32>(minutes, 59)), quint16(hours >> 16), quint16(hours & 0xFFFF)};
}

} // namespace miv

#pragma once

#include <QtGlobal>

namespace miv {

// Where a relay keeps what the program reads and writes: every register,
// block and coil, by name. The Modbus function codes belong to the framing
// (link/ModbusFrame.h). The simulator keeps its own copy of these numbers on
// purpose: it plays the relay, and one shared table would hide a wrong
// number on both sides.
namespace RelayRegister {

// Identification: the name (10 characters, Windows-1251, the sixth the type
// digit), the software version word and the factory number, read as one block.
constexpr quint16 name = 0;
constexpr quint16 nameCount = 5;
constexpr quint16 softwareVersion = 5;
constexpr quint16 factoryNumber = 6;
constexpr quint16 identityCount = 7;

// The access block: configured address, interface word, the password in two
// registers (two characters each, high byte first), read as 20 registers.
constexpr quint16 accessBlock = 0x40;
constexpr quint16 accessBlockCount = 20;
constexpr quint16 configuredAddress = 0x40;
constexpr quint16 interfaceWord = 0x41;
constexpr quint16 password = 0x42;
constexpr quint16 passwordCount = 2;

// The two numeric configuration blocks, read 32 registers at a time.
constexpr quint16 firstConfigBlock = 0x50;
constexpr quint16 secondConfigBlock = 0x60;
constexpr quint16 configBlockCount = 32;

// Motor hours: hours high word, hours low word, minutes in the low byte;
// writing 0 to the first resets the counter. Read as 8 registers, or as 11
// when the timer marks (registers 6 to 10 of that read) come along.
constexpr quint16 motorHours = 0x70;
constexpr quint16 motorHoursCount = 8;
constexpr quint16 motorHoursWithTimerMarksCount = 11;
constexpr quint16 timerMarksInMotorHoursRead = 6;

// The timer of a type-6 relay: five marks (hour × 256 + minute) and the
// switch word of the six intervals and the timer.
constexpr quint16 firstTimerMark = 0x76;
constexpr quint16 timerMarkCount = 5;
constexpr quint16 timerSwitches = 0x82;

// The two switch words of the protections, bit per switch row.
constexpr quint16 switchWords = 0x80;
constexpr quint16 switchWordCount = 2;

// The event journal: entry n (0-99) is read as 11 registers from
// journal + n; the relay answers each such address with the whole entry.
constexpr quint16 journal = 0x400;
constexpr quint16 journalEntryCount = 11;
constexpr int journalEntries = 100;

} // namespace RelayRegister

// The output coils: "Работа", "Авария", "Перегрузка", and the one that
// acknowledges the alarms.
namespace RelayCoil {
constexpr quint16 work = 768;
constexpr quint16 alarm = 769;
constexpr quint16 overload = 770;
constexpr quint16 acknowledge = 771;
} // namespace RelayCoil

} // namespace miv

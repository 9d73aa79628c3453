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

// The relay's clock: year within the century × 256 + month, day × 256 +
// hour, minute × 256 + second; written one register at a time in this order.
constexpr quint16 clock = 0x73;
constexpr quint16 clockCount = 3;

// The live values: block A, registers 16 to 47, and block B, the motor
// resource and the clock, registers 112 to 121; read whole at each refresh.
constexpr quint16 liveBlockA = 16;
constexpr quint16 liveBlockACount = 32;
constexpr quint16 liveBlockB = 0x70;
constexpr quint16 liveBlockBCount = 10;
constexpr quint16 insulation = 16; // low byte, tenths of MΩ
constexpr quint16 frequency = 17; // tenths of Hz
constexpr quint16 asymmetry = 18; // low byte, %
constexpr quint16 startLimitEnergy = 19; // low byte
constexpr quint16 startLimitTemperature = 20; // temperature word
constexpr quint16 phaseCurrent = 21; // 21, 22, 23: tenths of A
constexpr quint16 phaseVoltage = 24; // 24, 25, 26: V
constexpr quint16 thermalEnergy = 27; // low byte
constexpr quint16 motorTemperature = 28; // temperature word
constexpr quint16 startLimitCurrent = 32; // 32, 33, 34: tenths of A
constexpr quint16 leakageCurrent = 35; // %
constexpr quint16 startLimitVoltage = 36; // 36, 37, 38: V
constexpr quint16 protectionFlags = 39; // bits: the protection lamps, bit 14 start limitation
constexpr quint16 outputRelays = 40; // bits 0..2: "Работа", "Авария", "Перегрузка"
constexpr quint16 inputs = 41; // bits: inputs and level sensors
constexpr quint16 cosPhi = 42; // low byte, hundredths
constexpr quint16 activePower = 43; // tenths of kW
constexpr quint16 reactivePower = 44; // tenths of kvar
constexpr quint16 apparentPower = 45; // tenths of kVA
constexpr quint16 motorMinutes = 0x72; // low byte

// What a row of the line overview needs, read as one block: the phase
// currents, the motor temperature and the three status words (registers 21 to 41).
constexpr quint16 overviewBlock = phaseCurrent;
constexpr quint16 overviewBlockCount = inputs - phaseCurrent + 1;

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
constexpr quint16 on = 0xFF00;
constexpr quint16 off = 0x0000;
constexpr quint16 work = 768;
constexpr quint16 alarm = 769;
constexpr quint16 overload = 770;
constexpr quint16 acknowledge = 771;
} // namespace RelayCoil

} // namespace miv

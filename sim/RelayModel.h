#pragma once

#include "sim/JournalRate.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <array>
#include <optional>
#include <set>

namespace miv::sim {

// One simulated relay: the registers and coils the configurator reads and
// writes, with plausible values. It answers Modbus requests at the level of
// the protocol data unit (function code and data, no address or CRC).
//
// Register map:
//   0-4   name, 10 characters (Windows-1251), character 6 the type digit
//   5     software version word, 6 factory number
//   16-47 live values: a motor that follows output "Работа" (register 40 bit 0)
//   39    protection flags, 41 inputs (set on demand)
//   64    configured address, 65 interface word, 66-67 password
//   80-106 configuration blocks (0x50-0x5B, 0x60-0x6A), limits enforced
//   112-114 motor hours (high word, low word, minutes), counting while the
//         motor runs; 115-117 clock (year·256+month, day·256+hour,
//         minute·256+second), running on from the time last set
//   118-122 timer marks, type 6 only; 128-129 switch words; 130 timer switches
//   0x400+n  journal entry n: reading 11 registers there gives the whole entry
// Coils 768-771: outputs "Работа", "Авария", "Перегрузка", acknowledge.
class RelayModel
{
public:
    static constexpr int registerCount = 0x90;
    static constexpr int factoryNumberRegister = 6;
    static constexpr int interfaceWordRegister = 65; // the relay's own serial settings
    static constexpr int journalBase = 0x400;
    static constexpr int journalSlots = 100;
    static constexpr int journalEntryRegisters = 11;

    RelayModel(quint8 address, int typeCode, quint32 seed = 1);

    quint8 address() const { return m_address; }
    int typeCode() const { return m_typeCode; }

    // Answers one request PDU (function + data) with a reply PDU, or with an
    // exception PDU (function | 0x80, code).
    QByteArray handle(const QByteArray &pdu);

    quint16 registerValue(int reg) const;
    void setRegister(int reg, quint16 value); // no limits: for tests and setup
    bool isMotorRunning() const;
    int writeCount() const { return m_writeCount; }

    // Register 39 (protection flags: the lamps, bit 14 start limitation) and
    // register 41 (inputs and level sensors), as the relay would show them.
    void setStatusBits(quint16 bits);
    void setInputs(quint16 bits);

    // Journal entry n as its 22 bytes.
    QByteArray journalEntry(int n) const;
    void setJournalEntry(int n, const QByteArray &bytes);
    // Entries 0..n-1 hold events of every kind, oldest first; slot n is empty
    // (code 0); the slots after it hold older entries left over from before,
    // which a reader that stops at the empty slot never shows.
    void setJournalLength(int entries);
    // A new event as the relay writes it into its ring of 100 slots: into the
    // slot after the newest entry, going round from slot 99 to slot 0. Until
    // the ring is full the slot after the new entry is emptied, so that a
    // reading ends there; once it went round, every slot holds an entry and a
    // reading lists all 100 in slot order, the newest somewhere in between.
    // Dated `when` (the relay's own clock), its details as the journal's
    // other entries of that code.
    void pushJournalEvent(int code, const QDateTime &when);
    // Events that keep coming while the simulator runs: `perMinute` a minute
    // from `startMs` (the PC's time, ms since the epoch) on, each written by
    // pushJournalEvent when its time has come, dated then on the relay's
    // clock, their codes going on through the relay's life where its journal
    // left it. The relay writes them when it is next asked (handle()), so a
    // master reads what the relay would have written by then. 0: none.
    void setJournalRate(int perMinute, qint64 startMs);
    // Writes the events whose time came by `nowMs`.
    void writeDueJournalEvents(qint64 nowMs);
    // Slot n answers its first read with code 0 (the relay is still writing
    // it), and with its entry from then on.
    void setFlakyJournalSlot(int n);
    // Refuses a function with exception 01, as a relay of another firmware may
    // (for tests: a relay that refuses the status query is still there).
    void setRefusedFunction(quint8 function) { m_refusedFunction = function; }

    // Lets the live values move one step (called before each read of them).
    void tick();
    // The live values move by another seed from now on: a second unit made
    // as a copy of this one.
    void reseedValues(quint32 seed) { m_seed = seed ? seed : 1; }

    // The raw limits of a configuration register, when it has some.
    std::optional<std::pair<quint16, quint16>> limits(int reg) const;

private:
    QByteArray readRegisters(quint16 first, quint16 count);
    QByteArray writeRegister(quint16 reg, quint16 value);
    QByteArray writeRegisters(quint16 first, const QList<quint16> &values);
    QByteArray writeCoil(quint16 coil, quint16 value);
    std::optional<quint8> checkWrite(quint16 reg, quint16 value) const;
    void store(quint16 reg, quint16 value, bool alone);
    void setOutputs(quint16 bits);
    void writeClock();
    void setClockWord(int index, quint16 value);
    void countMotorHours(bool running, qint64 nowMs);
    int nominalCurrentTenths() const;
    QByteArray makeJournalEntry(int code, const QDateTime &when, quint32 hours, int minutes,
                                quint32 &seed) const;
    quint32 random();

    quint8 m_address;
    int m_typeCode;
    quint32 m_initialSeed;
    quint32 m_seed;
    std::array<quint16, registerCount> m_registers{};
    std::array<QByteArray, journalSlots> m_journal;
    std::set<int> m_flakySlots;
    int m_journalNext = 0; // the slot the next event goes to
    bool m_journalFull = false; // every slot holds an entry: no empty slot ends a reading
    JournalRate m_journalRate;
    int m_lifeStep = 0; // the relay's life's next event (setJournalRate)
    qint64 m_clockOffsetMs = 0; // the relay's clock minus the PC's UTC time
    qint64 m_lastTickMs = 0;
    qint64 m_runningMs = 0; // running time not yet counted as a minute
    double m_load = 0; // motor current as a share of the nominal current
    double m_temperature = 20; // °C
    int m_lastWrittenRegister = -1;
    int m_writeCount = 0;
    std::optional<quint8> m_refusedFunction;
};

} // namespace miv::sim

#pragma once

#include <map>
#include <QByteArray>
#include <QList>
#include <QList>
#include <optional>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace miv {

// Why a relay's settings were recorded.
enum class SettingsKind {
    AsFound, // a configuration read: what the relay held when it was found
    AsLeft, // the read-back after a write: what the relay was left with
    Approved, // set by an engineer as the settings the relay must hold
};

// The raw register values of a relay's settings, by register: the twelve and
// the eleven parameter registers, the two switch words and, for a relay with
// a timer, the five time marks and the timer's switch word. The motor hours
// (a counter, not a setting) and the password are never part of it.
using SettingsRegisters = std::map<quint16, quint16>;

// The relay an operation worked on, where and as it was identified.
struct RelaySighting
{
    QString port; // the port the relay was read over; empty when unknown
    quint8 address = 0; // bus address
    quint16 factoryNumber = 0;
    quint16 typeCode = 0;
    QString deviceName;
    quint16 softwareVersion = 0;
};

// One configuration read as an operation hands it to the register.
struct SettingsRecord : RelaySighting
{
    SettingsKind kind = SettingsKind::AsFound;
    SettingsRegisters registers;
};

// One item that two sets of a relay's settings hold differently: a grid row
// 0-31 by its name, or an item of the timer schedule ("Метка1", "Интервал1",
// "Таймер", as the settings file names them), with the texts the grid shows.
struct SettingsChange
{
    int row = -1; // grid row 0-31; -1 for the timer schedule
    QString name;
    QString before; // the approved one, where a relay is compared with its approval
    QString after; // the relay's
    bool operator==(const SettingsChange &) const = default;
};

// What the register made of a record.
struct RecordOutcome
{
    enum class Approval {
        None, // no settings were approved for the relay
        Same, // the relay holds its approved settings
        Differs, // it does not: see differences
    };
    bool recorded = false; // false: the register was not updated (failure says why)
    QString failure; // for the operator, in the program's words
    qint64 snapshotId = 0; // recorded: the snapshot's number
    QString tag; // recorded: the relay's tag in the register
    Approval approval = Approval::None;
    // Differs: the items, approved → actual.
    QList<SettingsChange> differences;
    // Another relay was seen last at this port and address: its factory number.
    std::optional<quint16> replacedFactoryNumber;
};

// One journal reading as an operation hands it to the register.
struct JournalRecord : RelaySighting
{
    // The entries the reading listed, in slot order, each as the relay gave
    // it (22 bytes); a reading that failed hands those it listed.
    QList<QByteArray> entries;
    // The relay's clock minus the PC's, read with the journal; nullopt when
    // the clock could not be read or holds no date.
    std::optional<qint64> clockOffsetMs;
};

// What the register made of a journal reading.
struct JournalRecordOutcome
{
    bool recorded = false; // false: the register was not updated (failure says why)
    QString failure; // for the operator, in the program's words
    int newEntries = 0; // recorded: the entries not on record before
};

// The relay register as the operations below the window see it: they tell it
// what they read and do, and never know how or where it keeps that. The
// window and mivctl hand one down in the RelaySession; none (a null pointer)
// means no register, and nothing is recorded.
//
// An implementation never throws and never holds an operation up: when it
// cannot record, it says why in the outcome, and the operation goes on and
// tells the operator that the register was not updated.
class RelayRecorder
{
public:
    virtual ~RelayRecorder() = default;

    // Records the settings of a complete configuration read (as found, or
    // as left after a write) and compares them with the relay's approval.
    virtual RecordOutcome recordSettings(const SettingsRecord &record) = 0;

    // Adds the entries of a journal reading that are not on record yet (see
    // registry/JournalArchive.h), with the clock offset seen.
    virtual JournalRecordOutcome recordJournal(const JournalRecord &record) = 0;
};

} // namespace miv

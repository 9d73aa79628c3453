#pragma once

#include "core/AuditLog.h"
#include "core/ConfigGrid.h"
#include "core/CurrentDevice.h"
#include "core/HeldSettingsFile.h"
#include "core/JournalGrid.h"
#include "core/LiveValues.h"
#include "core/ParameterCatalogue.h"
#include "core/RelayIdentity.h"
#include "core/RelayRecorder.h"
#include "core/SessionFlags.h"
#include "core/TimerSchedule.h"
#include "core/TrendSeries.h"
#include "core/ValueFormat.h"

#include <functional>
#include <optional>
#include <QString>

namespace miv {

class Operator;
class RelayBus;

// What every relay operation works on: the bus to the line, the relay
// identified last, the flags, the catalogue with its ratio state, the grid,
// the timer schedule and the journal on screen, and the live state. The
// window's data module owns one for the whole run, and so does each mivctl
// command.
//
// The bus belongs to the link that owns the port; the session only talks
// through it, so that the same operations run over a serial port, a
// pseudo-terminal or the tests' in-process loopback. The session lives here,
// beside the bus, so that core/ below knows nothing of the line.
struct RelaySession
{
    explicit RelaySession(RelayBus &relayBus) : bus(relayBus) { }
    RelaySession(const RelaySession &) = delete;
    RelaySession &operator=(const RelaySession &) = delete;

    // The identified relay and the port it is reached over, as the register keeps them.
    RelaySighting sighting() const;

    RelayBus &bus;
    // Closes and opens the port again after a bus call failed on it; false
    // (with the reason in *error) when it cannot be opened. Empty: the port
    // is left as it is.
    std::function<bool(QString *error)> reopenPort;
    // What the operator can do about a lost port, added to the message: the
    // window and mivctl each say it their own way.
    QString portLostHint;
    // Whether the port is held open. One that is not (the operator closed it,
    // or it was lost and would not open again) is never opened again by an
    // operation: a failed exchange on it is told as a closed port, and only
    // the operator opens it. Empty: the port counts as held open.
    std::function<bool()> portHeldOpen;
    bool portHeldOpenNow() const { return !portHeldOpen || portHeldOpen(); }

    CurrentDevice device;
    // The relay whose values the grid and the timer schedule hold (and whose
    // password opened them): set by identification. Changes are written only
    // to that relay.
    std::optional<RelayIdentity> valuesOwner;
    // The owner of the values on screen before a scan released them.
    std::optional<RelayIdentity> ownerBeforeScan;
    // A settings file opened with no relay identified (see HeldSettingsFile).
    std::optional<HeldSettingsFile> heldFile;
    SessionFlags flags;
    ParameterCatalogue catalogue;
    ConfigGrid configGrid;
    TimerSchedule timer;
    // The relay whose outputs the page "Управление реле" may switch by hand:
    // set when the page's check passed, cleared when the page is left.
    std::optional<RelayIdentity> outputControlRelay;
    // The journal grid as the last reading left it.
    JournalGrid journal;
    LiveValues live;
    // The live values of the identified relay over the last hour: every
    // refresh adds a point (see device/LiveRead.h).
    TrendSeries trend;
    // Every write to a relay leaves a line here (see link/AuditedWrite.h).
    AuditLog audit;
    // The relay register every complete configuration read is recorded in
    // (see config/SettingsRecording.h); null: no register. Not owned.
    RelayRecorder *recorder = nullptr;
    // What the register made of the last record; empty until one was tried.
    std::optional<RecordOutcome> lastRecord;
    // Numbers shown to the operator use the PC's separator; tests set their own.
    QChar decimalSeparator = systemDecimalSeparator();

    // The relay type the pages follow (the timer tab for type 6): the held
    // file's while the grid holds one, else that of the relay identified last.
    quint16 pagesTypeCode() const { return holdsFile() ? heldFile->typeCode : device.typeCode; }
    RelayIdentity selectedRelay() const { return {device.networkAddress, device.factoryNumber}; }
    // Whether the grid and the timer schedule hold a settings file, not a relay.
    bool holdsFile() const { return heldFile && !heldFile->offered; }
    // Whether the grid and the timer schedule hold changes not written yet;
    // while they hold a file, changes not saved into it.
    bool holdsUnwrittenChanges() const;
    // Identification found `selectedRelay()`: values and changes of another
    // relay are dropped (the grid back to the catalogue's names, the timer
    // unread); the same relay keeps them. A file's values are put aside in
    // heldFile->offered, never left in the grid for the relay. True when
    // unwritten changes were dropped, so that the operator can be told.
    bool adoptSelectedRelay();
    // A scan: no relay is selected any more, so the values on screen belong
    // to none until a relay is identified. They stay, with their changes:
    // the same relay identified again takes them back (adoptSelectedRelay),
    // another drops them, and a settings file opened with no relay asks first.
    void releaseRelayValues();
    // An identification that found no relay where it asked: nothing of the
    // relay identified before stays (its identity and type, so its pages go
    // with it; its values, changes and timer schedule; the password's
    // unlock), so that nothing made for it reaches a file or another relay as
    // its. A settings file the grid holds with no relay stays as it is. True
    // when unwritten changes of that relay were dropped, so that the
    // operator can be told.
    bool forgetRelay();
    // Whether the values on screen belong to the selected relay, so that
    // they may be written to it.
    bool valuesBelongToSelectedRelay() const
    {
        return valuesOwner && *valuesOwner == selectedRelay();
    }
};

// Tells the operator that the values on screen belong to another relay than
// the selected one and that nothing was written.
void tellValuesOfAnotherRelay(const RelaySession &session, Operator &op);

} // namespace miv

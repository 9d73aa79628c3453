#pragma once

#include "core/CurrentDevice.h"
#include "link/ReplyString.h"

#include <functional>
#include <optional>
#include <QString>
#include <QStringList>

namespace miv {

class Operator;
struct RelaySession;

struct IdentificationResult
{
    enum class Outcome {
        NoSelection, // no line selected: address 0, nothing asked
        Silent, // nobody answered the status query: the memo says so; no relay selected
        Identified, // memo filled; the window shows the tabs with a relay (bts 0)
        NotConnected, // "Устройство не подключено" was shown; no relay selected (bts 1)
    };
    Outcome outcome = Outcome::NoSelection;
    QStringList memo; // the eight memo lines when identified, the scan's line when silent
    bool showTypeSixControls = false; // "Датчики", lamp 25 and "Таймер"
};

// Identification of the relay on list line `selectedLine` (−1: none), at
// address selectedLine + 1. Fills CurrentDevice from registers 0-6 and 64-67
// and builds the memo's eight lines; resets the three live states and sets
// editingLocked. The status query uses the bus's patient wait. A first read
// that brings no name with a type digit tells the operator "Устройство не
// подключено"; so does a port failure during either read. Whenever the relay was not identified
// (silent or not connected) no relay is selected afterwards and nothing of
// the relay before stays (RelaySession::forgetRelay): its unwritten changes
// are told as dropped.
IdentificationResult identifyRelay(RelaySession &session, Operator &op, int selectedLine);

// The memo's eight lines for `device`: what identification shows, and what
// the relay's details show again once the port setup changed its word.
QStringList identificationMemo(const CurrentDevice &device);

// Registers 0-6 (name, type digit, software version, factory number) put
// into `device`; nullopt when the sixth character of the name is not a
// digit (as with a reply without data).
std::optional<CurrentDevice> decodeIdentity(const ReplyString &reply, CurrentDevice device);

} // namespace miv

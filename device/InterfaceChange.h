#pragma once

#include "link/PortSettings.h"
#include "link/WriteOutcome.h"

#include <QStringList>
#include <functional>
#include <optional>

namespace miv {

class AuditLog;
class Operator;
class RelayBus;

// A relay moved to new line settings together with the port: the relay's
// own interface word is read, checked, written with only the port's groups
// replaced (InterfaceWord::change), and the port follows once the relay has
// taken it. The port setup of the window and `mivctl interface` both go
// through here.

// Puts line settings in force on the port (the bus's timing with them);
// false with the port's message when it would not take them.
using PutInForce = std::function<bool(const PortSettings &, QString *error)>;

struct InterfaceChangeResult
{
    enum class Outcome {
        Changed, // the relay holds the new word; the port runs at the new settings
        Inexpressible, // nothing written: `reasons` say what the word cannot say
        NotRead, // the relay's word could not be read: nothing written
        PortRefused, // the port would not take the new settings: nothing written
        KeptOld, // the relay keeps its word (refused, or still answering at the old
                 // settings after a write it did not answer); the port stays
        Unknown, // no answer to the write, nor at the old settings or the new ones
                 // afterwards; the port is back at the old settings
    };
    Outcome outcome = Outcome::NotRead;
    quint16 wordBefore = 0; // the relay's word as read first
    quint16 wordSent = 0; // the word written (or that would have been)
    std::optional<quint16> wordNow; // what the relay holds now, when known
    QStringList reasons; // Inexpressible
    QString text; // NotRead and PortRefused: what failed
    WriteOutcome write; // what became of the write
};

// Moves the relay at `address` from the settings in force on the port
// (`current`) to `target`. The write goes out at the current settings and is
// logged in `audit` when one is given. A write without an answer is followed
// up: the word is read at the current settings, then at the target ones,
// so that the result tells where the relay is whenever it answers anywhere.
// The port is left at the target settings for Changed, else at the current.
InterfaceChangeResult changeRelayInterface(RelayBus &bus, quint8 address,
                                           const PortSettings &current, const PortSettings &target,
                                           const PutInForce &putInForce, Operator &op,
                                           AuditLog *audit = nullptr, quint16 factoryNumber = 0);

// Tells in one text what state the relay, the port and "front.ini" were left
// in when the change did not go through, for the operator; empty for Changed
// and for a write that was never sent.
QString interfaceChangeText(const InterfaceChangeResult &result, const PortSettings &current,
                            const PortSettings &target);

} // namespace miv

#pragma once

#include "link/BusReply.h"

#include <QString>

namespace miv {

// What became of a write to a relay: every write above the bus (the audited
// single write and the operations made of them) returns it, and nothing is
// thrown. Telling the operator is left to the caller's one layer that turns
// it into words (see device/LinkFailure.h).
struct WriteOutcome
{
    enum class Kind {
        Written, // the relay answered and took it
        Refused, // the relay answered with an exception: `exceptionCode`
        NoAnswer, // no valid answer: it may or may not have reached the relay
        PortFailure, // the port is closed, gone, or failed: `text` says how
        Stopped, // the operator stopped the writes: this one was not sent
        NotSent, // nothing went out (declined, or refused before the bus)
    };

    Kind kind = Kind::NotSent;
    quint8 exceptionCode = 0; // Refused: the relay's code
    QString text; // NoAnswer and PortFailure: what failed, as the bus told it

    bool written() const { return kind == Kind::Written; }
    bool refused() const { return kind == Kind::Refused; }

    // A write's bus reply as its outcome.
    static WriteOutcome of(const BusReply &reply)
    {
        switch (reply.kind) {
        case BusReply::Kind::Answered:
            return {Kind::Written, 0, {}};
        case BusReply::Kind::Refused:
            return {Kind::Refused, reply.exceptionCode, {}};
        case BusReply::Kind::NoAnswer:
            return {Kind::NoAnswer, 0, reply.text};
        case BusReply::Kind::PortFailure:
            break;
        }
        return {Kind::PortFailure, 0, reply.text};
    }
    static WriteOutcome stopped() { return {Kind::Stopped, 0, {}}; }
};

} // namespace miv

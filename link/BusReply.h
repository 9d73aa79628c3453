#pragma once

#include "link/ReplyString.h"

#include <QString>

namespace miv {

// What one request on the bus brought, the one way a bus failure travels:
// the relay's answer, its refusal with the exception code, or a failure of
// the link with its kind and text. Nothing is thrown and nothing is kept in
// the bus: the caller reads the outcome here and decides what it means.
struct BusReply
{
    enum class Kind {
        Answered, // a valid reply came: `reply` holds it
        Refused, // the relay answered with an exception: `exceptionCode`
        NoAnswer, // no valid reply in time (silence, bad CRC, a wrong frame)
        PortFailure, // the port is closed, gone, or reading or writing failed
    };

    Kind kind = Kind::NoAnswer;
    // Answered: the reply frame without its CRC (address, function, then the
    // data; a register read's third character is its byte count). Refused:
    // address, function | 0x80, code.
    ReplyString reply;
    quint8 exceptionCode = 0; // Refused: the relay's code
    QString text; // NoAnswer and PortFailure: what failed, as the log and the operator see it

    bool answered() const { return kind == Kind::Answered; }
    bool refused() const { return kind == Kind::Refused; }
    // No answer at all: the relay was not heard, or the port failed.
    bool linkFailed() const { return kind == Kind::NoAnswer || kind == Kind::PortFailure; }
    bool portFailed() const { return kind == Kind::PortFailure; }

    static BusReply answer(ReplyString reply) { return {Kind::Answered, std::move(reply), 0, {}}; }
    static BusReply refusal(ReplyString reply, quint8 code)
    {
        return {Kind::Refused, std::move(reply), code, {}};
    }
    static BusReply failure(Kind kind, QString text) { return {kind, {}, 0, std::move(text)}; }
};

} // namespace miv

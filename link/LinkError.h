#pragma once

#include <QString>
#include <stdexcept>

namespace miv {

// A bus operation that did not get through. A relay's refusal (a Modbus
// exception reply) is not a LinkError: the relay answered.
class LinkError : public std::runtime_error
{
public:
    enum class Kind {
        PortFailure, // the port is closed, gone, or reading or writing failed
        NoAnswer, // no valid reply in time (silence, bad CRC, wrong frame)
        Stopped, // the operator stopped the writes (WriteStop): this one was not sent
    };

    LinkError(Kind kind, const QString &message)
        : std::runtime_error(message.toStdString()), m_kind(kind), m_message(message)
    { }

    Kind kind() const { return m_kind; }
    QString message() const { return m_message; }

private:
    Kind m_kind;
    QString m_message;
};

} // namespace miv

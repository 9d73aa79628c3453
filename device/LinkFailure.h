#pragma once

#include <QString>

namespace miv {

struct BusReply;
class LinkError;
struct RelaySession;

// A request got no answer or its port failed (a BusReply, or LinkError from
// the bus's earlier forms); the port has been looked after. A relay that
// did not answer is told as "Ошибка связи с устройством!". A port that failed
// (an adapter pulled out, a line's far end gone) is closed and opened again
// once: when it opens, the exchange was still lost and the same text is
// told; when it does not, the port stays closed, portLost is set and the
// text says that the port is lost and how to get it back. A port that is not
// held open (closed by the operator) is not opened: the text says it is closed. A session that
// cannot reopen its port adds the port's reason to the text.
struct LinkFailure
{
    bool portLost = false;
    QString text; // for the operator
    // Why, for a line under a message of the caller's own: the port's own
    // reason when it opened again, else the text.
    QString reason;
};
LinkFailure handleLinkFailure(RelaySession &session, const LinkError &error);
// The same for a request whose reply is a link failure (no answer, or a port
// that failed).
LinkFailure handleLinkFailure(RelaySession &session, const BusReply &failure);

inline QString linkFailureText(RelaySession &session, const LinkError &error)
{
    return handleLinkFailure(session, error).text;
}

} // namespace miv

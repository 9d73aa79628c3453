#pragma once

#include <QString>

namespace miv {

struct BusReply;
struct RelaySession;
struct WriteOutcome;

// The one layer where a failed request or write becomes words for the
// operator, the port having been looked after.
//
// A request got no answer or its port failed. A relay that did not answer
// is told as "Ошибка связи с устройством!". A port that failed (an adapter
// pulled out, a line's far end gone) is closed and opened again once: when
// it opens, the exchange was still lost and the same text is told; when it
// does not, the port stays closed, portLost is set and the text says that
// the port is lost and how to get it back. A port that is not held open
// (closed by the operator) is not opened: the text says it is closed. A
// session that cannot reopen its port adds the port's reason to the text.
struct LinkFailure
{
    bool portLost = false;
    QString text; // for the operator
    // Why, for a line under a message of the caller's own: the port's own
    // reason when it opened again, else the text.
    QString reason;
};
// How a refusal is told: as the relay's refusal with its code
// ("Устройство отказалось выполнить запрос ..."), or as no answer where the
// operation has always told it so.
enum class RefusalTold { WithCode, AsNoAnswer };

// For a request that did not bring what it asked: a failed port as above,
// a refusal as `refusal` says, anything else (silence, a short answer) as no
// answer.
LinkFailure handleLinkFailure(RelaySession &session, const BusReply &failure,
                              RefusalTold refusal = RefusalTold::AsNoAnswer);

// For a write that was not taken: a stop by the operator as stopped, a
// refusal as `refusal` says, no answer and a failed port as above. Empty for
// a written one.
LinkFailure handleWriteFailure(RelaySession &session, const WriteOutcome &outcome,
                               RefusalTold refusal = RefusalTold::AsNoAnswer);

inline QString writeFailureText(RelaySession &session, const WriteOutcome &outcome,
                                RefusalTold refusal = RefusalTold::AsNoAnswer)
{
    return handleWriteFailure(session, outcome, refusal).text;
}

} // namespace miv

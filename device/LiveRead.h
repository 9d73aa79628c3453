#pragma once

#include <functional>
#include <optional>
#include <QChar>
#include <QString>

namespace miv {

class Operator;
struct RelaySession;

// How a bus step of a live read or a relay command ended.
enum class BusOutcome {
    Done, // the relay answered as asked
    NoAnswer, // no valid answer (silence, a reply shorter than asked): "Ошибка связи с
              // устройством!" shown
    Refused, // the relay answered with an exception: the refusal shown
    PortFailed, // the port failed: nothing shown yet, the text for the operator in `portError`
};

struct LiveReadResult
{
    BusOutcome outcome = BusOutcome::Done;
    QString portError;
    // A port failure's reason alone, for a line under a message of the caller's own.
    QString portReason;
    bool done() const { return outcome == BusOutcome::Done; }
};

// The two reads of a refresh of the live values: block A (registers 16 to
// 47), whose RelayState is worked out at once, then block B (112 to 121).
// Only a whole reply of the asked length is taken into LiveValues: a refusal
// or a short reply never becomes readings. When block A came and block B did
// not, LiveValues already hold the new block A. A whole refresh adds a point
// to the session's trend.
//
// Before any message `beforeMessage` runs (the window stops its automatic
// refresh there, so that no tick can start another refresh under the box).
// A port failure is not told here: the caller decides (a timer-driven
// refresh reports a lost link); `beforeMessage` still runs first.
LiveReadResult readLiveValues(RelaySession &session, Operator &op,
                              const std::function<void()> &beforeMessage = {});

// The interval of automatic refresh from the input box's answer: seconds
// with the given decimal separator, fractions allowed. More than 0 and less
// than 60 gives the seconds in milliseconds (a half to the even neighbour),
// 60 or more gives 60000. nullopt for an answer that is no number, or 0 or
// less: then no timer starts.
std::optional<int> autoRefreshIntervalMs(const QString &answer, QChar decimalSeparator);

} // namespace miv

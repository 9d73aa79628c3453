#pragma once

#include "registry/RegistryStore.h"

#include <optional>
#include <QList>
#include <QString>

namespace miv {

// The snapshots an engineer names for a commissioning report; either may be
// left out.
struct ReportVisit
{
    std::optional<qint64> fromSnapshot; // "До наладки"
    std::optional<qint64> toSnapshot; // "После наладки"
};

// A visit to a relay: what it held on arrival (an as-found snapshot) and what
// it was left with (an as-left snapshot of the same relay, later than that).
// Only such a pair says what the visit changed on the relay.
struct CommissioningVisit
{
    RegistrySnapshot asFound;
    RegistrySnapshot asLeft;
};

// The visits a relay's history (oldest first) holds, oldest first: for every
// local day on which an as-found snapshot was followed by an as-left one,
// that day's first as-found and its last as-left after it.
QList<CommissioningVisit> visitsOf(const QList<RegistrySnapshot> &history);

// The visit of a report, or why there is none.
struct VisitChoice
{
    enum class Refusal {
        None, // visit holds the report's two snapshots
        NotAVisit, // the numbers given name no visit of the relay
        NoVisit, // none given, and the relay's history holds no visit
    };
    std::optional<CommissioningVisit> visit;
    Refusal refusal = Refusal::None;
    // NotAVisit, NoVisit: what is wrong, then the visits the history holds
    // (the latest few) or that it holds none.
    QString reason;
};

// The visit that `asked` names among the relay's snapshots (its history,
// oldest first). Both numbers given: an as-found and a later as-left of the
// relay. One given: the other is that day's first as-found before it, or its
// last as-left after it. None: the latest visit of visitsOf.
VisitChoice chooseVisit(const QList<RegistrySnapshot> &history, const ReportVisit &asked,
                        quint16 factoryNumber);

} // namespace miv

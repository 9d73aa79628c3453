#pragma once

#include "report/CommissioningReport.h"

#include <optional>
#include <QDateTime>
#include <QString>

namespace miv {

class JournalStore;
class RegistryStore;
struct RegistryRelay;

// Which snapshots a commissioning report sets side by side.
struct ReportVisit
{
    std::optional<qint64> fromSnapshot; // the as-found; default below
    std::optional<qint64> toSnapshot; // the as-left; default below
};

// The commissioning report of `relay` from the register. By default the visit is the latest day the
// relay was worked on (the local day of its last as-found or as-left snapshot): from that day's
// first as-found snapshot (its first snapshot when none) to its last as-left
// (its last snapshot when none). For every row the approved value (the
// approval in force), the value of the first snapshot and that of the
// second; the journal entries the register recorded from the first
// snapshot's time to the end of the second's day. nullopt with the reason
// in *error: no snapshot, a snapshot of another relay, the register failing.
std::optional<CommissioningReport::Document>
buildCommissioningReport(RegistryStore &store, JournalStore &journal, const RegistryRelay &relay,
                         const ReportVisit &visit, QChar decimalSeparator, const QDateTime &moment,
                         QString *error);

} // namespace miv

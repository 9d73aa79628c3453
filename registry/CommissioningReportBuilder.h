#pragma once

#include "registry/CommissioningVisit.h"
#include "report/CommissioningReport.h"

#include <optional>
#include <QDateTime>
#include <QString>

namespace miv {

class JournalStore;
class RegistryStore;

// Why no report was built.
enum class ReportRefusal {
    NotAVisit, // the snapshots given are no visit of the relay (registry/CommissioningVisit.h)
    NoVisit, // none given, and the relay's history holds no visit
    RegisterFailed, // the register could not be read
};

// The commissioning report of `relay`'s visit from the register: the visit
// chooseVisit makes of `visit` (by default the latest: the first as-found
// and the last as-left after it of the latest day with both). For every row
// the approved value (the approval in force), the value found and the value
// left, a row whose switch is off in those settings shown as the settings
// sheet shows it, "[фукнк. откл.] (VALUE)"; a row is marked changed or not
// as approved by the values the relay holds. The journal entries the
// register recorded from the as-found snapshot's time to the end of the
// as-left's day. nullopt with the reason in *error (for a visit refused, the
// visits the relay has) and its kind in *refusal.
std::optional<CommissioningReport::Document>
buildCommissioningReport(RegistryStore &store, JournalStore &journal, const RegistryRelay &relay,
                         const ReportVisit &visit, QChar decimalSeparator, const QDateTime &moment,
                         QString *error, ReportRefusal *refusal = nullptr);

} // namespace miv

#pragma once

#include "config/SettingsCompare.h"

#include <QList>

namespace miv {

class Operator;
struct RelaySession;
struct SettingsSnapshot;

// Values made with no relay at hand belong to none: when a relay is
// identified while a settings file was held, its values are put aside
// (RelaySession::adoptSelectedRelay) and reach the relay only when the
// operator carries them over. Carried values are marked like any change and
// written by "Записать"; nothing is sent here.
namespace SettingsCarryOver {

struct Result
{
    enum class Outcome {
        NothingOffered, // no file's values were put aside
        Declined, // the operator answered "Нет": the file's values are dropped
        ReadFailed, // the relay's configuration could not be read (the operator was told)
        StillLocked, // the password was wrong or not given: nothing marked
        Carried, // see differences
    };
    Outcome outcome = Outcome::NothingOffered;
    // Carried: the rows (and timer items) now marked, relay value then file
    // value, in row order; Rejected ones the relay may not be given, not carried.
    QList<SettingsDifference> differences;
};

// With the relay's configuration freshly read into the session, marks the
// rows where the file's values differ and puts the file's value into them:
// each value checked for this relay as loading checks it (its type, rows 1
// and 2 by the file's ratio, which then sets their resolution); a row the
// file gives no value for, or one the relay's type leaves as it is, is not
// touched. Rows whose function the file switches off end disabled, with the
// file's value aside, as after loading. For a relay with the timer and a
// file of type 6 the marks and switches that differ are put into the timer
// schedule (its "Записать" writes them). unwrittenChanges is set when any
// row is marked.
QList<SettingsDifference> carryOver(RelaySession &session, const SettingsSnapshot &held,
                                    quint16 heldTypeCode);

// After an identification: when a file's values were put aside, asks
// whether to carry them to this relay, saying in the question what of a file
// of another type the relay has no place for (SettingsTypeFit); on "Да" reads the relay's
// configuration, asks for its password (editing is locked after an
// identification) and carries them over, listing what was marked. The
// file's values are kept aside when the read fails or the password is not
// given, so that the next identification offers them again.
Result offerHeldFile(RelaySession &session, Operator &op);

// "Строки, отмеченные для записи ..." with one line per difference.
QString carriedText(const QList<SettingsDifference> &differences);

} // namespace SettingsCarryOver

} // namespace miv

#pragma once

#include <optional>
#include <QList>
#include <QString>
#include <QStringList>

namespace miv {

struct RelaySession;

// Values given as "ROW=VALUE" to a settings file held with no relay (mivctl
// settings set): ROW is the row number or the parameter's exact name, or for
// type 6 a timer key ("Метка1".."Метка5", "Интервал1".."Интервал6",
// "Таймер"); VALUE as the grid shows it ("2,5" or "2.5", "вкл."/"откл.",
// marks "HH:MM"). Every value is checked as the value editor and loading
// check it, all of them together: a new ratio is judged with the rows 1 and
// 2 of the same call, a row's function by its switch as the call leaves it.
namespace SettingsAssignment {

struct Assignment
{
    QString target; // ROW
    QString value; // VALUE
};

// "ROW=VALUE" split at the first "=" (names hold none); nullopt without one
// or with an empty ROW.
std::optional<Assignment> parse(const QString &argument);

struct Applied
{
    int row = -1; // grid row 0-31; -1 for the timer schedule
    QString item; // the row's name or the timer key
    QString text; // the value as the grid or the timer tab now holds it
};

struct Result
{
    // One line per refusal, naming the row, the value and what it may be;
    // when there is any, nothing was changed.
    QStringList refusals;
    QList<Applied> applied; // in the order given
    bool done() const { return refusals.isEmpty(); }
};

// Checks every assignment against the session (which holds a file: its type,
// its ratio, its switches) and, when all pass, puts them into the grid and
// the timer schedule: rows marked, switches applied to their rows (a row
// whose function is off keeps the value aside, as the file keeps it), rows
// 1 and 2 shown at the resolution of a new ratio, unwrittenChanges set.
// Refused: a row that does not exist, one the type lacks (31 and the timer
// on a type other than 6), rows 8 (never edited), 32 and 33 (not in a
// settings file), a row given twice, and a value the checks refuse.
Result apply(RelaySession &session, const QList<Assignment> &assignments);

} // namespace SettingsAssignment

} // namespace miv

#pragma once

#include <QList>
#include <QString>

namespace miv {

struct RelaySession;

// One place where the relay and a settings file disagree.
struct SettingsDifference
{
    enum class Kind {
        Differs, // both hold a value, and they are not the same
        NotInFile, // the file has no key for it
        Rejected, // the file's value would not be loaded (fileText: as the file holds it)
    };
    Kind kind = Kind::Differs;
    int row = -1; // grid row 0-31; -1 for the timer schedule
    QString item; // the row's name, or the timer key ("Метка1", "Интервал1", "Таймер")
    QString relayText; // as the relay reported it at the last read
    QString fileText; // as loading the file would show it (Rejected: the file's text)

    bool operator==(const SettingsDifference &) const = default;
};

struct SettingsComparison
{
    enum class Outcome {
        Compared, // see differences
        NothingRead, // the relay's configuration was not read yet: nothing compared
        Unreadable, // the file could not be read (error)
    };
    Outcome outcome = Outcome::Unreadable;
    QList<SettingsDifference> differences; // rows 0-31 in order, then the timer
    QString error;

    bool equal() const { return outcome == Outcome::Compared && differences.isEmpty(); }
};

// Compares what the relay reported at the last configuration read (the
// grid's relay texts, the timer schedule as read) with what loading the
// settings file would put in the grid: each row 0-31 by its value text,
// checked as the load checks it; for a type-6 relay also the five marks,
// the six interval switches and the timer switch. The file is loaded into a
// scratch copy of the session: the session's grid, marks, catalogue and
// timer are left as they are.
SettingsComparison compareWithFile(const RelaySession &session, const QString &path);
// Whether a relay's configuration was read, so that there is something to compare.
bool comparisonPossible(const RelaySession &session);

// "Отличается", "Нет в файле", "Не принимается" for the kinds.
QString differenceKindText(SettingsDifference::Kind kind);

} // namespace miv

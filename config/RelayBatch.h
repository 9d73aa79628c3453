#pragma once

#include <functional>
#include <QList>
#include <QString>

namespace miv {

class Operator;
class TimerSchedule;
struct RelaySession;

// One settings file for many relays, and the settings of many relays saved
// at once: each relay is worked on by itself, on a session of its own, and
// ends with one line of the summary.

struct RelayOutcome
{
    enum class Verdict { Done, Refused, NoLink, Stopped };
    quint8 address = 0;
    Verdict verdict = Verdict::NoLink;
    QString reason;
    bool operator==(const RelayOutcome &) const = default;
};

// "ADDR<TAB>written|refused|no link|stopped<TAB>reason" (doneWord for Done:
// "written", "saved").
QString summaryLine(const RelayOutcome &outcome, const QString &doneWord);

// The worst verdict of all: Stopped when the operator stopped the work, else
// NoLink when any had no link, else Refused when any was refused, else Done
// (also for none).
RelayOutcome::Verdict worstVerdict(const QList<RelayOutcome> &outcomes);

// The write of a settings file to the relay at `address`, in the order the
// window's operator would go: identify it and read its configuration (no
// answer: NoLink), unlock it with the password the operator gives (wrong or
// none: Refused), load the file into its grid (unreadable, or a value not
// taken: Refused) and check every row to be sent (a row failing: Refused).
// Only a relay that passed all of it is written to; a relay refused before
// the write gets no write at all. A type-6 relay then gets the file's timer
// too (writeFileTimer). Written but a row refused by the relay: Refused; no
// answer during the write or the read back: NoLink; the writes stopped by
// the operator (WriteStop): Stopped.
RelayOutcome writeSettingsFileTo(RelaySession &session, Operator &op, quint8 address,
                                 const QString &file);

// Identifies the relay at `address`, reads its configuration and saves it to
// `file` (NoLink when it does not answer, Refused when the file cannot be written).
RelayOutcome saveSettingsFileOf(RelaySession &session, Operator &op, quint8 address,
                                const QString &file);

// What became of a settings file's timer after its rows were written.
enum class FileTimer {
    NoTimer, // the relay has none (not type 6): nothing to do
    NotInFile, // the file holds no timer: the relay's is left as it is
    Unchanged, // the relay holds the file's schedule already: not written
    Written, // the marks and the switch word were written and read back
    Failed, // not written or cut short: the operator was told what was and what was not
};

// The file's timer `fromFile` (the schedule as the file loaded it) written to
// a type-6 relay right after the file's rows were written (Written) with the
// password taken, by the timer writer (writeLoadedTimer). The rows' write
// has read the relay's schedule back into the session meanwhile; it is
// replaced by the file's where the file gives a timer.
FileTimer writeFileTimer(RelaySession &session, Operator &op, const TimerSchedule &fromFile,
                         bool fileGivesTimer);

// Runs `step` for every address in turn, each on the session `freshSession`
// hands out for it, so that nothing of one relay (its identification, values,
// password or marks) reaches the next. `done` (may be empty) is told each
// outcome as soon as it is known.
using RelayStep = std::function<RelayOutcome(RelaySession &session, quint8 address)>;
QList<RelayOutcome> runOnRelays(const QList<quint8> &addresses,
                                const std::function<RelaySession &()> &freshSession,
                                const RelayStep &step,
                                const std::function<void(const RelayOutcome &)> &done = {});

} // namespace miv

#include "config/RelayBatch.h"

#include "access/PasswordAccess.h"
#include "config/ConfigReader.h"
#include "config/ConfigWriter.h"
#include "config/SettingsFile.h"
#include "config/TimerWriter.h"
#include "core/Operator.h"
#include "core/TimerSchedule.h"
#include "core/WriteStop.h"
#include "device/Identification.h"
#include "link/RelaySession.h"

namespace miv {

namespace {

QString rowList(const QList<int> &rows)
{
    QStringList texts;
    for (int row : rows)
        texts << QString::number(row);
    return texts.join(QStringLiteral(", "));
}

RelayOutcome outcome(quint8 address, RelayOutcome::Verdict verdict, const QString &reason)
{
    return {address, verdict, reason};
}

// Identifies the relay and reads its configuration into the session; the
// outcome when that failed.
std::optional<RelayOutcome> identifyAndRead(RelaySession &session, Operator &op, quint8 address)
{
    const IdentificationResult identified = identifyRelay(session, op, address - 1);
    if (identified.outcome == IdentificationResult::Outcome::Silent)
        return outcome(address, RelayOutcome::Verdict::NoLink, QStringLiteral("no answer"));
    if (identified.outcome != IdentificationResult::Outcome::Identified)
        return outcome(address, RelayOutcome::Verdict::NoLink, QStringLiteral("not identified"));
    session.configGrid.fillFromCatalogue(session.catalogue);
    if (readConfiguration(session, op) != ConfigReadResult::Complete)
        return outcome(address, RelayOutcome::Verdict::NoLink,
                       QStringLiteral("configuration not read"));
    return std::nullopt;
}

} // namespace

QString summaryLine(const RelayOutcome &outcome, const QString &doneWord)
{
    QString verdict;
    switch (outcome.verdict) {
    case RelayOutcome::Verdict::Done:
        verdict = doneWord;
        break;
    case RelayOutcome::Verdict::Refused:
        verdict = QStringLiteral("refused");
        break;
    case RelayOutcome::Verdict::NoLink:
        verdict = QStringLiteral("no link");
        break;
    case RelayOutcome::Verdict::Stopped:
        verdict = QStringLiteral("stopped");
        break;
    }
    return QStringLiteral("%1\t%2\t%3").arg(outcome.address).arg(verdict, outcome.reason);
}

RelayOutcome::Verdict worstVerdict(const QList<RelayOutcome> &outcomes)
{
    RelayOutcome::Verdict worst = RelayOutcome::Verdict::Done;
    for (const RelayOutcome &each : outcomes)
        if (each.verdict == RelayOutcome::Verdict::Stopped)
            return RelayOutcome::Verdict::Stopped;
    for (const RelayOutcome &each : outcomes) {
        if (each.verdict == RelayOutcome::Verdict::NoLink)
            return RelayOutcome::Verdict::NoLink;
        if (each.verdict == RelayOutcome::Verdict::Refused)
            worst = RelayOutcome::Verdict::Refused;
    }
    return worst;
}

RelayOutcome writeSettingsFileTo(RelaySession &session, Operator &op, quint8 address,
                                 const QString &file)
{
    using Verdict = RelayOutcome::Verdict;
    if (const auto failed = identifyAndRead(session, op, address))
        return *failed;

    switch (PasswordAccess::unlock(op, session.device, session.flags)) {
    case PasswordAccess::Unlock::Unlocked:
        break;
    case PasswordAccess::Unlock::WrongPassword:
        return outcome(address, Verdict::Refused, QStringLiteral("wrong password"));
    case PasswordAccess::Unlock::Cancelled:
        return outcome(address, Verdict::Refused, QStringLiteral("no password"));
    }

    const SettingsFile::LoadResult loaded = SettingsFile::load(file, session, op);
    if (!loaded.loaded())
        return outcome(address, Verdict::Refused, QStringLiteral("file not read: ") + loaded.error);
    if (!loaded.complete())
        return outcome(address, Verdict::Refused,
                       QStringLiteral("values not taken: ")
                               + loaded.rejectedKeys.join(QStringLiteral(", ")));

    const TimerSchedule fromFile = session.timer;
    const ConfigWriteResult written = writeConfiguration(session, op);
    switch (written.outcome) {
    case ConfigWriteResult::Outcome::Refused:
        return outcome(address, Verdict::Refused,
                       QStringLiteral("rows failing the check: ") + rowList(written.refusedRows));
    case ConfigWriteResult::Outcome::LinkFailed:
        if (WriteStop::requested())
            return outcome(address, Verdict::Stopped,
                           QStringLiteral("stopped during the write after %1 rows")
                                   .arg(written.writtenRows.size()));
        return outcome(address, Verdict::NoLink,
                       QStringLiteral("no answer during the write after %1 rows")
                               .arg(written.writtenRows.size()));
    case ConfigWriteResult::Outcome::Written:
        break;
    }
    if (!written.refusedRows.isEmpty())
        return outcome(address, Verdict::Refused,
                       QStringLiteral("rows refused by the relay: ")
                               + rowList(written.refusedRows));
    if (!written.readBack)
        return outcome(address, Verdict::NoLink, QStringLiteral("written, not read back"));
    QString timerPart;
    switch (writeFileTimer(session, op, fromFile, loaded.timerGiven)) {
    case FileTimer::NoTimer:
        break;
    case FileTimer::NotInFile:
        timerPart = QStringLiteral(", timer left (none in the file)");
        break;
    case FileTimer::Unchanged:
        timerPart = QStringLiteral(", timer unchanged");
        break;
    case FileTimer::Written:
        timerPart = QStringLiteral(", timer written");
        break;
    case FileTimer::Failed:
        return outcome(
                address, WriteStop::requested() ? Verdict::Stopped : Verdict::NoLink,
                QStringLiteral("%1 rows sent, timer not written").arg(written.writtenRows.size()));
    }
    return outcome(address, Verdict::Done,
                   QStringLiteral("%1 rows sent, %2 unchanged, %3 switched off%4")
                           .arg(written.writtenRows.size())
                           .arg(written.unchangedRows.size())
                           .arg(written.switchedOffRows.size())
                           .arg(timerPart));
}

FileTimer writeFileTimer(RelaySession &session, Operator &op, const TimerSchedule &fromFile,
                         bool fileGivesTimer)
{
    if (!session.device.hasTimer())
        return FileTimer::NoTimer;
    if (!fileGivesTimer)
        return FileTimer::NotInFile;
    TimerSchedule &timer = session.timer;
    // A mark or a switch the file leaves out keeps what the relay holds.
    for (int i = 0; i < TimerSchedule::markCount; ++i)
        if (fromFile.marks[size_t(i)].given)
            timer.marks[size_t(i)] = fromFile.marks[size_t(i)];
    for (int i = 0; i < TimerSchedule::buttonCount; ++i)
        if (!fromFile.buttons[size_t(i)].isEmpty())
            timer.buttons[size_t(i)] = fromFile.buttons[size_t(i)];
    if (!timer.changedSinceRead())
        return FileTimer::Unchanged;
    // Written is what reached the relay; a read back that failed was told by the read.
    const TimerWriteResult written = writeLoadedTimer(session, op);
    return written == TimerWriteResult::Written || written == TimerWriteResult::WrittenNotReadBack
            ? FileTimer::Written
            : FileTimer::Failed;
}

RelayOutcome saveSettingsFileOf(RelaySession &session, Operator &op, quint8 address,
                                const QString &file)
{
    if (const auto failed = identifyAndRead(session, op, address))
        return *failed;
    QString error;
    if (!SettingsFile::save(file, session.configGrid, session.timer, &error)) {
        op.message(Operator::Icon::Error, error);
        return outcome(address, RelayOutcome::Verdict::Refused, error);
    }
    return outcome(address, RelayOutcome::Verdict::Done, file);
}

QList<RelayOutcome> runOnRelays(const QList<quint8> &addresses,
                                const std::function<RelaySession &()> &freshSession,
                                const RelayStep &step,
                                const std::function<void(const RelayOutcome &)> &done)
{
    QList<RelayOutcome> outcomes;
    for (quint8 address : addresses) {
        if (WriteStop::requested())
            outcomes << outcome(address, RelayOutcome::Verdict::Stopped,
                                QStringLiteral("not written: stopped by the operator"));
        else
            outcomes << step(freshSession(), address);
        if (done)
            done(outcomes.last());
    }
    return outcomes;
}

} // namespace miv

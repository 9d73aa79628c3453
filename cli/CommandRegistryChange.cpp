// mivctl registry roles --setup
//        registry proposals [FACTORY] [--csv]
//        registry confirm ID
//        registry reject ID --reason TEXT
//        registry lock FACTORY [--note TEXT]
//        registry unlock FACTORY [--note TEXT]
//
// Change control of the relay register (registry/ChangeControl.h,
// registry/RegistryRoles.h). Where four eyes are on (PostgreSQL; SQLite
// with FourEyes=1 in "front.ini") `registry approve` makes a proposal
// (proposeApproval below) that another person confirms or rejects.
//
// roles --setup: run by the owner of a PostgreSQL register, makes the roles
//   miv_reader, miv_engineer and miv_approver with their grants, one line per
//   step taken; a second run takes none and says so.
// proposals: one line per proposal, oldest first: ID FACTORY STATE AUTHOR
//   TIME SOURCE NOTE CLOSED_BY REASON, STATE "на утверждении", "утверждено"
//   or "отклонено".
// confirm: the proposal's settings become the relay's approved ones, unless
//   the caller proposed them or recorded the snapshot they come from.
// reject: ends the proposal with the reason.
// lock / unlock: puts the relay in service ("в эксплуатации": only its
//   approved settings may be written to it) or takes it out.
//
// Exit 3 with the reason on stderr for a step the register refuses (a
// SQLite register for roles, the author's own confirmation, a role that may
// not take the step, a proposal already closed); 2 for wrong usage.
#include "cli/CliContext.h"
#include "cli/Commands.h"
#include "cli/RegistryLookup.h"
#include "cli/TabSeparated.h"
#include "core/AuditLog.h"
#include "core/ProgramVersion.h"
#include "registry/ChangeControl.h"
#include "registry/RegistryRoles.h"
#include "registry/RegistryViews.h"
#include "report/CsvLine.h"

namespace miv::cli {

namespace {

RecordingContext recordingNow()
{
    RecordingContext recording;
    recording.user = AuditLog::systemUserName();
    recording.programVersion = programVersion();
    return recording;
}

std::optional<qint64> idNumber(const QString &text)
{
    bool ok = false;
    const qint64 id = text.toLongLong(&ok);
    return ok && id > 0 ? std::optional<qint64>(id) : std::nullopt;
}

int refused(CliContext &context, const QString &reason)
{
    context.err() << reason << Qt::endl;
    return ExitStatus::Refused;
}

QStringList proposalFields(const RegistryProposal &proposal)
{
    return {QString::number(proposal.id),
            QString::number(proposal.factoryNumber),
            proposalStateText(proposal.state),
            RegistryViews::whoText(proposal.recordedBy, proposal.osUser, proposal.verified),
            RegistryViews::timeText(proposal.recordedAt),
            proposal.source,
            proposal.note,
            proposal.closedBy,
            proposal.reason};
}

int proposals(CliContext &context, QStringList arguments, const QString &usage)
{
    const bool csv = arguments.removeAll(QStringLiteral("--csv")) > 0;
    if (arguments.size() > 1)
        return context.wrongUsage(QStringLiteral("registry proposals takes one factory number at "
                                                 "most"),
                                  usage);
    RegistryStore *store = nullptr;
    std::optional<qint64> relayId;
    if (!arguments.isEmpty()) {
        int status = ExitStatus::Refused;
        const auto opened = openRelay(context, arguments[0], RegisterUse::Read, usage, &status);
        if (!opened)
            return status;
        store = opened->store;
        relayId = opened->relay.id;
    } else if (!(store = openStore(context, RegisterUse::Read))) {
        return ExitStatus::Refused;
    }
    ChangeControl control(*store);
    const auto list = control.proposals(relayId);
    if (!list)
        return refused(context, control.error());
    const QStringList header = {"ID",     "FACTORY", "STATE",     "AUTHOR", "TIME",
                                "SOURCE", "NOTE",    "CLOSED_BY", "REASON"};
    if (csv)
        context.out() << QString::fromUtf8(csvLine(header, u',', "\n"));
    for (const RegistryProposal &proposal : *list) {
        const QStringList fields = proposalFields(proposal);
        if (csv)
            context.out() << QString::fromUtf8(csvLine(fields, u',', "\n"));
        else
            context.out() << tabSeparatedLine(fields) << '\n';
    }
    return ExitStatus::Done;
}

int confirm(CliContext &context, const QStringList &arguments, const QString &usage)
{
    const auto id = idNumber(arguments.value(0));
    if (arguments.size() != 1 || !id)
        return context.wrongUsage(QStringLiteral("registry confirm needs a proposal number"),
                                  usage);
    RegistryStore *store = openStore(context, RegisterUse::Record);
    if (!store)
        return ExitStatus::Refused;
    ChangeControl control(*store);
    const auto proposal = control.proposal(*id);
    if (!proposal || !control.confirm(*id, recordingNow()))
        return refused(context, control.error());
    context.out() << QStringLiteral("Заявка №%1 утверждена: уставки реле №%2 утверждены (%3)")
                             .arg(*id)
                             .arg(proposal->factoryNumber)
                             .arg(proposal->source)
                  << '\n';
    return ExitStatus::Done;
}

int reject(CliContext &context, const QStringList &arguments, const QString &usage)
{
    const auto id = idNumber(arguments.value(0));
    if (arguments.size() != 3 || !id || arguments[1] != QStringLiteral("--reason")
        || arguments[2].trimmed().isEmpty())
        return context.wrongUsage(
                QStringLiteral("registry reject needs a proposal number and --reason TEXT"), usage);
    RegistryStore *store = openStore(context, RegisterUse::Record);
    if (!store)
        return ExitStatus::Refused;
    ChangeControl control(*store);
    if (!control.reject(*id, arguments[2].trimmed(), recordingNow()))
        return refused(context, control.error());
    context.out() << QStringLiteral("Заявка №%1 отклонена").arg(*id) << '\n';
    return ExitStatus::Done;
}

int lockStep(CliContext &context, const QStringList &arguments, const QString &usage, bool locking)
{
    const bool withNote = arguments.size() == 3 && arguments[1] == QStringLiteral("--note");
    if (arguments.size() != 1 && !withNote)
        return context.wrongUsage(QStringLiteral("registry lock and unlock need a factory number "
                                                 "and take --note TEXT"),
                                  usage);
    int status = ExitStatus::Refused;
    const auto opened = openRelay(context, arguments[0], RegisterUse::Record, usage, &status);
    if (!opened)
        return status;
    ChangeControl control(*opened->store);
    const QString note = withNote ? arguments[2] : QString();
    const bool done = locking ? control.lock(opened->relay.id, note, recordingNow())
                              : control.unlock(opened->relay.id, note, recordingNow());
    if (!done)
        return refused(context, control.error());
    context.out() << QStringLiteral("Реле №%1 %2")
                             .arg(opened->relay.factoryNumber)
                             .arg(signoffText(locking ? SignoffMeaning::Locked
                                                      : SignoffMeaning::Unlocked))
                  << '\n';
    return ExitStatus::Done;
}

} // namespace

int registryRoles(CliContext &context, const QStringList &arguments, const QString &usage)
{
    if (arguments != QStringList{QStringLiteral("--setup")})
        return context.wrongUsage(QStringLiteral("registry roles takes --setup"), usage);
    RegistryStore *store = openStore(context, RegisterUse::Record);
    if (!store)
        return ExitStatus::Refused;
    QString error;
    const std::optional<QStringList> done = RegistryRoles::setUp(*store, &error);
    if (!done)
        return refused(context, error);
    if (done->isEmpty())
        context.out() << QStringLiteral("Роли реестра реле уже настроены: ничего не изменено")
                      << '\n';
    for (const QString &line : *done)
        context.out() << line << '\n';
    return ExitStatus::Done;
}

int registryChangeStep(CliContext &context, const QString &step, const QStringList &arguments,
                       const QString &usage)
{
    if (step == QLatin1String("proposals"))
        return proposals(context, arguments, usage);
    if (step == QLatin1String("confirm"))
        return confirm(context, arguments, usage);
    if (step == QLatin1String("reject"))
        return reject(context, arguments, usage);
    if (step == QLatin1String("lock"))
        return lockStep(context, arguments, usage, true);
    if (step == QLatin1String("unlock"))
        return lockStep(context, arguments, usage, false);
    return registryRoles(context, arguments, usage);
}

int proposeApproval(CliContext &context, RegistryStore &store, const RegistryRelay &relay,
                    const SettingsRegisters &registers, std::optional<qint64> sourceSnapshot,
                    const QString &source, const QString &note)
{
    ChangeControl control(store);
    const auto id =
            control.propose(relay.id, registers, sourceSnapshot, source, note, recordingNow());
    if (!id)
        return refused(context, control.error());
    context.out() << QStringLiteral("Заявка №%1 на утверждении: уставки реле №%2 (%3)")
                             .arg(*id)
                             .arg(relay.factoryNumber)
                             .arg(source)
                  << '\n';
    return ExitStatus::Done;
}

} // namespace miv::cli

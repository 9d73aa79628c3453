// mivctl audit [--since DATE] | audit verify [--log FILE]
//
// Prints the audit log of writes to relays (the file "audit.jsonl" in the
// data folder, or in the folder MIV_DATA_DIR names), one readable line per
// entry: time, user, port, address/factory number, register, what, old → new,
// the relay's answer. DATE is "yyyy-MM-dd", "yyyy-MM-ddTHH:mm[:ss]" or
// "dd.MM.yyyy"; only entries at or after it are printed. A log that cannot be
// read ends with exit 3; no log yet prints nothing. A log whose chain is
// broken is printed all the same, with one warning on stderr.
//
// verify checks the chain of the log (or of FILE): the first line changed,
// inserted or removed, exit 4; else the chain's head, exit 0.
#include "cli/CliContext.h"
#include "cli/Commands.h"
#include "core/AuditChain.h"
#include "core/AuditLog.h"

#include <optional>
#include <QFileInfo>

namespace miv::cli {

namespace {

const QString auditUsage = QStringLiteral("audit [--since DATE] | audit verify [--log FILE]");

std::optional<QDateTime> parseSince(const QString &text)
{
    for (const QString &format : {QStringLiteral("yyyy-MM-dd"), QStringLiteral("dd.MM.yyyy")}) {
        const QDate date = QDate::fromString(text, format);
        if (date.isValid())
            return date.startOfDay();
    }
    const QDateTime time = QDateTime::fromString(text, Qt::ISODate);
    if (time.isValid())
        return time;
    return std::nullopt;
}

int verifyAudit(CliContext &context, const QStringList &arguments)
{
    QString path = context.session().audit.filePath();
    if (arguments.size() == 2 && arguments[0] == QStringLiteral("--log"))
        path = arguments[1];
    else if (!arguments.isEmpty())
        return context.wrongUsage(QStringLiteral("audit verify takes only --log FILE"), auditUsage);
    // No log yet is an empty one; a log named that is not there, a mistake.
    if (!arguments.isEmpty() && !QFileInfo::exists(path)) {
        context.err() << path << QStringLiteral(": нет такого файла") << Qt::endl;
        return ExitStatus::Refused;
    }
    QString error;
    const std::optional<AuditChainCheck> check = AuditChain::check(path, &error);
    if (!check) {
        context.err() << path << ": " << error << Qt::endl;
        return ExitStatus::Refused;
    }
    context.out() << AuditChain::reportText(*check);
    return check->fault == AuditChainCheck::Fault::None ? ExitStatus::Done : ExitStatus::Different;
}

// The one warning of a log whose chain is broken; nothing when it is whole
// or cannot be read (the listing tells that).
void warnOfBrokenChain(CliContext &context, const QString &path)
{
    const std::optional<AuditChainCheck> check = AuditChain::check(path);
    if (check && check->fault != AuditChainCheck::Fault::None)
        context.err() << AuditChain::brokenLogWarning(*check) << Qt::endl;
}

} // namespace

int runAudit(CliContext &context, const QStringList &arguments)
{
    if (!arguments.isEmpty() && arguments[0] == QStringLiteral("verify"))
        return verifyAudit(context, arguments.mid(1));
    QDateTime since;
    if (!arguments.isEmpty()) {
        if (arguments.size() != 2 || arguments[0] != QStringLiteral("--since"))
            return context.wrongUsage(QStringLiteral("audit takes only --since DATE"), auditUsage);
        const auto parsed = parseSince(arguments[1]);
        if (!parsed)
            return context.wrongUsage(QStringLiteral("not a date: ") + arguments[1], auditUsage);
        since = *parsed;
    }
    const QString path = context.session().audit.filePath();
    QString error;
    const auto entries = AuditLog::readEntries(path, since, &error);
    if (!entries) {
        context.err() << path << ": " << error << Qt::endl;
        return ExitStatus::Refused;
    }
    warnOfBrokenChain(context, path);
    for (const AuditEntry &entry : *entries)
        context.out() << AuditLog::readableLine(entry) << '\n';
    return ExitStatus::Done;
}

} // namespace miv::cli

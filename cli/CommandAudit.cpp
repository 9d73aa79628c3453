// mivctl audit [--since DATE]
//
// Prints the audit log of writes to relays (the file "audit.jsonl" in the
// data folder, or in the folder MIV_DATA_DIR names), one readable line per
// entry: time, user, port, address/factory number, register, what, old → new,
// the relay's answer. DATE is "yyyy-MM-dd", "yyyy-MM-ddTHH:mm[:ss]" or
// "dd.MM.yyyy"; only entries at or after it are printed. A log that cannot be
// read ends with exit 3; no log yet prints nothing.
#include "cli/CliContext.h"
#include "cli/Commands.h"
#include "core/AuditLog.h"

#include <optional>

namespace miv::cli {

namespace {

const QString auditUsage = QStringLiteral("audit [--since DATE]");

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

} // namespace

int runAudit(CliContext &context, const QStringList &arguments)
{
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
    for (const AuditEntry &entry : *entries)
        context.out() << AuditLog::readableLine(entry) << '\n';
    return ExitStatus::Done;
}

} // namespace miv::cli

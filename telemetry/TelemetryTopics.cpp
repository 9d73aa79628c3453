#include "telemetry/TelemetryTopics.h"

#include <QStringList>

namespace miv::telemetry {

namespace {

bool isPlainCharacter(QChar c)
{
    return (c.unicode() < 128 && c.isLetterOrNumber()) || c == u'.' || c == u'_' || c == u'-';
}

std::optional<QString> levelProblem(const QString &level)
{
    if (level.isEmpty())
        return QStringLiteral("an empty topic level");
    for (QChar c : level) {
        if (c == u'+' || c == u'#')
            return QStringLiteral("the wildcard '%1'").arg(c);
        if (c.unicode() == 0)
            return QStringLiteral("a NUL character");
    }
    return std::nullopt;
}

} // namespace

QString lineNameFromPort(const QString &portName)
{
    QString name = portName;
    const QString tcpScheme = QStringLiteral("tcp://");
    if (name.startsWith(tcpScheme, Qt::CaseInsensitive))
        name = name.mid(tcpScheme.size());
    else
        name = name.section(u'/', -1).section(u'\\', -1);
    for (QChar &c : name)
        if (!isPlainCharacter(c))
            c = u'_';
    return name.isEmpty() ? QStringLiteral("line") : name;
}

std::optional<QString> prefixProblem(const QString &prefix)
{
    if (prefix.startsWith(u'$'))
        return QStringLiteral("a topic starting with '$' belongs to the broker");
    for (const QString &level : prefix.split(u'/'))
        if (auto problem = levelProblem(level))
            return problem;
    return std::nullopt;
}

std::optional<QString> lineNameProblem(const QString &line)
{
    if (line.contains(u'/'))
        return QStringLiteral("a line name is one topic level, without '/'");
    if (line.startsWith(u'$'))
        return QStringLiteral("a topic starting with '$' belongs to the broker");
    return levelProblem(line);
}

} // namespace miv::telemetry

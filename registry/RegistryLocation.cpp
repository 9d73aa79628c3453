#include "registry/RegistryLocation.h"

#include "core/AuditLog.h"
#include "link/IniFile.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <QUrlQuery>

namespace miv {

RegistryLocation RegistryLocation::defaultFile()
{
    RegistryLocation location;
    location.filePath = QDir(AuditLog::defaultFolder()).filePath(QStringLiteral("registry.sqlite"));
    return location;
}

std::optional<RegistryLocation> RegistryLocation::parse(const QString &text, QString *error)
{
    const auto fail = [error](const QString &reason) -> std::optional<RegistryLocation> {
        if (error)
            *error = reason;
        return std::nullopt;
    };
    RegistryLocation location;
    if (!text.startsWith(QStringLiteral("postgresql://"))
        && !text.startsWith(QStringLiteral("postgres://"))) {
        if (text.trimmed().isEmpty())
            return fail(QStringLiteral("Не задан файл реестра реле"));
        location.filePath = text;
        return location;
    }
    const QUrl url(text, QUrl::StrictMode);
    const QString usage = QStringLiteral("Адрес реестра реле должен иметь вид "
                                         "postgresql://ПОЛЬЗОВАТЕЛЬ@СЕРВЕР[:ПОРТ]/БАЗА: %1");
    if (!url.isValid() || url.host().isEmpty())
        return fail(usage.arg(text));
    if (!url.password().isEmpty())
        return fail(QStringLiteral("Пароль не указывается в адресе реестра реле: "
                                   "задайте его в ~/.pgpass, PGPASSFILE или PGPASSWORD"));
    location.kind = Kind::Postgresql;
    location.user = url.userName();
    location.host = url.host();
    location.port = url.port(5432);
    location.database = url.path().mid(1);
    if (location.user.isEmpty() || location.database.isEmpty() || location.database.contains(u'/'))
        return fail(usage.arg(text));
    QStringList options;
    for (const auto &[key, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
        if (key == QStringLiteral("password"))
            return fail(QStringLiteral("Пароль не указывается в адресе реестра реле: "
                                       "задайте его в ~/.pgpass, PGPASSFILE или PGPASSWORD"));
        options << key + u'=' + value;
    }
    location.options = options.join(u';');
    return location;
}

std::optional<RegistryLocation> RegistryLocation::choose(const QString &given,
                                                         const QString &frontIni, QString *error)
{
    if (!given.isEmpty())
        return parse(given, error);
    IniFile file(frontIni);
    const QString kept =
            file.load() ? file.value(RegistrySetting::section, RegistrySetting::key) : QString();
    if (kept.isEmpty())
        return defaultFile();
    auto location = parse(kept, error);
    if (location && location->kind == Kind::Sqlite)
        location->filePath = QFileInfo(frontIni).dir().filePath(location->filePath);
    if (!location && error)
        *error = frontIni + QStringLiteral(": ") + *error;
    return location;
}

QString RegistryLocation::displayName() const
{
    if (kind == Kind::Sqlite)
        return QDir::toNativeSeparators(filePath);
    return QStringLiteral("postgresql://%1@%2:%3/%4").arg(user, host).arg(port).arg(database);
}

} // namespace miv

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

namespace {

const QString passwordRefusal =
        QStringLiteral("Пароль не указывается в адресе реестра реле: "
                       "задайте его в ~/.pgpass, PGPASSFILE или PGPASSWORD");

// Whether the address text holds a password, told from the text itself, so
// that an address that does not parse either is never shown with it: a
// "USER:PASSWORD@" before the host, or an option "password=".
bool holdsPassword(const QString &text)
{
    const qsizetype start = text.indexOf(QStringLiteral("://")) + 3;
    qsizetype end = start;
    while (end < text.size() && text[end] != u'/' && text[end] != u'?' && text[end] != u'#')
        ++end;
    const QString authority = text.mid(start, end - start);
    const qsizetype at = authority.lastIndexOf(u'@');
    if (at >= 0 && authority.left(at).contains(u':'))
        return true;
    const qsizetype question = text.indexOf(u'?', end);
    if (question < 0)
        return false;
    for (const auto &[key, value] :
         QUrlQuery(text.mid(question + 1)).queryItems(QUrl::FullyDecoded))
        if (key.trimmed() == QStringLiteral("password"))
            return true;
    return false;
}

} // namespace

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
    if (holdsPassword(text))
        return fail(passwordRefusal);
    const QUrl url(text, QUrl::StrictMode);
    const QString usage = QStringLiteral("Адрес реестра реле должен иметь вид "
                                         "postgresql://[ПОЛЬЗОВАТЕЛЬ@][СЕРВЕР][:ПОРТ][/БАЗА]: %1");
    if (!url.isValid())
        return fail(usage.arg(text));
    location.kind = Kind::Postgresql;
    location.user = url.userName();
    location.host = url.host();
    if (url.port() >= 0)
        location.port = url.port();
    location.database = url.path().mid(1);
    if (location.database.contains(u'/'))
        return fail(usage.arg(text));
    QStringList options;
    for (const auto &[key, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded))
        options << key + u'=' + value;
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
    QString address = QStringLiteral("postgresql://");
    if (!user.isEmpty())
        address += user + u'@';
    address += host;
    if (port)
        address += u':' + QString::number(*port);
    if (!database.isEmpty())
        address += u'/' + database;
    return address;
}

} // namespace miv

#pragma once

#include <optional>
#include <QString>

namespace miv {

// Where the relay register is kept: one SQLite file (the default, beside the
// audit log), or a PostgreSQL database that several seats share.
//
// A PostgreSQL location is written "postgresql://[USER@][HOST][:PORT][/DB]",
// with libpq's own options after a "?" ("?sslmode=require&connect_timeout=5").
// A part left out is left to libpq, so PGUSER, PGHOST, PGPORT, PGDATABASE
// and its own defaults apply. It never holds a password: libpq finds it as
// for any of its clients, in PGPASSWORD, the file PGPASSFILE names or
// ~/.pgpass (pgpass.conf in %APPDATA%/postgresql on Windows); PGSSLMODE and
// the other PG* variables work too.
struct RegistryLocation
{
    enum class Kind { Sqlite, Postgresql };
    Kind kind = Kind::Sqlite;
    QString filePath; // Sqlite
    QString user; // Postgresql; an empty part, or no port, is libpq's to find
    QString host;
    std::optional<int> port;
    QString database;
    QString options; // libpq options, "key=value;key=value" as Qt's driver takes them

    // The file "registry.sqlite" in the audit log's folder (MIV_DATA_DIR).
    static RegistryLocation defaultFile();
    // "postgresql://..." (or "postgres://...") as above, or else a file path.
    // nullopt (with the reason in *error) for a PostgreSQL address that does
    // not parse or that holds a password; the reason never shows the password.
    static std::optional<RegistryLocation> parse(const QString &text, QString *error = nullptr);

    // Where the window and mivctl keep the register: `given` (mivctl's
    // --registry) when not empty, else the key of "front.ini" (a relative
    // file path taken from the folder of "front.ini"), else defaultFile().
    static std::optional<RegistryLocation> choose(const QString &given, const QString &frontIni,
                                                  QString *error = nullptr);

    // As the operator is shown it: the file path, or the address without
    // options, the parts left out left out.
    QString displayName() const;
};

// The key of "front.ini" that names the register for the window and mivctl
// (section "Registry", key "Location"); --registry of mivctl overrides it.
namespace RegistrySetting {
inline const QString section = QStringLiteral("Registry");
inline const QString key = QStringLiteral("Location");
} // namespace RegistrySetting

} // namespace miv

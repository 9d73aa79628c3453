#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Debian's PostgreSQL server for a test: `initdb` in a scratch folder (one
// superuser "miv" with password "miv-secret", password authentication over
// TCP), `pg_ctl` on a free port of 127.0.0.1, stopped and removed when the
// object goes. Run as root, the server runs as the system user "postgres"
// that Debian's package makes, which owns the scratch folder.
class PostgresServer
{
public:
    static inline const QString user = QStringLiteral("miv");
    static inline const QString password = QStringLiteral("miv-secret");

    PostgresServer();
    ~PostgresServer();
    PostgresServer(const PostgresServer &) = delete;
    PostgresServer &operator=(const PostgresServer &) = delete;

    bool isRunning() const { return m_running; }
    QString errorText() const { return m_error; }
    quint16 port() const { return m_port; }

    // Stops the server as a restart does ("fast": the clients' connections
    // are ended), or "immediate" as a crash would, and starts it again on the
    // same port; false with errorText() when it could not.
    bool stop(const QString &mode = QStringLiteral("fast"));
    bool start();

    // Makes a new empty database; false with errorText() when it could not.
    bool createDatabase(const QString &name);
    // "postgresql://miv@127.0.0.1:PORT/NAME", or as another role.
    QString url(const QString &database, const QString &role = user) const;
    // Makes a login role with the same password as "miv" (so PGPASSWORD
    // serves every role), once per server; false with errorText().
    bool createLoginRole(const QString &role);
    // Runs one SQL command with psql as `role` (as a person would at his own
    // seat); its exit code 0, or false with psql's message in errorText().
    bool psql(const QString &database, const QString &role, const QString &sql);

private:
    // Runs a server program (as "postgres" when run as root); its exit code
    // 0, or false with errorText().
    bool run(const QString &program, const QStringList &arguments, int timeoutMs = 120000);

    QTemporaryDir m_folder;
    QString m_binFolder;
    QString m_data;
    quint16 m_port = 0;
    bool m_running = false;
    QString m_error;
};

#include "support/PostgresServer.h"

#include "support/Superuser.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QTcpServer>
#include <QVersionNumber>

namespace {

quint16 freePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

// The newest installed server's programs, "/usr/lib/postgresql/15/bin".
QString serverBinFolder()
{
    QDir root(QStringLiteral("/usr/lib/postgresql"));
    QString best;
    QVersionNumber bestVersion;
    for (const QString &name : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QVersionNumber version = QVersionNumber::fromString(name);
        if (QFile::exists(root.filePath(name + QStringLiteral("/bin/pg_ctl")))
            && version > bestVersion) {
            bestVersion = version;
            best = root.filePath(name + QStringLiteral("/bin"));
        }
    }
    return best;
}

} // namespace

PostgresServer::PostgresServer() : m_binFolder(serverBinFolder()), m_port(freePort())
{
    if (m_binFolder.isEmpty()) {
        m_error =
                QStringLiteral("no PostgreSQL server in /usr/lib/postgresql (package postgresql)");
        return;
    }
    if (!m_folder.isValid()) {
        m_error = QStringLiteral("no scratch folder");
        return;
    }
    m_data = m_folder.filePath(QStringLiteral("data"));
    const QString passwordFile = m_folder.filePath(QStringLiteral("password"));
    QFile file(passwordFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(password.toUtf8()) < 0) {
        m_error = QStringLiteral("cannot write the password file");
        return;
    }
    file.close();
    if (runsAsSuperuser()) {
        QProcess chown;
        chown.start(QStringLiteral("chown"),
                    {QStringLiteral("-R"), QStringLiteral("postgres:postgres"), m_folder.path()});
        if (!chown.waitForFinished() || chown.exitCode() != 0) {
            m_error = QStringLiteral("cannot give the scratch folder to the user postgres");
            return;
        }
    }
    if (!run(QStringLiteral("initdb"),
             {QStringLiteral("-D"), m_data, QStringLiteral("-U"), user,
              QStringLiteral("--pwfile=") + passwordFile, QStringLiteral("-A"),
              QStringLiteral("scram-sha-256"), QStringLiteral("-E"), QStringLiteral("UTF8"),
              QStringLiteral("--no-sync")}))
        return;
    start();
}

bool PostgresServer::start()
{
    m_running = run(QStringLiteral("pg_ctl"),
                    {QStringLiteral("-D"), m_data, QStringLiteral("-w"), QStringLiteral("-l"),
                     m_folder.filePath(QStringLiteral("server.log")), QStringLiteral("-o"),
                     QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off")
                             .arg(m_port)
                             .arg(m_folder.path()),
                     QStringLiteral("start")});
    return m_running;
}

bool PostgresServer::stop(const QString &mode)
{
    if (!m_running)
        return true;
    m_running = !run(QStringLiteral("pg_ctl"),
                     {QStringLiteral("-D"), m_data, QStringLiteral("-w"), QStringLiteral("-m"),
                      mode, QStringLiteral("stop")});
    return !m_running;
}

PostgresServer::~PostgresServer()
{
    stop(QStringLiteral("immediate"));
}

bool PostgresServer::run(const QString &program, const QStringList &arguments, int timeoutMs)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PGPASSWORD"), password);
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(m_folder.path());
    const QString path = m_binFolder + u'/' + program;
    if (runsAsSuperuser())
        process.start(QStringLiteral("runuser"),
                      QStringList{QStringLiteral("-u"), QStringLiteral("postgres"),
                                  QStringLiteral("--"), path}
                              + arguments);
    else
        process.start(path, arguments);
    if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        m_error = program + QStringLiteral(" failed: ")
                + QString::fromLocal8Bit(process.readAllStandardError()
                                         + process.readAllStandardOutput());
        return false;
    }
    return true;
}

bool PostgresServer::createDatabase(const QString &name)
{
    return run(QStringLiteral("createdb"),
               {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                QString::number(m_port), QStringLiteral("-U"), user, name});
}

QString PostgresServer::url(const QString &database, const QString &role) const
{
    return QStringLiteral("postgresql://%1@127.0.0.1:%2/%3").arg(role).arg(m_port).arg(database);
}

bool PostgresServer::createLoginRole(const QString &role)
{
    return psql(QStringLiteral("postgres"), user,
                QStringLiteral("DO $$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = "
                               "'%1') THEN CREATE ROLE %1 LOGIN PASSWORD '%2'; END IF; END $$")
                        .arg(role, password));
}

bool PostgresServer::psql(const QString &database, const QString &role, const QString &sql)
{
    return run(QStringLiteral("psql"),
               {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
                QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"),
                QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(m_port),
                QStringLiteral("-U"), role, QStringLiteral("-d"), database, QStringLiteral("-c"),
                sql});
}

#include "registry/RegistryRoles.h"

#include "registry/RegistryStore.h"

#include <QSqlQuery>

namespace miv::RegistryRoles {

namespace {

// One step of the setup: what it does in the operator's words, a query that
// answers true when the database already stands so, and the statements.
struct Step
{
    QString text;
    QString alreadySo;
    QStringList statements;
};

const QStringList allTables = {
        QStringLiteral("schema_version"),    QStringLiteral("relays"),
        QStringLiteral("software_versions"), QStringLiteral("settings_contents"),
        QStringLiteral("snapshots"),         QStringLiteral("approvals"),
        QStringLiteral("replacements"),      QStringLiteral("journal_reads"),
        QStringLiteral("journal_entries"),   QStringLiteral("journal_rings"),
        QStringLiteral("proposals"),         QStringLiteral("signoffs"),
};

// What an engineer records rows into; approvals are not among them.
const QStringList recordedTables = {
        QStringLiteral("relays"),
        QStringLiteral("software_versions"),
        QStringLiteral("settings_contents"),
        QStringLiteral("snapshots"),
        QStringLiteral("replacements"),
        QStringLiteral("journal_reads"),
        QStringLiteral("journal_entries"),
        QStringLiteral("journal_rings"),
        QStringLiteral("proposals"),
        QStringLiteral("signoffs"),
};

// The columns of a relay's row that a recording changes: not its approval.
const QStringList relayColumns = {
        QStringLiteral("device_name"),      QStringLiteral("tag"),
        QStringLiteral("software_version"), QStringLiteral("last_seen"),
        QStringLiteral("last_port"),        QStringLiteral("last_address"),
        QStringLiteral("last_snapshot_id"), QStringLiteral("last_content_id"),
};

const QStringList approverFunctions = {
        QStringLiteral("miv_confirm(bigint, text, text)"),
        QStringLiteral("miv_reject(bigint, text, text)"),
        QStringLiteral("miv_lock(bigint, text, text)"),
        QStringLiteral("miv_unlock(bigint, text, text)"),
};

QString allOf(const QStringList &conditions)
{
    return QStringLiteral("SELECT ") + conditions.join(QStringLiteral(" AND "));
}

QList<Step> roleSteps()
{
    QList<Step> steps;
    for (const QString &role : {reader, engineer, approver})
        steps.append({QStringLiteral("роль %1 создана").arg(role),
                      QStringLiteral("SELECT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = '%1')")
                              .arg(role),
                      {QStringLiteral("CREATE ROLE %1 NOLOGIN").arg(role)}});
    // An approver may do what an engineer does, an engineer what a reader does.
    for (const auto &[member, of] : {std::pair{engineer, reader}, std::pair{approver, engineer}})
        steps.append({QStringLiteral("роль %1 включена в %2").arg(member, of),
                      QStringLiteral("SELECT pg_has_role('%1', '%2', 'MEMBER')").arg(member, of),
                      {QStringLiteral("GRANT %1 TO %2").arg(of, member)}});
    return steps;
}

QList<Step> grantSteps()
{
    QStringList reading{
            QStringLiteral("has_schema_privilege('%1', 'public', 'USAGE')").arg(reader)};
    for (const QString &table : allTables)
        reading << QStringLiteral("has_table_privilege('%1', '%2', 'SELECT')").arg(reader, table);
    QStringList recording;
    QStringList sequences;
    for (const QString &table : recordedTables) {
        recording
                << QStringLiteral("has_table_privilege('%1', '%2', 'INSERT')").arg(engineer, table);
        if (table != QStringLiteral("journal_rings"))
            sequences << QStringLiteral("%1_id_seq").arg(table);
    }
    for (const QString &sequence : sequences)
        recording << QStringLiteral("has_sequence_privilege('%1', '%2', 'USAGE')")
                             .arg(engineer, sequence);
    for (const QString &column : relayColumns)
        recording << QStringLiteral("has_column_privilege('%1', 'relays', '%2', 'UPDATE')")
                             .arg(engineer, column);
    recording << QStringLiteral("has_column_privilege('%1', 'journal_rings', 'ring', 'UPDATE')")
                         .arg(engineer);
    QStringList approving;
    for (const QString &function : approverFunctions)
        approving << QStringLiteral("has_function_privilege('%1', '%2', 'EXECUTE')")
                             .arg(approver, function);
    QStringList approvingGrants;
    for (const QString &function : approverFunctions)
        approvingGrants
                << QStringLiteral("GRANT EXECUTE ON FUNCTION %1 TO %2").arg(function, approver);
    return {
            {QStringLiteral("%1: чтение всех таблиц реестра").arg(reader),
             allOf(reading),
             {QStringLiteral("GRANT USAGE ON SCHEMA public TO %1").arg(reader),
              QStringLiteral("GRANT SELECT ON %1 TO %2").arg(allTables.join(u','), reader)}},
            {QStringLiteral("%1: запись снимков, журналов, заявок и отметок").arg(engineer),
             allOf(recording),
             {QStringLiteral("GRANT INSERT ON %1 TO %2").arg(recordedTables.join(u','), engineer),
              QStringLiteral("GRANT USAGE ON SEQUENCE %1 TO %2")
                      .arg(sequences.join(u','), engineer),
              QStringLiteral("GRANT UPDATE (%1) ON relays TO %2")
                      .arg(relayColumns.join(u','), engineer),
              QStringLiteral("GRANT UPDATE (ring) ON journal_rings TO %1").arg(engineer)}},
            {QStringLiteral("%1: утверждение, отклонение, ввод в эксплуатацию").arg(approver),
             allOf(approving), approvingGrants},
            // The approver's sign-offs come from the functions (run as the
            // owner, who is not held by row security); an engineer's own
            // connection may sign only these.
            {QStringLiteral("отметки: инженер ставит только «предложено», «записано», «проверено»"),
             QStringLiteral("SELECT (SELECT relrowsecurity FROM pg_class WHERE oid = "
                            "'signoffs'::regclass) AND (SELECT count(*) = 2 FROM pg_policies "
                            "WHERE tablename = 'signoffs')"),
             {QStringLiteral("ALTER TABLE signoffs ENABLE ROW LEVEL SECURITY"),
              QStringLiteral("DROP POLICY IF EXISTS signoffs_read ON signoffs"),
              QStringLiteral("DROP POLICY IF EXISTS signoffs_engineer ON signoffs"),
              QStringLiteral("CREATE POLICY signoffs_read ON signoffs FOR SELECT USING (true)"),
              QStringLiteral("CREATE POLICY signoffs_engineer ON signoffs FOR INSERT TO %1 WITH "
                             "CHECK (meaning IN ('proposed', 'applied', 'verified'))")
                      .arg(engineer)}},
    };
}

} // namespace

std::optional<QStringList> setUp(RegistryStore &store, QString *error)
{
    if (!store.open()) {
        *error = store.error();
        return std::nullopt;
    }
    if (!store.identityVerified()) {
        *error = QStringLiteral("Роли есть только у реестра на сервере PostgreSQL: в файле SQLite "
                                "пользователь ОС не проверяется");
        return std::nullopt;
    }
    QStringList done;
    const bool committed = store.inTransaction([&](QSqlQuery &query) {
        for (const Step &step : roleSteps() + grantSteps()) {
            if (!store.exec(query, step.alreadySo) || !query.next())
                return false;
            if (query.value(0).toBool())
                continue;
            for (const QString &statement : step.statements)
                if (!store.exec(query, statement))
                    return false;
            done << step.text;
        }
        return true;
    });
    if (!committed) {
        *error = store.error();
        return std::nullopt;
    }
    return done;
}

} // namespace miv::RegistryRoles

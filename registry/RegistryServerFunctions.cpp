#include "registry/RegistryServerFunctions.h"

namespace miv::RegistrySchema {

QString serverNowExpression()
{
    return QStringLiteral(
            "to_char(clock_timestamp() AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"')");
}

namespace {

// The proposal, still pending, locked against a second confirmation.
const QString pendingProposal = QStringLiteral(
        "SELECT * INTO p FROM proposals WHERE id = proposal FOR UPDATE; "
        "IF NOT FOUND THEN RAISE EXCEPTION 'Заявки №% нет в реестре', proposal; END IF; "
        "IF EXISTS (SELECT 1 FROM signoffs WHERE proposal_id = proposal AND meaning IN "
        "('confirmed', 'rejected')) THEN RAISE EXCEPTION 'Заявка №% уже закрыта', proposal; "
        "END IF; ");

const QString confirm =
        QStringLiteral(
                "CREATE OR REPLACE FUNCTION miv_confirm(proposal BIGINT, os_user TEXT, program_version TEXT) "
                "RETURNS BIGINT LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp "
                "AS $$ DECLARE p proposals%ROWTYPE; r relays%ROWTYPE; recorder TEXT; snapshot BIGINT; "
                "approval BIGINT; BEGIN ")
        + pendingProposal
        + QStringLiteral(
                "IF p.recorded_by = session_user THEN RAISE EXCEPTION 'Заявку №% подал %: "
                "утвердить её может только другой человек', proposal, session_user; END IF; "
                "IF p.source_snapshot_id IS NOT NULL THEN SELECT recorded_by INTO recorder FROM "
                "snapshots WHERE id = p.source_snapshot_id; IF recorder = session_user THEN RAISE "
                "EXCEPTION 'Уставки заявки №% записал в реестр %: утвердить их может только "
                "другой человек', proposal, session_user; END IF; END IF; "
                "SELECT * INTO r FROM relays WHERE id = p.relay_id FOR UPDATE; "
                "INSERT INTO snapshots (relay_id, content_id, kind, taken_at, os_user, "
                "program_version, port, address, software_version, approval, note) VALUES "
                "(p.relay_id, p.content_id, 'approved', ")
        + serverNowExpression()
        + QStringLiteral(
                ", os_user, program_version, r.last_port, r.last_address, r.software_version, "
                "'none', p.note) RETURNING id INTO snapshot; "
                "INSERT INTO approvals (relay_id, snapshot_id, approved_at, approved_by, source, "
                "note) VALUES (p.relay_id, snapshot, ")
        + serverNowExpression()
        + QStringLiteral(
                ", session_user, p.source, p.note) RETURNING id INTO approval; "
                "UPDATE relays SET approval_id = approval, approved_content_id = p.content_id "
                "WHERE id = p.relay_id; "
                "INSERT INTO signoffs (relay_id, meaning, proposal_id, approval_id, note, os_user) "
                "VALUES (p.relay_id, 'confirmed', proposal, approval, '', os_user); "
                "RETURN approval; END $$");

const QString reject =
        QStringLiteral(
                "CREATE OR REPLACE FUNCTION miv_reject(proposal BIGINT, reason TEXT, os_user TEXT) RETURNS BIGINT "
                "LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$ DECLARE "
                "p proposals%ROWTYPE; signoff BIGINT; BEGIN ")
        + pendingProposal
        + QStringLiteral("INSERT INTO signoffs (relay_id, meaning, proposal_id, note, os_user) "
                         "VALUES (p.relay_id, 'rejected', proposal, reason, os_user) RETURNING "
                         "id INTO signoff; RETURN signoff; END $$");

// A lock or an unlock: refused when the relay already stands so.
QString lockStep(const QString &name, const QString &meaning, const QString &wrongState,
                 const QString &refusal)
{
    return QStringLiteral(
                   "CREATE OR REPLACE FUNCTION %1(relay BIGINT, note TEXT, os_user TEXT) RETURNS BIGINT "
                   "LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$ "
                   "DECLARE last TEXT; signoff BIGINT; BEGIN "
                   "PERFORM 1 FROM relays WHERE id = relay FOR UPDATE; "
                   "IF NOT FOUND THEN RAISE EXCEPTION 'Реле нет в реестре'; END IF; "
                   "SELECT meaning INTO last FROM signoffs WHERE relay_id = relay AND meaning IN "
                   "('locked', 'unlocked') ORDER BY id DESC LIMIT 1; "
                   "IF %3 THEN RAISE EXCEPTION '%4'; END IF; "
                   "INSERT INTO signoffs (relay_id, meaning, note, os_user) VALUES (relay, '%2', "
                   "note, os_user) RETURNING id INTO signoff; RETURN signoff; END $$")
            .arg(name, meaning, wrongState, refusal);
}

} // namespace

QStringList serverFunctions()
{
    QStringList statements = {
            confirm,
            reject,
            lockStep(QStringLiteral("miv_lock"), QStringLiteral("locked"),
                     QStringLiteral("last = 'locked'"), QStringLiteral("Реле уже в эксплуатации")),
            lockStep(QStringLiteral("miv_unlock"), QStringLiteral("unlocked"),
                     QStringLiteral("last IS DISTINCT FROM 'locked'"),
                     QStringLiteral("Реле не в эксплуатации")),
    };
    for (QString &statement : statements)
        statement.prepend(QStringLiteral("{PG}"));
    // Functions are anyone's to run unless taken back.
    for (const QString &signature : {QStringLiteral("miv_confirm(BIGINT, TEXT, TEXT)"),
                                     QStringLiteral("miv_reject(BIGINT, TEXT, TEXT)"),
                                     QStringLiteral("miv_lock(BIGINT, TEXT, TEXT)"),
                                     QStringLiteral("miv_unlock(BIGINT, TEXT, TEXT)")})
        statements << QStringLiteral("{PG}REVOKE ALL ON FUNCTION %1 FROM PUBLIC").arg(signature);
    return statements;
}

} // namespace miv::RegistrySchema

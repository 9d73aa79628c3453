#include "registry/ChangeControl.h"

#include "registry/SettingsContent.h"
#include "registry/SettingsSource.h"

#include <QSqlQuery>

namespace miv {

namespace {

QString timeText(const QDateTime &time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

QDateTime timeFromText(const QString &text)
{
    return QDateTime::fromString(text, Qt::ISODateWithMs).toUTC();
}

std::optional<qint64> idOrNone(const QVariant &value)
{
    return value.isNull() ? std::nullopt : std::optional<qint64>(value.toLongLong());
}

QVariant idValue(std::optional<qint64> id)
{
    return id ? QVariant(*id) : QVariant(QMetaType(QMetaType::LongLong));
}

// Columns of a proposal with its relay, content and closing sign-off, in the
// order proposalFrom reads them.
const QString proposalColumns = QStringLiteral(
        "SELECT p.id, p.relay_id, r.factory_number, c.type_code, p.source_snapshot_id, p.source,"
        " p.note, p.os_user, p.recorded_by, p.recorded_at, c.registers, s.meaning,"
        " s.recorded_by, s.note, s.os_user FROM proposals p JOIN relays r ON r.id = p.relay_id"
        " JOIN settings_contents c ON c.id = p.content_id LEFT JOIN signoffs s ON"
        " s.proposal_id = p.id AND s.meaning IN ('confirmed', 'rejected')");

RegistryProposal proposalFrom(const QSqlQuery &query, bool verified)
{
    RegistryProposal proposal;
    proposal.id = query.value(0).toLongLong();
    proposal.relayId = query.value(1).toLongLong();
    proposal.factoryNumber = quint16(query.value(2).toUInt());
    proposal.typeCode = quint16(query.value(3).toUInt());
    proposal.sourceSnapshotId = idOrNone(query.value(4));
    proposal.source = query.value(5).toString();
    proposal.note = query.value(6).toString();
    proposal.osUser = query.value(7).toString();
    proposal.recordedBy = query.value(8).toString();
    proposal.recordedAt = timeFromText(query.value(9).toString());
    proposal.verified = verified;
    proposal.registers = SettingsContent::fromCanonicalText(query.value(10).toString())
                                 .value_or(SettingsRegisters{});
    const QString closing = query.value(11).toString();
    if (!closing.isEmpty()) {
        proposal.state = closing == QStringLiteral("confirmed") ? RegistryProposal::State::Confirmed
                                                                : RegistryProposal::State::Rejected;
        proposal.closedBy = query.value(12).toString();
        proposal.reason = query.value(13).toString();
    }
    return proposal;
}

} // namespace

namespace {

// Each meaning of a sign-off: its key as the register keeps it, and its words.
struct SignoffName
{
    SignoffMeaning meaning;
    const char16_t *key;
    const char16_t *text;
};

constexpr SignoffName signoffNames[] = {
        {SignoffMeaning::Proposed, u"proposed", u"предложено"},
        {SignoffMeaning::Confirmed, u"confirmed", u"утверждено"},
        {SignoffMeaning::Rejected, u"rejected", u"отклонено"},
        {SignoffMeaning::Applied, u"applied", u"записано"},
        {SignoffMeaning::Verified, u"verified", u"выполнено"},
        {SignoffMeaning::Locked, u"locked", u"в эксплуатации"},
        {SignoffMeaning::Unlocked, u"unlocked", u"выведено из эксплуатации"},
};

const SignoffName *signoffName(SignoffMeaning meaning)
{
    for (const SignoffName &name : signoffNames)
        if (name.meaning == meaning)
            return &name;
    return nullptr;
}

} // namespace

QString signoffKey(SignoffMeaning meaning)
{
    const SignoffName *name = signoffName(meaning);
    return name ? QString::fromUtf16(name->key) : QString();
}

std::optional<SignoffMeaning> signoffFromKey(const QString &key)
{
    for (const SignoffName &name : signoffNames)
        if (key == QStringView(name.key))
            return name.meaning;
    return std::nullopt;
}

QString signoffText(SignoffMeaning meaning)
{
    const SignoffName *name = signoffName(meaning);
    return name ? QString::fromUtf16(name->text) : QString();
}

QString proposalStateText(RegistryProposal::State state)
{
    switch (state) {
    case RegistryProposal::State::Pending:
        return QStringLiteral("на утверждении");
    case RegistryProposal::State::Confirmed:
        return QStringLiteral("утверждено");
    case RegistryProposal::State::Rejected:
        return QStringLiteral("отклонено");
    }
    return {};
}

bool ChangeControl::failed()
{
    m_error = m_store.error();
    return false;
}

bool ChangeControl::refuse(const QString &text)
{
    m_error = text;
    return m_store.failWith(text);
}

bool ChangeControl::insertSignoff(QSqlQuery &query, const RegistrySignoff &signoff,
                                  const RecordingContext &context)
{
    return m_store.exec(query,
                        QStringLiteral("INSERT INTO signoffs (relay_id, meaning, proposal_id, "
                                       "approval_id, note, os_user, recorded_by, recorded_at) "
                                       "VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
                        {signoff.relayId, signoffKey(signoff.meaning), idValue(signoff.proposalId),
                         idValue(signoff.approvalId), signoff.note, context.user, context.user,
                         timeText(context.time)});
}

std::optional<qint64> ChangeControl::propose(qint64 relayId, const SettingsRegisters &registers,
                                             std::optional<qint64> sourceSnapshot,
                                             const QString &source, const QString &note,
                                             const RecordingContext &context)
{
    if (!m_store.open()) {
        failed();
        return std::nullopt;
    }
    qint64 proposalId = 0;
    const bool done = m_store.inTransaction([&](QSqlQuery &query) {
        if (!m_store.exec(query, QStringLiteral("SELECT type_code FROM relays WHERE id = ?"),
                          {relayId}))
            return false;
        if (!query.next())
            return refuse(QStringLiteral("Реле нет в реестре"));
        const quint16 typeCode = quint16(query.value(0).toUInt());
        const SettingsRegisters settings = SettingsContent::settingsOnly(registers, typeCode);
        const QString digest = SettingsContent::digest(typeCode, settings);
        const std::optional<qint64> contentId = m_store.contentId(
                query, digest, int(typeCode), SettingsContent::canonicalText(settings));
        if (!contentId)
            return false;
        if (!m_store.exec(query,
                          QStringLiteral("INSERT INTO proposals (relay_id, content_id, "
                                         "source_snapshot_id, source, note, os_user, "
                                         "program_version, recorded_by, recorded_at) VALUES (?, "
                                         "?, ?, ?, ?, ?, ?, ?, ?) RETURNING id"),
                          {relayId, *contentId, idValue(sourceSnapshot), source, note, context.user,
                           context.programVersion, context.user, timeText(context.time)})
            || !query.next())
            return false;
        proposalId = query.value(0).toLongLong();
        RegistrySignoff signoff;
        signoff.relayId = relayId;
        signoff.meaning = SignoffMeaning::Proposed;
        signoff.proposalId = proposalId;
        signoff.note = note;
        return insertSignoff(query, signoff, context);
    });
    if (!done) {
        failed();
        return std::nullopt;
    }
    return proposalId;
}

// The server's refusal of a step in the operator's words: a role without
// the grant, or the reason the register's function raised, without the
// server's prefix and the function's context.
QString serverRefusalText(const QString &storeError)
{
    if (storeError.contains(QStringLiteral("permission denied")))
        return QStringLiteral("Сервер реестра реле отказал: этот шаг может сделать только роль "
                              "miv_approver");
    const qsizetype raised = storeError.indexOf(QStringLiteral("ERROR:"));
    if (raised < 0)
        return storeError;
    return storeError.mid(raised + 6).section(u'\n', 0, 0).trimmed();
}

std::optional<qint64> ChangeControl::serverStep(const QString &call, const QVariantList &values)
{
    std::optional<qint64> result;
    const bool done = m_store.inTransaction([&](QSqlQuery &query) {
        if (!m_store.exec(query, QStringLiteral("SELECT ") + call, values) || !query.next())
            return false;
        result = query.value(0).toLongLong();
        return true;
    });
    if (!done) {
        m_error = serverRefusalText(m_store.error());
        return std::nullopt;
    }
    return result;
}

std::optional<qint64> ChangeControl::confirm(qint64 proposalId, const RecordingContext &context)
{
    if (!m_store.open()) {
        failed();
        return std::nullopt;
    }
    if (!sqlite())
        return serverStep(QStringLiteral("miv_confirm(?, ?, ?)"),
                          {proposalId, context.user, context.programVersion});
    // One seat: the same rules, against the PC's user.
    const std::optional<RegistryProposal> pending = proposal(proposalId);
    if (!pending)
        return std::nullopt;
    std::optional<qint64> approvalId;
    const bool done = m_store.inTransaction([&](QSqlQuery &query) {
        if (!m_store.exec(query,
                          QStringLiteral("SELECT count(*) FROM signoffs WHERE proposal_id = ? AND "
                                         "meaning IN ('confirmed', 'rejected')"),
                          {proposalId})
            || !query.next())
            return false;
        if (query.value(0).toInt() > 0)
            return refuse(QStringLiteral("Заявка №%1 уже закрыта").arg(proposalId));
        if (pending->recordedBy == context.user)
            return refuse(QStringLiteral("Заявку №%1 подал %2: утвердить её может только другой "
                                         "человек")
                                  .arg(proposalId)
                                  .arg(context.user));
        if (pending->sourceSnapshotId) {
            if (!m_store.exec(query,
                              QStringLiteral("SELECT recorded_by FROM snapshots WHERE id = ?"),
                              {*pending->sourceSnapshotId})
                || !query.next())
                return false;
            if (query.value(0).toString() == context.user)
                return refuse(QStringLiteral("Уставки заявки №%1 записал в реестр %2: утвердить "
                                             "их может только другой человек")
                                      .arg(proposalId)
                                      .arg(context.user));
        }
        approvalId = m_store.addApproval(query, pending->relayId, pending->registers,
                                         pending->source, pending->note, context);
        if (!approvalId)
            return false;
        RegistrySignoff signoff;
        signoff.relayId = pending->relayId;
        signoff.meaning = SignoffMeaning::Confirmed;
        signoff.proposalId = proposalId;
        signoff.approvalId = approvalId;
        return insertSignoff(query, signoff, context);
    });
    if (!done) {
        failed();
        return std::nullopt;
    }
    return approvalId;
}

bool ChangeControl::reject(qint64 proposalId, const QString &reason,
                           const RecordingContext &context)
{
    if (!m_store.open())
        return failed();
    if (!sqlite())
        return serverStep(QStringLiteral("miv_reject(?, ?, ?)"), {proposalId, reason, context.user})
                .has_value();
    const std::optional<RegistryProposal> pending = proposal(proposalId);
    if (!pending)
        return false;
    return m_store.inTransaction([&](QSqlQuery &query) {
        if (!m_store.exec(query,
                          QStringLiteral("SELECT count(*) FROM signoffs WHERE proposal_id = ? AND "
                                         "meaning IN ('confirmed', 'rejected')"),
                          {proposalId})
            || !query.next())
            return false;
        if (query.value(0).toInt() > 0)
            return refuse(QStringLiteral("Заявка №%1 уже закрыта").arg(proposalId));
        RegistrySignoff signoff;
        signoff.relayId = pending->relayId;
        signoff.meaning = SignoffMeaning::Rejected;
        signoff.proposalId = proposalId;
        signoff.note = reason;
        return insertSignoff(query, signoff, context);
    }) || failed();
}

bool ChangeControl::lock(qint64 relayId, const QString &note, const RecordingContext &context)
{
    return lockStep(relayId, SignoffMeaning::Locked, note, context);
}

bool ChangeControl::unlock(qint64 relayId, const QString &note, const RecordingContext &context)
{
    return lockStep(relayId, SignoffMeaning::Unlocked, note, context);
}

bool ChangeControl::lockStep(qint64 relayId, SignoffMeaning meaning, const QString &note,
                             const RecordingContext &context)
{
    if (!m_store.open())
        return failed();
    const bool locking = meaning == SignoffMeaning::Locked;
    if (!sqlite())
        return serverStep(locking ? QStringLiteral("miv_lock(?, ?, ?)")
                                  : QStringLiteral("miv_unlock(?, ?, ?)"),
                          {relayId, note, context.user})
                .has_value();
    const auto current = lockOf(relayId);
    if (!current)
        return false;
    if (current->has_value() == locking)
        return refuse(locking ? QStringLiteral("Реле уже в эксплуатации")
                              : QStringLiteral("Реле не в эксплуатации"));
    return m_store.inTransaction([&](QSqlQuery &query) {
        RegistrySignoff signoff;
        signoff.relayId = relayId;
        signoff.meaning = meaning;
        signoff.note = note;
        return insertSignoff(query, signoff, context);
    }) || failed();
}

bool ChangeControl::sign(qint64 relayId, SignoffMeaning meaning, qint64 approvalId,
                         const QString &note, const RecordingContext &context)
{
    if (!m_store.open())
        return failed();
    return m_store.inTransaction([&](QSqlQuery &query) {
        RegistrySignoff signoff;
        signoff.relayId = relayId;
        signoff.meaning = meaning;
        signoff.approvalId = approvalId;
        signoff.note = note;
        return insertSignoff(query, signoff, context);
    }) || failed();
}

std::optional<QList<RegistryProposal>> ChangeControl::proposalsWhere(const QString &condition,
                                                                     const QVariantList &values)
{
    if (!m_store.open()) {
        failed();
        return std::nullopt;
    }
    QSqlQuery query(m_store.database());
    if (!m_store.exec(query, proposalColumns + condition + QStringLiteral(" ORDER BY p.id"),
                      values)) {
        failed();
        return std::nullopt;
    }
    QList<RegistryProposal> proposals;
    while (query.next())
        proposals.append(proposalFrom(query, m_store.identityVerified()));
    return proposals;
}

std::optional<QList<RegistryProposal>> ChangeControl::proposals(std::optional<qint64> relayId)
{
    if (relayId)
        return proposalsWhere(QStringLiteral(" WHERE p.relay_id = ?"), {*relayId});
    return proposalsWhere({}, {});
}

std::optional<RegistryProposal> ChangeControl::proposal(qint64 proposalId)
{
    const auto found = proposalsWhere(QStringLiteral(" WHERE p.id = ?"), {proposalId});
    if (!found)
        return std::nullopt;
    if (found->isEmpty()) {
        refuse(QStringLiteral("Заявки №%1 нет в реестре").arg(proposalId));
        return std::nullopt;
    }
    return found->front();
}

std::optional<QList<RegistrySignoff>> ChangeControl::signoffs(qint64 relayId)
{
    if (!m_store.open()) {
        failed();
        return std::nullopt;
    }
    QSqlQuery query(m_store.database());
    if (!m_store.exec(query,
                      QStringLiteral("SELECT id, relay_id, meaning, proposal_id, approval_id, "
                                     "note, os_user, recorded_by, recorded_at FROM signoffs "
                                     "WHERE relay_id = ? ORDER BY id"),
                      {relayId})) {
        failed();
        return std::nullopt;
    }
    QList<RegistrySignoff> signoffs;
    while (query.next()) {
        RegistrySignoff signoff;
        signoff.id = query.value(0).toLongLong();
        signoff.relayId = query.value(1).toLongLong();
        signoff.meaning =
                signoffFromKey(query.value(2).toString()).value_or(SignoffMeaning::Proposed);
        signoff.proposalId = idOrNone(query.value(3));
        signoff.approvalId = idOrNone(query.value(4));
        signoff.note = query.value(5).toString();
        signoff.osUser = query.value(6).toString();
        signoff.recordedBy = query.value(7).toString();
        signoff.recordedAt = timeFromText(query.value(8).toString());
        signoff.verified = m_store.identityVerified();
        signoffs.append(signoff);
    }
    return signoffs;
}

std::optional<std::optional<RegistrySignoff>> ChangeControl::lockOf(qint64 relayId)
{
    const auto all = signoffs(relayId);
    if (!all)
        return std::nullopt;
    for (auto it = all->crbegin(); it != all->crend(); ++it) {
        if (it->meaning == SignoffMeaning::Locked)
            return std::optional<RegistrySignoff>{*it};
        if (it->meaning == SignoffMeaning::Unlocked)
            break;
    }
    return std::optional<RegistrySignoff>{};
}

} // namespace miv

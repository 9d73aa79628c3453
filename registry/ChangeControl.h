#pragma once

#include "registry/RegistryStore.h"

#include <optional>
#include <QDateTime>
#include <QList>
#include <QString>

namespace miv {

// A step of a relay's settings as the register signs it.
enum class SignoffMeaning { Proposed, Confirmed, Rejected, Applied, Verified, Locked, Unlocked };
// "proposed", "confirmed", ... as the register keeps them; the operator's
// words "предложено", "утверждено", "отклонено", "записано", "выполнено",
// "в эксплуатации", "выведено из эксплуатации".
QString signoffKey(SignoffMeaning meaning);
std::optional<SignoffMeaning> signoffFromKey(const QString &key);
QString signoffText(SignoffMeaning meaning);

// One sign-off: who (the server's role on PostgreSQL, the PC's user on
// SQLite), when (the server's time on PostgreSQL), what it means.
struct RegistrySignoff
{
    qint64 id = 0;
    qint64 relayId = 0;
    SignoffMeaning meaning = SignoffMeaning::Proposed;
    std::optional<qint64> proposalId;
    std::optional<qint64> approvalId;
    QString note;
    QString osUser;
    QString recordedBy;
    QDateTime recordedAt;
    bool verified = false; // recordedBy is the server's
};

// Settings proposed as a relay's approved ones, waiting for another person.
struct RegistryProposal
{
    enum class State { Pending, Confirmed, Rejected };
    qint64 id = 0;
    qint64 relayId = 0;
    quint16 factoryNumber = 0;
    quint16 typeCode = 0;
    std::optional<qint64> sourceSnapshotId;
    QString source; // "snapshot N" or the settings file's name
    QString note; // the author's reason
    QString osUser;
    QString recordedBy; // the author
    QDateTime recordedAt;
    bool verified = false;
    SettingsRegisters registers;
    State state = State::Pending;
    QString closedBy; // who confirmed or rejected it
    QString reason; // of a rejection
};
// "на утверждении", "утверждено", "отклонено".
QString proposalStateText(RegistryProposal::State state);

// The steps of change control over the register: a proposal, its
// confirmation by another person or its rejection, a relay's lock, and the
// sign-offs of settings applied and verified. On PostgreSQL the server
// decides (see RegistryServerFunctions.h): a confirmation, a rejection and a
// lock go through the register's functions, which check the caller by his
// login role; on SQLite the same checks are the program's, against the PC's
// user, which nothing verifies. Every call returns nullopt or false with
// the reason in error().
class ChangeControl
{
public:
    explicit ChangeControl(RegistryStore &store) : m_store(store) { }

    // A proposal of `registers` for the relay, with its sign-off "proposed",
    // in one transaction. sourceSnapshot: the snapshot the settings come
    // from, whose recorder may not confirm them either.
    std::optional<qint64> propose(qint64 relayId, const SettingsRegisters &registers,
                                  std::optional<qint64> sourceSnapshot, const QString &source,
                                  const QString &note, const RecordingContext &context);
    // Makes the proposal's settings the relay's approved ones; the approval's id.
    std::optional<qint64> confirm(qint64 proposalId, const RecordingContext &context);
    bool reject(qint64 proposalId, const QString &reason, const RecordingContext &context);
    // Puts the relay in service (only its approved settings may be written
    // to it then) or takes it out.
    bool lock(qint64 relayId, const QString &note, const RecordingContext &context);
    bool unlock(qint64 relayId, const QString &note, const RecordingContext &context);
    // Signs applied or verified settings against an approval.
    bool sign(qint64 relayId, SignoffMeaning meaning, qint64 approvalId, const QString &note,
              const RecordingContext &context);

    // The proposals, oldest first, of one relay or of all.
    std::optional<QList<RegistryProposal>> proposals(std::optional<qint64> relayId = {});
    std::optional<RegistryProposal> proposal(qint64 proposalId);
    std::optional<QList<RegistrySignoff>> signoffs(qint64 relayId);
    // The relay's lock when it is in service: an empty optional inside when not.
    std::optional<std::optional<RegistrySignoff>> lockOf(qint64 relayId);

    QString error() const { return m_error; }

private:
    bool sqlite() const { return !m_store.identityVerified(); }
    bool failed();
    bool refuse(const QString &text);
    std::optional<qint64> serverStep(const QString &call, const QVariantList &values);
    bool lockStep(qint64 relayId, SignoffMeaning meaning, const QString &note,
                  const RecordingContext &context);
    bool insertSignoff(QSqlQuery &query, const RegistrySignoff &signoff,
                       const RecordingContext &context);
    std::optional<QList<RegistryProposal>> proposalsWhere(const QString &condition,
                                                          const QVariantList &values);

    RegistryStore &m_store;
    QString m_error;
};

} // namespace miv

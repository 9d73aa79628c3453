#include "registry/CommissioningVisit.h"

#include <algorithm>
#include <QStringList>

namespace miv {

namespace {

// The visits a refusal lists at most: the latest ones.
constexpr qsizetype listedVisits = 10;

// Whether `a` was recorded after `b`; snapshots of one moment in the order
// the register numbered them.
bool later(const RegistrySnapshot &a, const RegistrySnapshot &b)
{
    return a.time != b.time ? a.time > b.time : a.id > b.id;
}

QDate dayOf(const RegistrySnapshot &snapshot)
{
    return snapshot.time.toLocalTime().date();
}

// The first as-found of `asLeft`'s day recorded before it.
std::optional<RegistrySnapshot> firstAsFoundBefore(const QList<RegistrySnapshot> &history,
                                                   const RegistrySnapshot &asLeft)
{
    for (const RegistrySnapshot &snapshot : history)
        if (snapshot.kind == SettingsKind::AsFound && dayOf(snapshot) == dayOf(asLeft)
            && later(asLeft, snapshot))
            return snapshot;
    return std::nullopt;
}

// The last as-left of `asFound`'s day recorded after it.
std::optional<RegistrySnapshot> lastAsLeftAfter(const QList<RegistrySnapshot> &history,
                                                const RegistrySnapshot &asFound)
{
    std::optional<RegistrySnapshot> found;
    for (const RegistrySnapshot &snapshot : history)
        if (snapshot.kind == SettingsKind::AsLeft && dayOf(snapshot) == dayOf(asFound)
            && later(snapshot, asFound) && (!found || later(snapshot, *found)))
            found = snapshot;
    return found;
}

std::optional<RegistrySnapshot> byId(const QList<RegistrySnapshot> &history, qint64 id)
{
    for (const RegistrySnapshot &snapshot : history)
        if (snapshot.id == id)
            return snapshot;
    return std::nullopt;
}

// The visits on record, for a refusal: the operator picks one from them.
QString visitsText(const QList<RegistrySnapshot> &history, quint16 factoryNumber)
{
    const QList<CommissioningVisit> visits = visitsOf(history);
    if (visits.isEmpty())
        return QStringLiteral("Посещений реле №%1 в реестре нет: ни в один день за записью "
                              "«при получении» не следует запись «после записи».")
                .arg(factoryNumber);
    QStringList pairs;
    for (qsizetype k = std::max<qsizetype>(0, visits.size() - listedVisits); k < visits.size(); ++k)
        pairs << QStringLiteral("%1 → %2 (%3)")
                         .arg(visits[k].asFound.id)
                         .arg(visits[k].asLeft.id)
                         .arg(dayOf(visits[k].asFound).toString(QStringLiteral("dd.MM.yyyy")));
    const QString latest = visits.size() > listedVisits
            ? QStringLiteral(", последние %1 из %2").arg(listedVisits).arg(visits.size())
            : QString();
    return QStringLiteral("Посещения реле №%1 (записи до наладки → после наладки%2): %3.")
            .arg(factoryNumber)
            .arg(latest, pairs.join(QStringLiteral(", ")));
}

VisitChoice refused(VisitChoice::Refusal refusal, const QString &what,
                    const QList<RegistrySnapshot> &history, quint16 factoryNumber)
{
    return {std::nullopt, refusal, what + u'\n' + visitsText(history, factoryNumber)};
}

// Why `snapshot` cannot stand for `side` ("До наладки", "После наладки"),
// which takes a snapshot of kind `wanted`; empty when it can.
QString kindProblem(const RegistrySnapshot &snapshot, const QString &side, SettingsKind wanted)
{
    if (snapshot.kind == wanted)
        return {};
    return QStringLiteral("%1 — запись «%2», а запись №%3 — «%4».")
            .arg(side, settingsKindText(wanted))
            .arg(snapshot.id)
            .arg(settingsKindText(snapshot.kind));
}

} // namespace

QList<CommissioningVisit> visitsOf(const QList<RegistrySnapshot> &history)
{
    QList<CommissioningVisit> visits;
    QDate seen; // a day's first as-found alone counts
    for (const RegistrySnapshot &snapshot : history) {
        if (snapshot.kind != SettingsKind::AsFound || dayOf(snapshot) == seen)
            continue;
        seen = dayOf(snapshot);
        if (const auto asLeft = lastAsLeftAfter(history, snapshot))
            visits.append({snapshot, *asLeft});
    }
    return visits;
}

VisitChoice chooseVisit(const QList<RegistrySnapshot> &history, const ReportVisit &asked,
                        quint16 factoryNumber)
{
    using Refusal = VisitChoice::Refusal;
    if (!asked.fromSnapshot && !asked.toSnapshot) {
        const QList<CommissioningVisit> visits = visitsOf(history);
        if (visits.isEmpty())
            return {std::nullopt, Refusal::NoVisit, visitsText(history, factoryNumber)};
        return {visits.last(), Refusal::None, {}};
    }
    for (const std::optional<qint64> &id : {asked.fromSnapshot, asked.toSnapshot})
        if (id && !byId(history, *id))
            return refused(Refusal::NotAVisit,
                           QStringLiteral("У реле №%1 нет записи настроек №%2.")
                                   .arg(factoryNumber)
                                   .arg(*id),
                           history, factoryNumber);
    std::optional<RegistrySnapshot> from =
            asked.fromSnapshot ? byId(history, *asked.fromSnapshot) : std::nullopt;
    std::optional<RegistrySnapshot> to =
            asked.toSnapshot ? byId(history, *asked.toSnapshot) : std::nullopt;
    QString problem;
    if (from)
        problem = kindProblem(*from, QStringLiteral("До наладки"), SettingsKind::AsFound);
    if (problem.isEmpty() && to)
        problem = kindProblem(*to, QStringLiteral("После наладки"), SettingsKind::AsLeft);
    if (!problem.isEmpty())
        return refused(Refusal::NotAVisit, problem, history, factoryNumber);
    if (!from) {
        from = firstAsFoundBefore(history, *to);
        if (!from)
            return refused(Refusal::NotAVisit,
                           QStringLiteral("В тот же день до записи №%1 нет записи «%2».")
                                   .arg(to->id)
                                   .arg(settingsKindText(SettingsKind::AsFound)),
                           history, factoryNumber);
    }
    if (!to) {
        to = lastAsLeftAfter(history, *from);
        if (!to)
            return refused(Refusal::NotAVisit,
                           QStringLiteral("В тот же день после записи №%1 нет записи «%2».")
                                   .arg(from->id)
                                   .arg(settingsKindText(SettingsKind::AsLeft)),
                           history, factoryNumber);
    }
    if (!later(*to, *from))
        return refused(Refusal::NotAVisit,
                       QStringLiteral("Запись №%1 (после наладки) сделана не позже записи №%2 "
                                      "(до наладки).")
                               .arg(to->id)
                               .arg(from->id),
                       history, factoryNumber);
    return {CommissioningVisit{*from, *to}, Refusal::None, {}};
}

} // namespace miv

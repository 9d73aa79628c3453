#include "telemetry/LinePublisher.h"

#include "device/Discovery.h"
#include "device/Identification.h"
#include "device/JournalReader.h"
#include "device/LiveDisplay.h"
#include "device/LiveRead.h"
#include "link/PortLink.h"
#include "link/RelaySession.h"
#include "telemetry/JournalLedger.h"
#include "telemetry/MqttConnection.h"
#include "telemetry/TelemetryPayloads.h"

#include <QThread>

namespace miv::telemetry {

namespace {

constexpr int firstWaitMs = 1000;
constexpr int longestWaitMs = 30000;
constexpr int waitSliceMs = 20;
// A journal reading that failed is tried again after this, or the interval when shorter.
constexpr int journalRetryMs = 60 * 1000;
constexpr int ledgerWriteGapMs = 2000;

QDateTime now()
{
    return QDateTime::currentDateTimeUtc();
}

} // namespace

LinePublisher::LinePublisher(PortLink &link, MqttConnection &mqtt, JournalLedger &ledger,
                             PublishSettings settings, Log log)
    : m_link(link),
      m_mqtt(mqtt),
      m_ledger(ledger),
      m_settings(std::move(settings)),
      m_log(std::move(log))
{
    m_clock.start();
}

LinePublisher::~LinePublisher() = default;

std::unique_ptr<RelaySession> LinePublisher::newSession()
{
    auto session = std::make_unique<RelaySession>(m_link.bus());
    session->reopenPort = [this](QString *error) { return m_link.reopen(error); };
    session->recorder = m_settings.recorder;
    return session;
}

LinePublisher::End LinePublisher::run(const std::atomic_bool &stop)
{
    QString error;
    if (!m_link.isOpen() && !m_link.open(&error) && !reopenLine(stop, error))
        return brokerRefused() ? End::BrokerRefused : End::Stopped;
    for (;;) {
        const Step found = findRelays(stop);
        if (found == Step::Stop)
            return brokerRefused() ? End::BrokerRefused : End::Stopped;
        if (found == Step::Done)
            break;
        if (!reopenLine(stop, m_operator.lastMessage))
            return brokerRefused() ? End::BrokerRefused : End::Stopped;
    }

    while (!stop && !brokerRefused()) {
        const qint64 roundStart = nowMs();
        Step step = Step::Done;
        for (Relay &relay : m_relays) {
            if (stop || brokerRefused())
                break;
            step = poll(relay);
            rememberAcknowledged(Write::Soon);
            if (step != Step::Done)
                break;
        }
        if (step == Step::Done && !stop)
            step = readJournalIfDue();
        if (step == Step::LineLost && !reopenLine(stop, m_operator.lastMessage))
            break;
        rememberAcknowledged(Write::Soon);
        if (!waitUntil(roundStart + m_settings.intervalMs, stop))
            break;
    }
    rememberAcknowledged(Write::Soon);
    return brokerRefused() ? End::BrokerRefused : End::Stopped;
}

// The relays to poll: those given, or those a scan finds (scanned again with
// growing waits until one answers).
LinePublisher::Step LinePublisher::findRelays(const std::atomic_bool &stop)
{
    QList<quint8> addresses = m_settings.addresses;
    int waitMs = firstWaitMs;
    while (addresses.isEmpty()) {
        const auto session = newSession();
        const DiscoveryResult found = scanBus(*session, m_operator);
        if (found.portLost || !m_link.isOpen())
            return Step::LineLost;
        addresses = found.answering;
        if (!addresses.isEmpty())
            break;
        m_log(QStringLiteral("no relay answers on the line; scanning again in %1 s")
                      .arg(waitMs / 1000));
        if (!waitUntil(nowMs() + waitMs, stop))
            return Step::Stop;
        waitMs = std::min(waitMs * 2, longestWaitMs);
    }
    QStringList polled;
    for (quint8 address : addresses) {
        Relay relay;
        relay.address = address;
        relay.session = newSession();
        m_relays.push_back(std::move(relay));
        polled << QString::number(address);
    }
    m_log(QStringLiteral("polling relays ") + polled.join(u','));
    return Step::Done;
}

bool LinePublisher::identify(Relay &relay)
{
    RelaySession &session = *relay.session;
    const IdentificationResult result = identifyRelay(session, m_operator, relay.address - 1);
    if (result.outcome != IdentificationResult::Outcome::Identified)
        return false;
    relay.identified = true;
    relay.ledgerKey = JournalLedger::relayKey(relay.address, session.device.factoryNumber);
    relay.journalDueMs = nowMs();
    session.flags.startLimitView = false;
    m_mqtt.publishRetained(m_settings.topics.info(relay.address), infoPayload(session.device), 1);
    m_log(QStringLiteral("relay %1: %2, factory number %3")
                  .arg(relay.address)
                  .arg(session.device.deviceName.trimmed())
                  .arg(session.device.factoryNumber));
    return true;
}

LinePublisher::Step LinePublisher::poll(Relay &relay)
{
    m_operator.lastMessage.clear();
    if (!relay.identified && !identify(relay)) {
        if (!m_link.isOpen())
            return Step::LineLost;
        setOnline(relay, false, m_operator.lastMessage);
        return Step::Done;
    }
    RelaySession &session = *relay.session;
    const LiveReadResult read = readLiveValues(session, m_operator);
    const QDateTime readAt = now();
    if (!m_link.isOpen()) {
        m_operator.lastMessage = read.portError;
        return Step::LineLost;
    }
    switch (read.outcome) {
    case BusOutcome::Done: {
        m_mqtt.publishLive(m_settings.topics.live(relay.address),
                           livePayload(session.live, session.device.typeCode, readAt));
        setOnline(relay, true);
        break;
    }
    case BusOutcome::Refused:
        // It answered: it is there, but keeps its values to itself.
        setOnline(relay, true);
        m_log(QStringLiteral("relay %1: %2").arg(relay.address).arg(m_operator.lastMessage));
        break;
    case BusOutcome::NoAnswer:
    case BusOutcome::PortFailed:
        // Identified again when it answers: it may be another relay by then.
        relay.identified = false;
        setOnline(relay, false, read.portError.isEmpty() ? m_operator.lastMessage : read.portError);
        break;
    }
    return Step::Done;
}

void LinePublisher::setOnline(Relay &relay, bool online, const QString &reason)
{
    if (relay.online == online)
        return;
    relay.online = online;
    m_mqtt.publishRetained(m_settings.topics.state(relay.address), statePayload(online, now()), 1);
    m_log(online ? QStringLiteral("relay %1: online").arg(relay.address)
                 : QStringLiteral("relay %1: offline (%2)")
                           .arg(relay.address)
                           .arg(reason.isEmpty() ? QStringLiteral("no answer") : reason));
}

// One relay's journal, the first that is due, while the broker can take it.
LinePublisher::Step LinePublisher::readJournalIfDue()
{
    if (!m_mqtt.isConnected())
        return Step::Done;
    for (Relay &relay : m_relays) {
        if (!relay.identified || relay.online != true || relay.journalDueMs > nowMs())
            continue;
        m_operator.lastMessage.clear();
        const JournalReadResult read = readJournal(*relay.session, m_operator);
        if (!m_link.isOpen())
            return Step::LineLost;
        const bool complete = read.outcome == JournalReadResult::Outcome::Complete;
        relay.journalDueMs = nowMs()
                + (complete ? m_settings.journalIntervalMs
                            : std::min(journalRetryMs, m_settings.journalIntervalMs));
        if (!complete)
            m_log(QStringLiteral("relay %1: journal read stopped after %2 entries (%3)")
                          .arg(relay.address)
                          .arg(read.rows)
                          .arg(m_operator.lastMessage));
        publishJournal(relay, read.rows);
        return Step::Done;
    }
    return Step::Done;
}

// The entries of the journal grid not published yet, oldest first. They
// count as published once the broker has acknowledged them.
void LinePublisher::publishJournal(Relay &relay, int rows)
{
    QList<JournalEntry> entries;
    for (int row = 0; row < rows; ++row)
        entries << journalEntryOfRow(relay.session->journal, row);
    const QStringList keys = JournalLedger::entryKeys(entries);
    int sent = 0;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QString pendingKey = relay.ledgerKey + u'\n' + keys[i];
        if (m_ledger.isPublished(relay.ledgerKey, keys[i]) || m_pendingKeys.contains(pendingKey))
            continue;
        const std::optional<int> mid = m_mqtt.publishEvent(m_settings.topics.journal(relay.address),
                                                           journalPayload(entries[i]));
        if (!mid) {
            // The broker went away: the rest at the next reading.
            relay.journalDueMs = nowMs();
            break;
        }
        m_pending.insert(*mid, {relay.ledgerKey, keys[i]});
        m_pendingKeys.insert(pendingKey);
        ++sent;
    }
    m_log(QStringLiteral("relay %1: journal of %2 entries, %3 new")
                  .arg(relay.address)
                  .arg(entries.size())
                  .arg(sent));
}

void LinePublisher::rememberAcknowledged(Write write)
{
    for (int mid : m_mqtt.takeAcknowledged()) {
        const auto entry = m_pending.take(mid);
        if (entry.first.isEmpty())
            continue;
        m_pendingKeys.remove(entry.first + u'\n' + entry.second);
        m_ledger.markPublished(entry.first, entry.second);
    }
    if (!m_ledger.hasUnsavedChanges()
        || (write == Write::Soon && nowMs() - m_ledgerWrittenMs < ledgerWriteGapMs))
        return;
    m_ledgerWrittenMs = nowMs();
    QString error;
    if (m_ledger.save(&error))
        m_ledgerErrorTold = false;
    else if (!m_ledgerErrorTold) {
        m_ledgerErrorTold = true;
        m_log(QStringLiteral("the published journal entries cannot be remembered: ") + error);
    }
}

// The line is lost: every relay offline, then the port opened again under
// its name with growing waits. False when stopped first.
bool LinePublisher::reopenLine(const std::atomic_bool &stop, const QString &reason)
{
    m_log(QStringLiteral("line %1 lost: %2")
                  .arg(m_link.settings().lineName(), QString(reason).replace(u'\n', u' ')));
    for (Relay &relay : m_relays) {
        relay.identified = false;
        setOnline(relay, false, QStringLiteral("line lost"));
    }
    int waitMs = firstWaitMs;
    for (;;) {
        if (!waitUntil(nowMs() + waitMs, stop) || brokerRefused())
            return false;
        QString error;
        if (m_link.reopen(&error)) {
            m_log(QStringLiteral("line %1 open again").arg(m_link.settings().lineName()));
            return true;
        }
        waitMs = std::min(waitMs * 2, longestWaitMs);
        m_log(QStringLiteral("line %1 does not open (%2); next try in %3 s")
                      .arg(m_link.settings().lineName(), error)
                      .arg(waitMs / 1000));
    }
}

bool LinePublisher::waitUntil(qint64 deadlineMs, const std::atomic_bool &stop)
{
    while (!stop && !brokerRefused()) {
        rememberAcknowledged(Write::Soon);
        const qint64 left = deadlineMs - nowMs();
        if (left <= 0)
            return true;
        QThread::msleep(ulong(std::min<qint64>(left, waitSliceMs)));
    }
    return false;
}

bool LinePublisher::brokerRefused()
{
    return m_mqtt.fatalError().has_value();
}

} // namespace miv::telemetry

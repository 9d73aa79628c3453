#include "telemetry/LinePublisher.h"

#include "core/RegisterMap.h"
#include "core/Texts.h"
#include "device/Discovery.h"
#include "device/Identification.h"
#include "device/JournalReader.h"
#include "device/LiveDisplay.h"
#include "device/LiveRead.h"
#include "device/LinkFailure.h"
#include "link/PortLink.h"
#include "link/RelayBus.h"
#include "link/RelaySession.h"
#include "telemetry/HomeAssistantDiscovery.h"
#include "telemetry/JournalLedger.h"
#include "telemetry/MqttConnection.h"
#include "telemetry/TelemetryPayloads.h"

#include <algorithm>
#include <QThread>
#include <utility>

namespace miv::telemetry {

namespace {

constexpr int firstWaitMs = 1000;
constexpr int longestWaitMs = 30000;
constexpr int waitSliceMs = 20;
// A journal reading that failed is tried again after this, or the interval when shorter.
constexpr int journalRetryMs = 60 * 1000;
constexpr int ledgerWriteGapMs = 2000;
constexpr int firstProbeWaitMs = 2000;

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
    // What is published reads the same in every locale.
    session->decimalSeparator = u'.';
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

    publishMetadata();
    while (!stop && !brokerRefused()) {
        const qint64 roundStart = nowMs();
        takeLineMessages();
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
            step = readJournalIfDue(roundStart);
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
    publishDiscovery(relay);
    m_log(QStringLiteral("relay %1: %2, factory number %3")
                  .arg(relay.address)
                  .arg(session.device.deviceName.trimmed())
                  .arg(session.device.factoryNumber));
    return true;
}

LinePublisher::Step LinePublisher::poll(Relay &relay)
{
    m_operator.lastMessage.clear();
    if (relay.probeWaitMs > 0) {
        // Offline: asked again only when its wait is over, and briefly.
        if (nowMs() < relay.nextProbeMs)
            return Step::Done;
        if (!answersProbe(relay)) {
            if (!m_link.isOpen())
                return Step::LineLost;
            noAnswer(relay, {}, true);
            return Step::Done;
        }
    }
    if (!relay.identified && !identify(relay)) {
        if (!m_link.isOpen())
            return Step::LineLost;
        noAnswer(relay, m_operator.lastMessage, false);
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
        relay.failedPolls = 0;
        relay.probeWaitMs = 0;
        setOnline(relay, true);
        break;
    }
    case BusOutcome::Refused:
        // It answered: it is there, but keeps its values to itself.
        relay.failedPolls = 0;
        relay.probeWaitMs = 0;
        setOnline(relay, true);
        m_log(QStringLiteral("relay %1: %2").arg(relay.address).arg(m_operator.lastMessage));
        break;
    case BusOutcome::NoAnswer:
    case BusOutcome::PortFailed:
        // Identified again when it answers: it may be another relay by then.
        relay.identified = false;
        noAnswer(relay, read.portError.isEmpty() ? m_operator.lastMessage : read.portError, true);
        break;
    }
    return Step::Done;
}

// The status query with the scan's short wait: whether anybody answers at
// the relay's address.
bool LinePublisher::answersProbe(Relay &relay)
{
    RelayBus &bus = m_link.bus();
    const BusReply reply = bus.askStatus(relay.address, bus.timing().scanTimeoutMs);
    if (reply.portFailed())
        m_operator.lastMessage = handleLinkFailure(*relay.session, reply).text;
    // A refusal is an answer too: somebody is there.
    return reply.answered() || reply.refused();
}

// A poll that got no answer. The relay is offline once the line's retries
// are spent (`retriesSpent`: the read that failed spent them itself); from
// then on it is asked again after growing waits.
void LinePublisher::noAnswer(Relay &relay, const QString &reason, bool retriesSpent)
{
    const int retries = m_link.bus().timing().retries;
    relay.failedPolls =
            retriesSpent ? std::max(relay.failedPolls, retries) + 1 : relay.failedPolls + 1;
    if (relay.failedPolls <= retries)
        return;
    setOnline(relay, false, reason);
    relay.probeWaitMs = relay.probeWaitMs == 0
            ? firstProbeWaitMs
            : std::min(relay.probeWaitMs * 2, silentProbeLongestMs);
    relay.nextProbeMs = nowMs() + relay.probeWaitMs;
    relay.journal = {};
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

void LinePublisher::publishDiscovery(Relay &relay)
{
    const CurrentDevice &device = relay.session->device;
    const QByteArray info = infoPayload(device);
    if (!m_settings.discoveryPrefix || info == relay.publishedInfo)
        return;
    relay.publishedInfo = info;
    for (const DiscoveryConfig &config :
         discoveryConfigs(*m_settings.discoveryPrefix, m_settings.topics, device,
                          liveExpirySeconds(m_settings.intervalMs)))
        m_mqtt.publishRetained(config.topic, config.payload, 1);
}

// A few entries of one relay's journal: the reading under way, else the
// first relay whose journal is due; only while the broker can take them.
LinePublisher::Step LinePublisher::readJournalIfDue(qint64 roundStartMs)
{
    if (!m_mqtt.isConnected()) {
        // A reading cut off starts again from the first entry when the broker is back.
        for (Relay &relay : m_relays)
            if (relay.journal.active) {
                relay.journal = {};
                relay.journalDueMs = nowMs();
            }
        return Step::Done;
    }
    Relay *reading = nullptr;
    for (Relay &relay : m_relays)
        if (relay.journal.active)
            reading = &relay;
    for (Relay &relay : m_relays) {
        if (reading)
            break;
        if (relay.identified && relay.online == true && relay.journalDueMs <= nowMs()) {
            reading = &relay;
            relay.journal = {};
            relay.journal.active = true;
        }
    }
    if (!reading)
        return Step::Done;
    // At least one entry a round; more while the round has time left.
    const qint64 left = roundStartMs + m_settings.intervalMs - nowMs();
    const int entries = left > 0 || m_settings.intervalMs == 0 ? journalEntriesPerRound : 1;
    return readJournalStep(*reading, entries);
}

LinePublisher::Step LinePublisher::readJournalStep(Relay &relay, int entries)
{
    RelaySession &session = *relay.session;
    for (int k = 0; k < entries && relay.journal.active; ++k) {
        m_operator.lastMessage.clear();
        const BusReply answer = requestJournalEntry(session, relay.journal.next);
        if (answer.portFailed())
            m_operator.lastMessage = handleLinkFailure(session, answer).text;
        const ReplyString &reply = answer.reply;
        if (!m_link.isOpen())
            return Step::LineLost;
        if (reply.size() < JournalReadThreshold::reply) {
            if (m_operator.lastMessage.isEmpty())
                m_operator.lastMessage = Texts::linkError;
            finishJournal(relay, false);
            break;
        }
        const std::optional<JournalEntry> entry = journalEntryOfReply(reply);
        if (!entry) {
            finishJournal(relay, true);
            break;
        }
        relay.journal.entries << journalEntryBytes(reply);
        if (!publishJournalEntry(relay, *entry)) {
            // The broker went away: the journal is read again when it is back.
            relay.journal = {};
            relay.journalDueMs = nowMs();
            break;
        }
        if (++relay.journal.next == RelayRegister::journalEntries)
            finishJournal(relay, true);
    }
    return Step::Done;
}

bool LinePublisher::publishJournalEntry(Relay &relay, const JournalEntry &entry)
{
    const int rank = ++relay.journal.seen[entry.identity()];
    const QString key = JournalLedger::entryKey(entry, rank);
    const QString pendingKey = relay.ledgerKey + u'\n' + key;
    if (m_ledger.isPublished(relay.ledgerKey, key) || m_pendingKeys.contains(pendingKey))
        return true;
    if (m_ledger.isPublished(relay.ledgerKey, JournalLedger::earlierEntryKey(entry, rank))) {
        // Published before its identity held its numbers: known by both from now on.
        m_ledger.markPublished(relay.ledgerKey, key);
        return true;
    }
    const std::optional<int> mid =
            m_mqtt.publishEvent(m_settings.topics.journal(relay.address), journalPayload(entry));
    if (!mid)
        return false;
    m_pending.insert(*mid, {relay.ledgerKey, key});
    m_pendingKeys.insert(pendingKey);
    ++relay.journal.sent;
    return true;
}

void LinePublisher::finishJournal(Relay &relay, bool complete)
{
    recordJournalReading(*relay.session, m_operator, relay.journal.entries, complete);
    relay.journalDueMs = nowMs()
            + (complete ? m_settings.journalIntervalMs
                        : std::min(journalRetryMs, m_settings.journalIntervalMs));
    if (complete)
        m_log(QStringLiteral("relay %1: journal of %2 entries, %3 new")
                      .arg(relay.address)
                      .arg(relay.journal.next)
                      .arg(relay.journal.sent));
    else
        m_log(QStringLiteral("relay %1: journal read stopped after %2 entries, %3 new (%4)")
                      .arg(relay.address)
                      .arg(relay.journal.next)
                      .arg(relay.journal.sent)
                      .arg(m_operator.lastMessage));
    relay.journal = {};
}

void LinePublisher::publishMetadata()
{
    LineMetadata &metadata = m_settings.metadata;
    metadata.relays.clear();
    for (const Relay &relay : m_relays)
        metadata.relays << relay.address;
    metadata.discovery = m_settings.discoveryPrefix;
    m_mqtt.publishRetained(m_settings.topics.meta(), metadataPayload(metadata, now()), 1);
}

// What came on the line's status and metadata topics: the previous
// publisher's status and metadata, retained, or another publisher that
// publishes on this line now, or its stop.
void LinePublisher::takeLineMessages()
{
    for (const MqttConnection::Message &message : m_mqtt.takeMessages()) {
        if (message.topic == m_settings.topics.status())
            takeLineStatus(message.payload, message.retained);
        else if (message.topic == m_settings.topics.meta())
            takeOtherMetadata(message.payload, message.retained);
    }
}

// The retained status says whether a publisher runs on this line already
// (it comes before the retained metadata: subscribed first). A status other
// than "online" while this one runs is another publisher's stop or last
// will: the relays it polled and this one does not are published by nobody now.
void LinePublisher::takeLineStatus(const QByteArray &payload, bool retained)
{
    const bool online = payload == QByteArrayLiteral("online");
    if (retained)
        m_lineWasOnline = online;
    else if (!online && m_runningOther)
        removeRelaysThatLeft(*std::exchange(m_runningOther, std::nullopt));
}

// The retained metadata of the publisher before this one: its relays that
// are no longer polled lose their topics at once, or, while it may still
// run, when it stops. Metadata published now: another publisher on this line.
void LinePublisher::takeOtherMetadata(const QByteArray &payload, bool retained)
{
    const std::optional<LineMetadata> metadata = parseMetadata(payload);
    if (!metadata || metadata->client == m_settings.metadata.client)
        return;
    if (retained) {
        if (std::exchange(m_earlierMetadataTaken, true))
            return;
        if (m_lineWasOnline)
            m_runningOther = metadata;
        else
            removeRelaysThatLeft(*metadata);
        return;
    }
    m_runningOther = metadata;
    if (m_otherClients.contains(metadata->client))
        return;
    m_otherClients.insert(metadata->client);
    m_log(QStringLiteral("another publisher on line %1: client %2 on host %3 (process %4, "
                         "port %5); both publish on the same topics, give each line its "
                         "own --line")
                  .arg(m_settings.topics.line, metadata->client, metadata->host)
                  .arg(metadata->pid)
                  .arg(metadata->port));
    // So that the other one learns of this one too.
    publishMetadata();
}

// Empties the retained topics of the relays `earlier` polled and this
// publisher does not: their info, state and live values (which would say
// online with old values to every subscriber), and their discovery configs,
// those of a kept relay too when the discovery prefix changed.
void LinePublisher::removeRelaysThatLeft(const LineMetadata &earlier)
{
    const TelemetryTopics &topics = m_settings.topics;
    QStringList removed;
    for (int address : earlier.relays) {
        const bool polled = std::any_of(m_relays.begin(), m_relays.end(),
                                        [address](const Relay &r) { return r.address == address; });
        if (polled && m_settings.discoveryPrefix == earlier.discovery)
            continue;
        QStringList emptied;
        if (!polled)
            emptied << topics.info(address) << topics.state(address) << topics.live(address);
        if (earlier.discovery)
            emptied << discoveryTopics(*earlier.discovery, topics, address);
        for (const QString &topic : std::as_const(emptied))
            m_mqtt.publishRetained(topic, {}, 1);
        if (!polled)
            removed << QString::number(address);
    }
    if (!removed.isEmpty())
        m_log(QStringLiteral("relays %1 no longer polled: their topics and discovery configs "
                             "removed")
                      .arg(removed.join(u',')));
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
        relay.journal = {};
        relay.probeWaitMs = 0;
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

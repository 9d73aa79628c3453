#include "telemetry/LinePublisher.h"

#include "core/RegisterMap.h"
#include "core/Texts.h"
#include "device/Discovery.h"
#include "device/Identification.h"
#include "device/LiveDisplay.h"
#include "device/LiveRead.h"
#include "device/LinkFailure.h"
#include "link/PortLink.h"
#include "link/RelayBus.h"
#include "link/RelaySession.h"
#include "telemetry/HomeAssistantDiscovery.h"
#include "telemetry/JournalLedger.h"
#include "telemetry/MqttConnection.h"
#include "telemetry/SilentRelayBackoff.h"
#include "telemetry/TelemetryPayloads.h"

#include <algorithm>
#include <QThread>
#include <utility>

namespace miv::telemetry {

namespace {

constexpr int firstWaitMs = 1000;
constexpr int longestWaitMs = 30000;
constexpr int waitSliceMs = 20;
constexpr int ledgerWriteGapMs = 2000;

QDateTime now()
{
    return QDateTime::currentDateTimeUtc();
}

// The relay's retries are the publisher's own, one a round: while it lives
// each read goes out once, so that a relay that falls silent holds the
// others up by one reply time-out, not by the time-out and every retry.
class SingleRequests
{
public:
    explicit SingleRequests(RelayBus &bus) : m_bus(bus), m_retries(bus.timing().retries)
    {
        m_bus.setRetries(0);
    }
    ~SingleRequests() { m_bus.setRetries(m_retries); }
    SingleRequests(const SingleRequests &) = delete;
    SingleRequests &operator=(const SingleRequests &) = delete;

private:
    RelayBus &m_bus;
    int m_retries;
};

} // namespace

LinePublisher::LinePublisher(PortLink &link, MqttConnection &mqtt, JournalLedger &ledger,
                             PublishSettings settings, Log log)
    : m_link(link),
      m_mqtt(mqtt),
      m_ledger(ledger),
      m_settings(std::move(settings)),
      m_log(std::move(log)),
      m_journals({m_link, m_mqtt, m_ledger, m_operator, m_settings.topics,
                  m_settings.journalIntervalMs, [this] { return nowMs(); }, m_log})
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
        qint64 answeringMs = 0;
        for (Relay &relay : m_relays) {
            if (stop || brokerRefused())
                break;
            const qint64 pollStart = nowMs();
            step = poll(relay);
            if (relay.misses == 0)
                answeringMs += nowMs() - pollStart;
            rememberAcknowledged(Write::Soon);
            if (step != Step::Done)
                break;
        }
        if (step == Step::Done && !stop)
            step = readJournals(roundStart, answeringMs);
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
    session.flags.startLimitView = false;
    m_journals.follow(relay.address, session,
                      JournalLedger::relayKey(relay.address, session.device.factoryNumber));
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
    const int retries = m_link.bus().timing().retries;
    const SingleRequests single(m_link.bus());
    if (relay.misses > 0) {
        // Missed before: asked again only when its wait is over, and briefly.
        if (nowMs() < relay.nextAskMs)
            return Step::Done;
        if (!answersProbe(relay)) {
            if (!m_link.isOpen())
                return Step::LineLost;
            missed(relay, retries, {});
            return Step::Done;
        }
    }
    if (!relay.identified && !identify(relay)) {
        if (!m_link.isOpen())
            return Step::LineLost;
        missed(relay, retries, m_operator.lastMessage);
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
        answered(relay);
        noteAlarms(relay);
        break;
    }
    case BusOutcome::Refused:
        // It answered: it is there, but keeps its values to itself.
        answered(relay);
        m_log(QStringLiteral("relay %1: %2").arg(relay.address).arg(m_operator.lastMessage));
        break;
    case BusOutcome::NoAnswer:
    case BusOutcome::PortFailed:
        missed(relay, retries, read.portError.isEmpty() ? m_operator.lastMessage : read.portError);
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

void LinePublisher::answered(Relay &relay)
{
    relay.misses = 0;
    setOnline(relay, true);
    m_journals.setAnswering(relay.address, true);
}

void LinePublisher::missed(Relay &relay, int retries, const QString &reason)
{
    ++relay.misses;
    relay.nextAskMs = nowMs() + SilentRelayBackoff::waitMs(relay.misses, retries);
    m_journals.setAnswering(relay.address, false);
    if (!SilentRelayBackoff::isOffline(relay.misses, retries))
        return;
    // Identified again when it answers: it may be another relay by then.
    relay.identified = false;
    relay.alarms.reset();
    setOnline(relay, false, reason);
}

// A relay whose alarms or state changed has likely just written an entry.
void LinePublisher::noteAlarms(Relay &relay)
{
    const LiveValues &live = relay.session->live;
    const std::array<quint16, 3> alarms{live.value(RelayRegister::protectionFlags),
                                        live.value(RelayRegister::outputRelays),
                                        live.value(RelayRegister::inputs)};
    if (relay.alarms && *relay.alarms != alarms)
        m_journals.lookSoon(relay.address);
    relay.alarms = alarms;
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

LinePublisher::Step LinePublisher::readJournals(qint64 roundStartMs, qint64 answeringMs)
{
    const qint64 intervalEnd = roundStartMs + m_settings.intervalMs;
    const bool idle = nowMs() < intervalEnd;
    const JournalFollower::Due due = m_journals.due();
    const qint64 deadline = due == JournalFollower::Due::Nothing
            ? intervalEnd
            : std::max(intervalEnd, nowMs() + answeringMs / journalShareOfPolls);
    const qint64 urgentDeadline = due == JournalFollower::Due::Urgent
            ? std::max(deadline, nowMs() + answeringMs / urgentJournalShareOfPolls)
            : deadline;
    const JournalFollower::Result result = m_journals.spend(deadline, urgentDeadline, idle);
    const int retries = m_link.bus().timing().retries;
    for (quint8 address : m_journals.takeFallenSilent())
        for (Relay &relay : m_relays)
            if (relay.address == address && relay.misses == 0)
                missed(relay, retries, Texts::linkError);
    if (result == JournalFollower::Result::Done)
        return Step::Done;
    m_operator.lastMessage = m_journals.portFailure();
    return Step::LineLost;
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
    for (int mid : m_mqtt.takeAcknowledged())
        m_journals.acknowledged(mid);
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
        relay.misses = 0;
        relay.alarms.reset();
        m_journals.setAnswering(relay.address, false);
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

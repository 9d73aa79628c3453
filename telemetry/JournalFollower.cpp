#include "telemetry/JournalFollower.h"

#include "core/ParameterCatalogue.h"
#include "core/RegisterMap.h"
#include "core/Texts.h"
#include "device/JournalReader.h"
#include "device/LinkFailure.h"
#include "link/PortLink.h"
#include "link/RelayBus.h"
#include "link/RelaySession.h"
#include "telemetry/JournalLedger.h"
#include "telemetry/MqttConnection.h"
#include "telemetry/TelemetryPayloads.h"

#include <algorithm>
#include <QElapsedTimer>

namespace miv::telemetry {

JournalFollower::JournalFollower(Context context) : m_context(std::move(context)) { }

JournalFollower::Followed *JournalFollower::find(quint8 address)
{
    for (Followed &relay : m_relays)
        if (relay.address == address)
            return &relay;
    return nullptr;
}

void JournalFollower::follow(quint8 address, RelaySession &session, const QString &ledgerKey)
{
    Followed *known = find(address);
    if (known && known->ledgerKey == ledgerKey) {
        known->session = &session;
        known->answering = true;
        known->looksOwed = looksOnChange;
        return;
    }
    Followed relay;
    relay.address = address;
    relay.session = &session;
    relay.ledgerKey = ledgerKey;
    relay.wholeDueMs = now();
    const QList<QByteArray> kept = m_context.ledger.ring(ledgerKey);
    if (!kept.isEmpty()) {
        relay.ring = JournalRing(kept);
        relay.ringKnown = true;
        relay.keptToPublish = true;
        relay.newestToCheck = true;
        relay.wholeDueMs = now() + m_context.wholeReadingIntervalMs;
        m_context.log(QStringLiteral("relay %1: journal of %2 entries as the state file keeps "
                                     "it, read on from slot %3")
                              .arg(address)
                              .arg(relay.ring.size())
                              .arg(relay.ring.writingPlaces().value(0)));
    }
    if (known)
        *known = std::move(relay);
    else
        m_relays.push_back(std::move(relay));
}

void JournalFollower::setAnswering(quint8 address, bool answering)
{
    if (Followed *relay = find(address))
        relay->answering = answering;
}

void JournalFollower::lookSoon(quint8 address)
{
    if (Followed *relay = find(address))
        relay->looksOwed = looksOnChange;
}

JournalFollower::Due JournalFollower::due() const
{
    const qint64 at = now();
    Due due = Due::Nothing;
    for (const Followed &relay : m_relays) {
        if (!relay.answering)
            continue;
        if (relay.runActive || relay.looksOwed > 0)
            return Due::Urgent;
        if (relay.wholeActive || relay.wholeDueMs <= at
            || (relay.ringKnown && relay.lookDueMs <= at))
            due = Due::Some;
    }
    return due;
}

JournalFollower::Result JournalFollower::spend(qint64 deadlineMs, qint64 urgentDeadlineMs,
                                               bool spare)
{
    if (!m_context.mqtt.isConnected()) {
        brokerAway();
        return Result::Done;
    }
    ++m_round;
    for (Followed &relay : m_relays)
        if (relay.keptToPublish)
            publishKept(relay);
    for (;;) {
        Followed *relay = nullptr;
        bool urgent = false;
        const Job job = pick(spare, &relay, &urgent);
        if (job == Job::None || now() + m_entryMs > (urgent ? urgentDeadlineMs : deadlineMs))
            break;
        if (perform(job, *relay) == Result::LineLost)
            return Result::LineLost;
        if (!m_context.mqtt.isConnected()) {
            brokerAway();
            break;
        }
    }
    return Result::Done;
}

JournalFollower::Job JournalFollower::pick(bool spare, Followed **chosen, bool *urgent)
{
    const qint64 at = now();
    *urgent = true;
    const auto first = [this, chosen](const auto &wanted) {
        for (Followed &relay : m_relays)
            if (relay.answering && wanted(relay)) {
                *chosen = &relay;
                return true;
            }
        return false;
    };
    if (first([](const Followed &r) { return r.runActive; }))
        return Job::Run;
    // A relay not read yet is read whole first when its alarms changed.
    if (first([](const Followed &r) { return r.looksOwed > 0; }))
        return (*chosen)->ringKnown ? Job::Look : Job::Whole;
    *urgent = false;
    if (first([at](const Followed &r) { return r.ringKnown && r.lookDueMs <= at; }))
        return Job::Look;
    if (first([](const Followed &r) { return r.wholeActive; })
        || first([at](const Followed &r) { return r.wholeDueMs <= at; }))
        return Job::Whole;
    const qint64 round = m_round;
    if (spare
        && first([round](const Followed &r) { return r.ringKnown && r.spareRound != round; })) {
        (*chosen)->spareRound = round;
        return Job::Look;
    }
    return Job::None;
}

JournalFollower::Result JournalFollower::perform(Job job, Followed &relay)
{
    switch (job) {
    case Job::Run:
        return runStep(relay);
    case Job::Look:
        relay.looksOwed = std::max(0, relay.looksOwed - 1);
        return look(relay);
    case Job::Whole:
        return wholeStep(relay);
    case Job::None:
        break;
    }
    return Result::Done;
}

// A relay that gives no answer at all is asked once: it fell silent, and its
// next poll tells. Only an answer whose code is no known event is asked for
// again (the relay may still be writing the slot).
JournalFollower::EntryRead JournalFollower::readEntry(Followed &relay, int slot, int requests)
{
    RelaySession &session = *relay.session;
    m_portFailure.clear();
    for (int request = 0; request < requests; ++request) {
        QElapsedTimer clock;
        clock.start();
        const BusReply answer = session.bus.askRegisters(
                session.device.networkAddress, quint16(RelayRegister::journal + slot),
                RelayRegister::journalEntryCount, RelayBus::Attempts::Once);
        if (answer.portFailed()) {
            m_portFailure = handleLinkFailure(session, answer).text;
            return {m_context.link.isOpen() ? EntryRead::Kind::Silent : EntryRead::Kind::LineLost,
                    {}};
        }
        if (answer.reply.size() < JournalReadThreshold::reply)
            return {EntryRead::Kind::Silent, {}};
        m_entryMs = std::max(clock.elapsed(), m_entryMs * 7 / 8);
        if (findEvent(journalEventCode(answer.reply)))
            return {EntryRead::Kind::Entry, journalEntryBytes(answer.reply)};
    }
    return {EntryRead::Kind::Empty, {}};
}

void JournalFollower::fellSilent(Followed &relay)
{
    relay.answering = false;
    m_fallenSilent << relay.address;
}

// One request at each writing place: an entry there that the ring did not
// hold starts a run of new entries.
JournalFollower::Result JournalFollower::look(Followed &relay)
{
    relay.lookDueMs = now() + lookEveryMs;
    for (int place : relay.ring.writingPlaces()) {
        const EntryRead read = readEntry(relay, place, 1);
        if (read.kind == EntryRead::Kind::LineLost)
            return Result::LineLost;
        if (read.kind == EntryRead::Kind::Silent) {
            fellSilent(relay);
            return Result::Done;
        }
        if (read.kind == EntryRead::Kind::Entry && relay.ring.isNewAt(place, read.bytes)) {
            relay.runActive = true;
            relay.runSlot = place;
            relay.runRead = 0;
            relay.runSent = 0;
            takeRunEntry(relay, read.bytes);
            return Result::Done;
        }
    }
    return relay.newestToCheck ? checkNewest(relay) : Result::Done;
}

JournalFollower::Result JournalFollower::checkNewest(Followed &relay)
{
    relay.newestToCheck = false;
    const JournalRing &ring = relay.ring;
    if (ring.size() == 0)
        return Result::Done;
    const int newest = ring.size() < JournalRing::slotCount
            ? ring.size() - 1
            : JournalRing::preceding(ring.writingPlaces().value(0));
    const EntryRead read = readEntry(relay, newest, JournalReadThreshold::requests);
    if (read.kind == EntryRead::Kind::LineLost)
        return Result::LineLost;
    if (read.kind == EntryRead::Kind::Silent) {
        fellSilent(relay);
        relay.newestToCheck = true;
    } else if (read.kind == EntryRead::Kind::Empty || ring.isNewAt(newest, read.bytes)) {
        m_context.log(QStringLiteral("relay %1: its journal is not the one the state file keeps; "
                                     "read whole")
                              .arg(relay.address));
        relay.wholeDueMs = now();
        relay.looksOwed = 1; // before the other whole readings
        relay.ringKnown = false;
    }
    return Result::Done;
}

JournalFollower::Result JournalFollower::runStep(Followed &relay)
{
    const EntryRead read = readEntry(relay, relay.runSlot, JournalReadThreshold::requests);
    switch (read.kind) {
    case EntryRead::Kind::LineLost:
        endRun(relay, relay.runSlot);
        return Result::LineLost;
    case EntryRead::Kind::Silent:
        fellSilent(relay);
        endRun(relay, relay.runSlot);
        break;
    case EntryRead::Kind::Empty:
        endRun(relay, relay.runSlot);
        break;
    case EntryRead::Kind::Entry:
        if (relay.ring.isNewAt(relay.runSlot, read.bytes))
            takeRunEntry(relay, read.bytes);
        else
            endRun(relay, relay.runSlot);
        break;
    }
    return Result::Done;
}

// Publishes the entry read at the run's slot and moves on; the ring takes it
// only when the broker did, so that a look finds it again otherwise.
void JournalFollower::takeRunEntry(Followed &relay, const QByteArray &bytes)
{
    const int slot = relay.runSlot;
    JournalRing ring = relay.ring;
    const std::optional<JournalEntry> entry =
            ring.put(slot, bytes) ? ring.entryAt(slot) : std::nullopt;
    if (!entry || !publish(relay, *entry, ring.rankAt(slot), relay.runSent)) {
        endRun(relay, slot);
        return;
    }
    relay.ring = std::move(ring);
    relay.runSlot = JournalRing::following(slot);
    if (++relay.runRead == JournalRing::slotCount)
        endRun(relay, relay.runSlot);
}

void JournalFollower::endRun(Followed &relay, int writingPlace)
{
    relay.runActive = false;
    relay.ring.setWritingPlace(writingPlace);
    if (relay.runRead == 0)
        return;
    m_context.ledger.keepRing(relay.ledgerKey, relay.ring.entries());
    recordJournalReading(*relay.session, m_context.op, relay.ring.entries(), true);
    m_context.log(QStringLiteral("relay %1: journal read at its writing place, %2 entries, %3 new")
                          .arg(relay.address)
                          .arg(relay.runRead)
                          .arg(relay.runSent));
}

JournalFollower::Result JournalFollower::wholeStep(Followed &relay)
{
    if (!relay.wholeActive) {
        relay.wholeActive = true;
        relay.wholeEntries.clear();
        relay.wholeSeen.clear();
        relay.wholeSent = 0;
    }
    const int slot = int(relay.wholeEntries.size());
    const EntryRead read = readEntry(relay, slot, JournalReadThreshold::requests);
    switch (read.kind) {
    case EntryRead::Kind::LineLost:
        relay.wholeActive = false;
        return Result::LineLost;
    case EntryRead::Kind::Silent:
        fellSilent(relay);
        endWhole(relay, false);
        return Result::Done;
    case EntryRead::Kind::Empty:
        endWhole(relay, true);
        return Result::Done;
    case EntryRead::Kind::Entry:
        break;
    }
    const std::optional<JournalEntry> entry = journalEntryOfReply(QByteArray(3, '\0') + read.bytes);
    relay.wholeEntries << read.bytes;
    if (!entry || !publish(relay, *entry, ++relay.wholeSeen[entry->identity()], relay.wholeSent)) {
        // The broker went away: the journal is read again when it is back.
        relay.wholeActive = false;
        relay.wholeDueMs = now();
        return Result::Done;
    }
    if (relay.wholeEntries.size() == JournalRing::slotCount)
        endWhole(relay, true);
    return Result::Done;
}

void JournalFollower::endWhole(Followed &relay, bool complete)
{
    recordJournalReading(*relay.session, m_context.op, relay.wholeEntries, complete);
    relay.wholeActive = false;
    const int read = int(relay.wholeEntries.size());
    if (complete) {
        // A journal that did not change keeps the writing place its runs showed.
        if (!relay.ringKnown || relay.ring.entries() != relay.wholeEntries)
            relay.ring = JournalRing(relay.wholeEntries);
        relay.ringKnown = true;
        relay.newestToCheck = false;
        relay.looksOwed = 0;
        relay.lookDueMs = now() + lookEveryMs;
        relay.wholeDueMs = now() + m_context.wholeReadingIntervalMs;
        m_context.ledger.keepRing(relay.ledgerKey, relay.ring.entries());
        m_context.log(QStringLiteral("relay %1: journal of %2 entries, %3 new")
                              .arg(relay.address)
                              .arg(read)
                              .arg(relay.wholeSent));
        return;
    }
    relay.wholeDueMs = now() + std::min(wholeRetryMs, m_context.wholeReadingIntervalMs);
    m_context.log(QStringLiteral("relay %1: journal read stopped after %2 entries, %3 new (%4)")
                          .arg(relay.address)
                          .arg(read)
                          .arg(relay.wholeSent)
                          .arg(m_portFailure.isEmpty() ? Texts::linkError : m_portFailure));
}

// The kept ring's entries the broker never acknowledged (the publisher was
// stopped first), oldest first: they need no read.
void JournalFollower::publishKept(Followed &relay)
{
    const JournalRing &ring = relay.ring;
    const bool full = ring.size() == JournalRing::slotCount;
    const int first = full ? ring.writingPlaces().value(0) : 0;
    int sent = 0;
    for (int k = 0; k < ring.size(); ++k) {
        const int slot = (first + k) % ring.size();
        const std::optional<JournalEntry> entry = ring.entryAt(slot);
        if (entry && !publish(relay, *entry, ring.rankAt(slot), sent))
            return; // the broker went away: again when it is back
    }
    relay.keptToPublish = false;
    if (sent > 0)
        m_context.log(QStringLiteral("relay %1: %2 entries of the kept journal published, "
                                     "not acknowledged before")
                              .arg(relay.address)
                              .arg(sent));
}

void JournalFollower::brokerAway()
{
    for (Followed &relay : m_relays) {
        if (relay.runActive)
            endRun(relay, relay.runSlot);
        if (relay.wholeActive) {
            // A reading cut off starts again from the first entry when the broker is back.
            relay.wholeActive = false;
            relay.wholeDueMs = now();
        }
    }
}

bool JournalFollower::publish(Followed &relay, const JournalEntry &entry, int rank, int &sent)
{
    JournalLedger &ledger = m_context.ledger;
    const QString key = JournalLedger::entryKey(entry, rank);
    const QString pendingKey = relay.ledgerKey + u'\n' + key;
    if (ledger.isPublished(relay.ledgerKey, key) || m_pendingKeys.contains(pendingKey))
        return true;
    if (ledger.isPublished(relay.ledgerKey, JournalLedger::earlierEntryKey(entry, rank))) {
        // Published before its identity held its numbers: known by both from now on.
        ledger.markPublished(relay.ledgerKey, key);
        return true;
    }
    const std::optional<int> mid = m_context.mqtt.publishEvent(
            m_context.topics.journal(relay.address), journalPayload(entry));
    if (!mid)
        return false;
    m_pending.insert(*mid, {relay.ledgerKey, key});
    m_pendingKeys.insert(pendingKey);
    ++sent;
    return true;
}

void JournalFollower::acknowledged(int messageId)
{
    const auto entry = m_pending.take(messageId);
    if (entry.first.isEmpty())
        return;
    m_pendingKeys.remove(entry.first + u'\n' + entry.second);
    m_context.ledger.markPublished(entry.first, entry.second);
}

} // namespace miv::telemetry

#include "device/JournalReader.h"
#include "device/RelayCommands.h"
#include "registry/CommissioningReportBuilder.h"
#include "registry/JournalArchive.h"
#include "registry/JournalArchiveReport.h"
#include "registry/JournalStore.h"
#include "registry/RegistryCheck.h"
#include "registry/RegistryRecorder.h"
#include "registry/RegistrySchema.h"
#include "registry/RegistryStore.h"
#include "support/RelayLineFixture.h"

#include <gtest/gtest.h>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimeZone>
#include <tuple>

using namespace miv;

namespace {

// An entry whose bytes say `name`: the name's letters stand for distinct
// events; equal names are equal bytes.
QByteArray entry(char name)
{
    QByteArray bytes(22, '\0');
    bytes[0] = 5;
    bytes[8] = name;
    return bytes;
}

QList<QByteArray> ring(const char *names)
{
    QList<QByteArray> entries;
    for (const char *c = names; *c; ++c)
        entries << entry(*c);
    return entries;
}

// The names of the entries at these positions of `read`.
QString names(const QList<QByteArray> &read, const QList<int> &positions)
{
    QString text;
    for (int k : positions)
        text += QChar(read[k][8]);
    return text;
}

struct Case
{
    const char *what;
    const char *kept;
    const char *read;
    const char *fresh; // the new entries, oldest first
    const char *ringAfter;
};

TEST(JournalArchive, eachEntryOfAReadIsNewOnceWhateverTheRingDid)
{
    const Case cases[] = {
            {"the first read", "", "abc", "abc", "abc"},
            {"the same read again", "abc", "abc", "", "abc"},
            {"a journal that grew", "abc", "abcde", "de", "abcde"},
            {"a read that stopped early, or raced a longer one", "abcde", "abc", "", "abcde"},
            {"a ring whose end marker came round: the read starts over", "abcdefgh", "xyz", "xyz",
             "xyzdefgh"},
            {"and grows again behind it", "xyzdefgh", "xyzuv", "uv", "xyzuvfgh"},
            {"a full ring written over from slot 6 round to slot 1", "abcdefgh", "klcdefij", "ijkl",
             "klcdefij"},
            {"a relay that drops its oldest entry to make room", "abcdefgh", "defghijk", "ijk",
             "defghijk"},
            {"a clock set back repeats a date: the slot tells it", "abcd", "abcdab", "ab",
             "abcdab"},
            {"an emptied journal", "abc", "", "", "abc"},
            {"changed here and there: every changed slot", "abcdef", "xbcyef", "xy", "xbcyef"},
    };
    for (const Case &c : cases) {
        const QList<QByteArray> read = ring(c.read);
        const JournalMatch match = matchJournalRead(ring(c.kept), read);
        EXPECT_EQ(names(read, match.newEntries), QString::fromLatin1(c.fresh)) << c.what;
        EXPECT_EQ(match.ring, ring(c.ringAfter)) << c.what;
    }
}

// 100 events or more since the last read: every slot is new, and the run of
// new entries begins at the relay's writing place, wherever it lies.
TEST(JournalArchive, aRingNewInEverySlotIsTakenFromItsWritingPlace)
{
    struct RingCase
    {
        const char *what;
        int length; // slots read
        int writingPlace; // the slot of the first event
        int setBackAt; // the event from which the clock was an hour back, -1 none
    };
    const RingCase cases[] = {
            {"written round from slot 37", 100, 37, -1},
            {"written round from slot 0", 100, 0, -1},
            {"written round from slot 99", 100, 99, -1},
            {"the clock set back an hour on the way", 100, 37, 70},
            {"a journal not yet full, its clock set back", 60, 0, 30},
    };
    const QDateTime start(QDate(2026, 1, 1), QTime(0, 0));
    for (const RingCase &c : cases) {
        QList<QByteArray> kept(100, QByteArray(22, '\x07')); // older events, every slot
        QList<QByteArray> read(c.length);
        QList<int> written;
        for (int event = 0; event < c.length; ++event) {
            const int slot = (c.writingPlace + event) % c.length;
            QDateTime when = start.addSecs(600 * event);
            if (c.setBackAt >= 0 && event >= c.setBackAt)
                when = when.addSecs(-3600);
            QByteArray &bytes = read[slot];
            bytes = QByteArray(22, '\0');
            bytes[0] = 7;
            bytes[1] = char(when.date().day());
            bytes[2] = char(when.date().month());
            bytes[3] = char(when.date().year() % 100);
            bytes[4] = char(when.time().hour());
            bytes[5] = char(when.time().minute());
            written << slot;
        }
        EXPECT_EQ(matchJournalRead(kept, read).newEntries, written) << c.what;
    }
}

TEST(JournalArchive, theRelaysTimeOfAnEntry)
{
    QByteArray bytes(22, '\0');
    bytes[0] = 1;
    bytes[1] = 5; // day
    bytes[2] = 11; // month
    bytes[3] = 9; // year
    bytes[4] = 8;
    bytes[5] = 4;
    EXPECT_EQ(journalEntryTime(bytes), QDateTime(QDate(2009, 11, 5), QTime(8, 4)));
    bytes[2] = 13;
    EXPECT_FALSE(journalEntryTime(bytes).isValid());
}

// The entries shown for a range keep their numbers among all; an entry with
// no date is left out of a range, unless the caller keeps it.
TEST(JournalArchive, theEntriesOfARangeOnThePcsTime)
{
    const QDateTime day(QDate(2026, 3, 10), QTime(0, 0), QTimeZone::utc());
    QList<ArchivedJournalEntry> all(5);
    all[0].pcTime = day.addSecs(-1);
    all[1].pcTime = day;
    // all[2]: no date
    all[3].pcTime = day.addSecs(86399);
    all[4].pcTime = day.addDays(1);
    struct RangeCase
    {
        QDateTime since, until;
        JournalArchiveReport::Undated undated;
        QList<int> numbers;
    };
    using JournalArchiveReport::Undated;
    const RangeCase cases[] = {
            {{}, {}, Undated::Leave, {1, 2, 3, 4, 5}},
            {day, day.addDays(1), Undated::Leave, {2, 4}},
            {day, day.addDays(1), Undated::Keep, {2, 3, 4}},
            {{}, day, Undated::Leave, {1}},
            {day.addDays(1), {}, Undated::Leave, {5}},
    };
    for (const RangeCase &c : cases) {
        QList<int> numbers;
        for (const auto &shown : JournalArchiveReport::inRange(all, c.since, c.until, c.undated))
            numbers << shown.number;
        EXPECT_EQ(numbers, c.numbers)
                << c.since.toString().toStdString() << " - " << c.until.toString().toStdString();
    }
}

// Relay 1 on the simulated line, its register a SQLite file of the test's own.
class JournalArchiveOnRelay : public RelayLineFixture
{
protected:
    void SetUp() override
    {
        RelayLineFixture::SetUp();
        ASSERT_TRUE(dir.isValid());
        location.filePath = dir.filePath(QStringLiteral("registry.sqlite"));
        recorder = std::make_unique<RegistryRecorder>(location);
        session.recorder = recorder.get();
        select(1, 4);
        device.factoryNumber = 1001;
        device.deviceName = QStringLiteral("МИВ-04    ");
    }

    // The archive of relay 1, as its entries' bytes, in the relay's order.
    QList<QByteArray> archived()
    {
        RegistryStore *store = recorder->store();
        EXPECT_TRUE(store);
        JournalStore journal(*store);
        QList<QByteArray> bytes;
        const auto relays = store->relays(1001);
        for (const ArchivedJournalEntry &entry : journal.relayEntries(relays->value(0).id, {}, {})
                                                         .value_or(QList<ArchivedJournalEntry>{}))
            bytes << entry.bytes;
        return bytes;
    }

    QTemporaryDir dir;
    RegistryLocation location;
    std::unique_ptr<RegistryRecorder> recorder;
};

// The ring goes round twice and more, 60 events at a time between two reads;
// one read is repeated, and the relay's clock is set back half-way, so that
// its new entries are dated before the old. Every entry is in the archive
// once, in the order the relay wrote it.
TEST_F(JournalArchiveOnRelay, everyEntryOnceAfterTheRingWentRoundTwice)
{
    QList<QByteArray> written;
    for (int slot = 0; slot < 37; ++slot)
        written << relay().journalEntry(slot);
    ASSERT_EQ(readJournal(session, op).rows, 37);
    const int codes[] = {1, 7, 8, 2, 16, 44};
    QDateTime when(QDate(2026, 1, 1), QTime(0, 0));
    int next = 37;
    for (int batch = 0; batch < 5; ++batch) {
        if (batch == 3)
            when = QDateTime(QDate(2025, 6, 1), QTime(0, 0)); // the clock set back
        for (int k = 0; k < 60; ++k) {
            when = when.addSecs(61);
            relay().pushJournalEvent(codes[k % 6], when);
            written << relay().journalEntry(next++ % 100);
        }
        const JournalReadResult read = readJournal(session, op);
        ASSERT_EQ(read.outcome, JournalReadResult::Outcome::Complete);
        if (batch == 1)
            readJournal(session, op); // the same ring again: nothing new
    }
    EXPECT_TRUE(op.shownTexts().isEmpty() && op.notes().isEmpty())
            << op.notes().join(u'\n').toStdString();
    EXPECT_EQ(written.size(), 337);
    EXPECT_EQ(archived(), written);
}

// The PC's time of an entry is the relay's less the offset seen with the read
// that brought it.
TEST_F(JournalArchiveOnRelay, entriesAreOnThePcsTimeAsWellAsTheRelays)
{
    ASSERT_EQ(setRelayClock(session, op, QDateTime::currentDateTime().addSecs(3600)),
              BusOutcome::Done);
    relay().pushJournalEvent(1, QDateTime(QDate(2026, 2, 3), QTime(4, 5, 6)));
    readJournal(session, op);
    RegistryStore *store = recorder->store();
    ASSERT_TRUE(store);
    JournalStore journal(*store);
    const auto events = journal.lineEntries(QDateTime(QDate(2026, 2, 3), QTime(0, 0)), {});
    ASSERT_TRUE(events);
    ASSERT_EQ(events->size(), 1);
    EXPECT_EQ(events->at(0).relayTime, QDateTime(QDate(2026, 2, 3), QTime(4, 5, 6)));
    EXPECT_NEAR(double(events->at(0).pcTime.secsTo(events->at(0).relayTime)), 3600.0, 2.0);
    EXPECT_EQ(lineEventFields(events->at(0), u',').mid(1, 4),
              (QStringList{"1001", "", "2026.02.03 04:05:06", "Включениие питания реле"}));
    // The relay's day alone, its entry numbered among all the relay's.
    const QDateTime day(QDate(2026, 2, 3), QTime(0, 0));
    const auto ofDay = journal.relayEntries(events->at(0).relayId, day, day.addDays(1));
    ASSERT_TRUE(ofDay && ofDay->size() == 1);
    EXPECT_EQ(ofDay->at(0).number, 38) << "after the relay's 37 entries of before";
}

// A register that cannot be written loses nothing of the reading: the rows
// are listed and the operator is told why the register was not updated.
TEST_F(JournalArchiveOnRelay, aRegisterThatCannotBeWrittenIsToldAndTheReadingStands)
{
    QFile blocker(location.filePath);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.write("not a database at all, but a text file of some length............");
    blocker.close();
    EXPECT_EQ(readJournal(session, op).rows, 37);
    ASSERT_EQ(op.notes().size(), 1);
    EXPECT_TRUE(op.notes()[0].startsWith(QStringLiteral("Реестр реле не обновлён: ")))
            << op.notes()[0].toStdString();
}

// A read the register failed to record is no relay without an approval: the
// check says it was not recorded, and why.
TEST_F(JournalArchiveOnRelay, theCheckOfAReadTheRegisterDidNotRecordSaysWhy)
{
    const QString reason = QStringLiteral("нет прав доступа");
    RegistryRecorder failing(reason);
    session.recorder = &failing;
    const RelayCheck check = checkRelay(session, op, 1);
    EXPECT_EQ(check.result, RelayCheck::Result::NotRecorded);
    EXPECT_TRUE(check.needsAttention());
    const QStringList lines = checkLines(check);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("1\t1001\t\tне записано в реестр\t")))
            << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith(reason)) << lines[0].toStdString();
}

// A history by hand: each snapshot's number, kind and local time (day of
// March 2026, hour, minute).
QList<RegistrySnapshot>
snapshotsOf(std::initializer_list<std::tuple<int, SettingsKind, int, int, int>> list)
{
    QList<RegistrySnapshot> snapshots;
    for (const auto &[id, kind, day, hour, minute] : list) {
        RegistrySnapshot snapshot;
        snapshot.id = id;
        snapshot.kind = kind;
        snapshot.time = QDateTime(QDate(2026, 3, day), QTime(hour, minute)).toUTC();
        snapshots << snapshot;
    }
    return snapshots;
}

// The report is of a visit: an as-found and a later as-left of the relay;
// anything else is refused, and the refusal names the visits on record.
TEST(CommissioningVisit, anAsFoundAndALaterAsLeftOrARefusalNamingTheVisits)
{
    const auto found = SettingsKind::AsFound, left = SettingsKind::AsLeft,
               approved = SettingsKind::Approved;
    const QList<RegistrySnapshot> snapshots = snapshotsOf({{1, found, 10, 9, 0},
                                                           {2, approved, 10, 9, 10},
                                                           {3, left, 10, 10, 0},
                                                           {4, found, 10, 11, 0},
                                                           {5, found, 11, 9, 0},
                                                           {6, left, 11, 9, 30},
                                                           {7, left, 11, 12, 0},
                                                           {8, found, 12, 8, 0}});
    using Refusal = VisitChoice::Refusal;
    struct VisitCase
    {
        std::optional<qint64> from, to;
        Refusal refusal;
        int asFound, asLeft; // when chosen
    };
    const VisitCase cases[] = {
            {{}, {}, Refusal::None, 5, 7}, // the latest day with both
            {1, 3, Refusal::None, 1, 3},       {1, 7, Refusal::None, 1, 7},
            {5, {}, Refusal::None, 5, 7},      {{}, 6, Refusal::None, 5, 6},
            {{}, 3, Refusal::None, 1, 3},      {3, 1, Refusal::NotAVisit, 0, 0},
            {1, 2, Refusal::NotAVisit, 0, 0},  {2, 3, Refusal::NotAVisit, 0, 0},
            {4, 3, Refusal::NotAVisit, 0, 0},  {4, {}, Refusal::NotAVisit, 0, 0},
            {8, {}, Refusal::NotAVisit, 0, 0}, {99, 3, Refusal::NotAVisit, 0, 0},
    };
    for (const VisitCase &c : cases) {
        const VisitChoice choice = chooseVisit(snapshots, {c.from, c.to}, 1001);
        const std::string what =
                std::to_string(c.from.value_or(0)) + " - " + std::to_string(c.to.value_or(0));
        EXPECT_EQ(choice.refusal, c.refusal) << what;
        if (c.refusal == Refusal::None) {
            ASSERT_TRUE(choice.visit) << what;
            EXPECT_EQ(choice.visit->asFound.id, c.asFound) << what;
            EXPECT_EQ(choice.visit->asLeft.id, c.asLeft) << what;
        } else {
            EXPECT_FALSE(choice.visit) << what;
            EXPECT_TRUE(choice.reason.contains(
                    QStringLiteral("1 → 3 (10.03.2026), 5 → 7 (11.03.2026)")))
                    << what << ": " << choice.reason.toStdString();
        }
    }
    const VisitChoice none = chooseVisit(snapshots.mid(3, 1), {}, 1001);
    EXPECT_EQ(none.refusal, Refusal::NoVisit);
    EXPECT_TRUE(none.reason.contains(QStringLiteral("Посещений реле №1001 в реестре нет")));
}

// The report of a visit: a row switched off shows as the settings sheet
// shows it and is no change of the value it keeps; the journal holds what the
// register recorded from the as-found snapshot to the end of the as-left's day.
TEST(CommissioningReport, rowsSwitchedOffAndTheJournalToTheEndOfTheAsLeftDay)
{
    QTemporaryDir dir;
    RegistryLocation location;
    location.filePath = dir.filePath(QStringLiteral("registry.sqlite"));
    RegistryStore store(location);
    JournalStore journal(store);
    const auto at = [](int day, int hour, int minute) {
        RecordingContext context;
        context.time = QDateTime(QDate(2026, 3, day), QTime(hour, minute));
        return context;
    };
    SettingsRecord settings;
    settings.factoryNumber = 1001;
    settings.typeCode = 4;
    for (quint16 reg = 0x50; reg <= 0x5B; ++reg)
        settings.registers[reg] = 10;
    settings.registers[0x80] = 0x3F; // every switch on
    settings.registers[0x81] = 0x07;
    ASSERT_TRUE(store.recordSettings(settings, at(10, 9, 0), u',').recorded)
            << store.error().toStdString();
    settings.kind = SettingsKind::AsLeft;
    settings.registers[0x55] = 12;
    settings.registers[0x80] = 0x3D; // row 24 off: row 4 is switched off
    ASSERT_TRUE(store.recordSettings(settings, at(10, 10, 0), u',').recorded);

    // The journal as four reads found it, one entry more each time: before
    // the visit, during it, later that day, the day after.
    JournalRecord read;
    read.factoryNumber = 1001;
    read.typeCode = 4;
    QStringList dates;
    const int recorded[][3] = {{10, 8, 0}, {10, 9, 30}, {10, 23, 59}, {11, 0, 30}};
    for (int k = 0; k < 4; ++k) {
        QByteArray bytes(22, '\0');
        bytes[0] = 1;
        bytes[1] = 10, bytes[2] = 3, bytes[3] = 26, bytes[4] = 7, bytes[5] = char(k);
        read.entries << bytes;
        dates << journalEntryTexts(bytes, u',')[0];
        const auto [day, hour, minute] = recorded[k];
        ASSERT_EQ(journal.addRead(read, at(day, hour, minute)), 1) << journal.error().toStdString();
    }
    const auto relay = store.relays(1001);
    ASSERT_TRUE(relay && relay->size() == 1);
    QString error;
    const auto document = buildCommissioningReport(store, journal, relay->front(), {}, u',',
                                                   QDateTime::currentDateTime(), &error);
    ASSERT_TRUE(document) << error.toStdString();
    ASSERT_GT(document->rows.size(), 24);
    const CommissioningReport::Row &switchedOff = document->rows[4];
    EXPECT_EQ(switchedOff.asLeft, SettingsSheet::disabledValueText(switchedOff.asFound));
    EXPECT_FALSE(switchedOff.changed);
    EXPECT_TRUE(document->rows[5].changed);
    EXPECT_TRUE(document->rows[24].changed);
    QStringList shown;
    for (const QStringList &entry : document->journal)
        shown << entry.value(1);
    EXPECT_EQ(shown, dates.mid(1, 2));
}

// A register of the first schema gets the journal's tables and keeps its relays.
TEST(JournalArchiveSchema, aFirstVersionRegisterIsBroughtUpToDate)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("old.sqlite"));
    {
        QSqlDatabase db =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery query(db);
        ASSERT_TRUE(query.exec(QStringLiteral("CREATE TABLE schema_version (version INTEGER)")));
        ASSERT_TRUE(query.exec(QStringLiteral("INSERT INTO schema_version VALUES (1)")));
        for (QString statement : RegistrySchema::migrations().at(0).statements)
            ASSERT_TRUE(query.exec(statement.replace(QStringLiteral("{ID}"),
                                                     QStringLiteral("INTEGER PRIMARY KEY"))))
                    << query.lastError().text().toStdString();
        ASSERT_TRUE(query.exec(QStringLiteral(
                "INSERT INTO relays (factory_number, type_code, device_name, software_version, "
                "first_seen, last_seen, last_port, last_address) VALUES (7, 4, 'МИВ-04', 1, "
                "'2026-01-01T00:00:00.000Z', '2026-01-01T00:00:00.000Z', 'p', 7)")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("old"));
    RegistryLocation location;
    location.filePath = path;
    RegistryStore store(location);
    ASSERT_TRUE(store.open()) << store.error().toStdString();
    EXPECT_EQ(store.schemaVersion(), RegistryStore::knownSchemaVersion());
    JournalStore journal(store);
    JournalRecord record;
    record.factoryNumber = 7;
    record.typeCode = 4;
    record.entries = {QByteArray(1, '\x01') + QByteArray("\x05\x0b\x09\x08\x04", 5)
                      + QByteArray(16, '\0')};
    EXPECT_EQ(journal.addRead(record, RecordingContext{}), 1);
    EXPECT_EQ(journal.addRead(record, RecordingContext{}), 0);
    EXPECT_EQ(store.relays(7)->size(), 1) << "the relay on record is the journal's";
}

} // namespace

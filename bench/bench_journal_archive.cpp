// bench_journal_archive: the journal archive of the relay register on SQLite.
// A register of 1 million entries (32 relays, 100 entries a day each, about
// 312 days) is made once in a temporary folder; then, 10 times each:
//   - a reading of 100 new entries added to it (the ring matched, the
//     entries and the ring written in one transaction), goal 50 ms;
//   - `registry events` of one day of the 32-relay line (3200 entries in the
//     PC's time order, with their tags, and their texts), goal 100 ms;
//   - `registry journal --since D --until D` of one relay whose archive holds
//     a million entries (a second register: 100 entries a day from 2000 on),
//     the day's 100 entries with their numbers and texts, goal 50 ms;
//   - the commissioning report of a relay with an approval, an as-found and
//     an as-left snapshot, built and written as workbook, CSV and PDF, goal
//     100 ms.
// Prints the median and the slowest of each.
//   bench_journal_archive [FOLDER]   keeps the register in FOLDER.
#include "core/ValueFormat.h"
#include "registry/CommissioningReportBuilder.h"
#include "registry/JournalStore.h"
#include "registry/RegistryStore.h"
#include "report/CommissioningReportPdf.h"

#include <algorithm>
#include <cstdio>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <vector>

using namespace miv;

namespace {

constexpr int relayCount = 32;
constexpr int entriesPerDay = 100;
constexpr int totalEntries = 1000000;
const QDate firstDay(2025, 1, 1);
const QDate longFirstDay(2000, 1, 1); // of the relay with a million entries

QByteArray entryBytes(int code, const QDateTime &when, int serial)
{
    QByteArray bytes(22, '\0');
    bytes[0] = char(code);
    bytes[1] = char(when.date().day());
    bytes[2] = char(when.date().month());
    bytes[3] = char(when.date().year() % 100);
    bytes[4] = char(when.time().hour());
    bytes[5] = char(when.time().minute());
    bytes[6] = char(when.time().second());
    bytes[8] = char(serial >> 8);
    bytes[9] = char(serial & 0xFF);
    return bytes;
}

// The register filled directly: `relays` relays from the day `from` on, 100
// entries a day each, `entries` in all; one read stands for all.
bool fill(RegistryStore &store, int relays, int entries, const QDate &from)
{
    return store.inTransaction([&](QSqlQuery &query) {
        const QString now = QStringLiteral("2025-01-01T00:00:00.000Z");
        for (int relay = 1; relay <= relays; ++relay)
            if (!store.exec(
                        query,
                        QStringLiteral("INSERT INTO relays (factory_number, type_code, "
                                       "device_name, tag, software_version, first_seen, "
                                       "last_seen, last_port, last_address) VALUES "
                                       "(?, 4, 'МИВ-04', ?, 2332, ?, ?, 'ttyUSB0', ?)"),
                        {1000 + relay, QStringLiteral("Насос Н-%1").arg(relay), now, now, relay}))
                return false;
        // One reading stands for all of them.
        if (!store.exec(query,
                        QStringLiteral("INSERT INTO journal_reads (id, relay_id, read_at, os_user, "
                                       "port, address, entries, new_entries) VALUES "
                                       "(1, 1, ?, 'bench', 'ttyUSB0', 1, 100, 100)"),
                        {now})
            || !query.prepare(QStringLiteral(
                    "INSERT INTO journal_entries (relay_id, read_id, code, bytes, relay_time, "
                    "pc_time, recorded_at, number) VALUES (?, 1, 7, ?, ?, ?, ?, ?)")))
            return false;
        for (int n = 0; n < entries; ++n) {
            const int relay = 1 + n % relays;
            const int ofRelay = n / relays;
            const QDateTime when(from.addDays(ofRelay / entriesPerDay),
                                 QTime(0, 0).addSecs((ofRelay % entriesPerDay) * 840 + relay));
            const QByteArray bytes = entryBytes(7, when, ofRelay);
            query.addBindValue(relay);
            query.addBindValue(QString::fromLatin1(bytes.toHex()));
            query.addBindValue(when.toString(Qt::ISODate));
            query.addBindValue(when.toUTC().toString(Qt::ISODateWithMs));
            query.addBindValue(when.toUTC().toString(Qt::ISODateWithMs));
            query.addBindValue(ofRelay + 1);
            if (!query.exec())
                return false;
        }
        return true;
    });
}

struct Figures
{
    std::vector<double> times;
    void add(double ms) { times.push_back(ms); }
    void print(const char *what, double goalMs)
    {
        std::sort(times.begin(), times.end());
        std::printf("%-58s median %7.2f ms, slowest %7.2f ms (goal %.0f ms)\n", what,
                    times[times.size() / 2], times.back(), goalMs);
    }
};

double msSince(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// `registry journal --since D --until D` of a relay with a million entries
// on record, on a register of its own; false when it failed.
bool relayJournalOfADay(const QString &folder)
{
    RegistryLocation location;
    location.filePath = folder + QStringLiteral("/long.sqlite");
    QFile::remove(location.filePath);
    RegistryStore store(location);
    QElapsedTimer timer;
    timer.start();
    if (!store.open() || !fill(store, 1, totalEntries, longFirstDay)) {
        std::fprintf(stderr, "the register was not made: %s\n", qPrintable(store.error()));
        return false;
    }
    std::printf("a relay of %d entries made in %.1f s\n", totalEntries, msSince(timer) / 1000);
    JournalStore journal(store);
    Figures figures;
    for (int run = 0; run < 10; ++run) {
        const int dayIndex = 1000 * run + 7;
        const QDateTime day(longFirstDay.addDays(dayIndex), QTime(0, 0));
        timer.restart();
        const auto relays = store.relays(1001);
        const auto entries = journal.relayEntries(relays->value(0).id, day, day.addDays(1));
        int lines = 0;
        for (const ArchivedJournalEntry &entry : entries.value_or(QList<ArchivedJournalEntry>{}))
            lines += int(archivedEntryFields(entry, entry.number, u',').size() > 0);
        figures.add(msSince(timer));
        const qint64 firstNumber = entries && !entries->isEmpty() ? entries->front().number : 0;
        if (lines != entriesPerDay || firstNumber != qint64(dayIndex) * entriesPerDay + 1) {
            std::fprintf(stderr, "%d entries in a day from number %lld, not %d from %lld\n", lines,
                         firstNumber, entriesPerDay, qint64(dayIndex) * entriesPerDay + 1);
            return false;
        }
    }
    figures.print("registry journal of one day, a relay of 1 million", 50);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    QTemporaryDir temporary;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path();
    RegistryLocation location;
    location.filePath = folder + QStringLiteral("/registry.sqlite");
    QFile::remove(location.filePath);
    RegistryStore store(location);
    QElapsedTimer timer;
    timer.start();
    if (!store.open() || !fill(store, relayCount, totalEntries, firstDay)) {
        std::fprintf(stderr, "the register was not made: %s\n", qPrintable(store.error()));
        return 1;
    }
    std::printf("a register of %d entries made in %.1f s\n", totalEntries, msSince(timer) / 1000);

    JournalStore journal(store);
    RecordingContext context;
    context.user = QStringLiteral("bench");
    Figures adding, events, report;
    QList<QByteArray> ring;
    for (int run = 0; run < 10; ++run) {
        // A ring of 100 entries none of which is on record.
        ring.clear();
        for (int k = 0; k < 100; ++k)
            ring << entryBytes(1 + k % 15,
                               QDateTime(QDate(2026, 1, 1 + run), QTime(0, 0).addSecs(60 * k)),
                               run * 100 + k);
        JournalRecord record;
        record.factoryNumber = quint16(1000 + 1 + run);
        record.typeCode = 4;
        record.deviceName = QStringLiteral("МИВ-04");
        record.entries = ring;
        record.clockOffsetMs = 1500;
        timer.restart();
        const std::optional<int> added = journal.addRead(record, context);
        adding.add(msSince(timer));
        if (added != 100) {
            std::fprintf(stderr, "%d entries added, not 100: %s\n", added.value_or(-1),
                         qPrintable(journal.error()));
            return 1;
        }
    }
    adding.print("100 entries added to 1 million", 50);

    for (int run = 0; run < 10; ++run) {
        const QDateTime day = QDateTime(firstDay.addDays(100 + run), QTime(0, 0));
        timer.restart();
        const auto entries = journal.lineEntries(day, day.addDays(1));
        int lines = 0;
        for (const ArchivedJournalEntry &entry : entries.value_or(QList<ArchivedJournalEntry>{}))
            lines += int(lineEventFields(entry, u',').size() > 0);
        events.add(msSince(timer));
        if (lines != relayCount * entriesPerDay) {
            std::fprintf(stderr, "%d entries in a day, not %d\n", lines,
                         relayCount * entriesPerDay);
            return 1;
        }
    }
    events.print("registry events of one day, 32 relays", 100);
    if (!relayJournalOfADay(folder))
        return 1;

    // A relay with an approval, as found, as left.
    SettingsRegisters registers;
    for (quint16 reg = 0x50; reg <= 0x5B; ++reg)
        registers[reg] = 10;
    for (quint16 reg = 0x60; reg <= 0x6A; ++reg)
        registers[reg] = 10;
    registers[0x80] = 0;
    registers[0x81] = 0;
    SettingsRecord settings;
    settings.factoryNumber = 1001;
    settings.typeCode = 4;
    settings.deviceName = QStringLiteral("МИВ-04");
    settings.registers = registers;
    store.recordSettings(settings, context, u',');
    const auto relays = store.relays(1001);
    store.approve(relays->value(0).id, registers, QStringLiteral("bench"), {}, context);
    settings.kind = SettingsKind::AsLeft;
    settings.registers[0x55] = 12;
    store.recordSettings(settings, context, u',');
    QTemporaryDir out;
    for (int run = 0; run < 10; ++run) {
        timer.restart();
        QString error;
        const auto document = buildCommissioningReport(store, journal, relays->value(0), {}, u',',
                                                       QDateTime::currentDateTime(), &error);
        const bool written = document
                && CommissioningReport::writeWorkbook(out.filePath("r.xls"), *document, &error)
                && CommissioningReport::writeCsv(out.filePath("r.csv"), *document, &error)
                && CommissioningReportPdf::write(out.filePath("r.pdf"), *document, &error);
        report.add(msSince(timer));
        if (!written) {
            std::fprintf(stderr, "the report was not written: %s\n", qPrintable(error));
            return 1;
        }
    }
    report.print("the commissioning report, workbook, CSV and PDF", 100);
    return 0;
}

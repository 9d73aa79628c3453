// The journal reading: the texts of an entry from its raw bytes, and the
// reading of a simulated relay's journal through the loopback line.
#include "core/Texts.h"
#include "device/JournalReader.h"
#include "support/RelayLineFixture.h"

#include <gtest/gtest.h>

namespace {

// The reply string of an entry read: address 1, function 3, 22 data bytes.
ReplyString entryReply(std::initializer_list<int> bytes)
{
    ReplyString reply("\x01\x03\x16", 3);
    for (int byte : bytes)
        reply.append(char(byte));
    return reply.leftJustified(3 + 22, '\0');
}

TEST(JournalEntryText, dateFromTheRawBytes)
{
    struct Case
    {
        std::initializer_list<int> bytes;
        const char *date;
    };
    const Case cases[] = {
            {{1, 5, 11, 9, 8, 4, 0}, "2009.11.05 08:04:00"},
            {{1, 25, 4, 8, 9, 7, 3}, "2008.04.25 09:07:03"},
            {{1, 31, 12, 99, 23, 59, 59}, "2099.12.31 23:59:59"},
            {{1, 0, 0, 0, 0, 0, 0}, "2000.00.00 00:00:00"},
            {{1, 255, 200, 100, 24, 60, 61},
             "20100.200.255 24:60:61"}, // bytes as they come, no calendar
    };
    for (const Case &c : cases)
        EXPECT_EQ(journalDateText(entryReply(c.bytes)), QString::fromLatin1(c.date));
}

TEST(JournalEntryText, detailsOfEveryCode)
{
    const QString trip = QStringLiteral(
            "Ia = 12,3 А, Ib = 12,4 А, Ic = 12,5 А, Iут = 5 %, Ua = 220 В, Ub = 221 В, Uc = 222 В");
    const std::initializer_list<int> tripBytes = {0, 0x7B, 0,    0x7C, 0,    0x7D, 0,
                                                  5, 0,    0xDC, 0,    0xDD, 0,    0xDE};
    auto entry = [](int code, std::initializer_list<int> details) {
        std::vector<int> bytes{code, 1, 1, 1, 0, 0, 0, 0};
        bytes.insert(bytes.end(), details.begin(), details.end());
        return bytes;
    };
    struct Row
    {
        std::vector<int> bytes;
        QChar separator;
        QString details;
    };
    const Row rows[] = {
            {entry(33, tripBytes), u',', trip},
            {entry(30, tripBytes), u',', trip},
            {entry(42, tripBytes), u',', trip},
            {entry(38, tripBytes), u'.',
             QString(trip).replace(QStringLiteral("12,"), QStringLiteral("12."))},
            {entry(35, {0xFF, 0xFF, 0, 0, 0, 9, 0xFF, 0xFF, 0, 0, 1, 0, 0, 1}), u',',
             QStringLiteral(
                     "Ia = 6553,5 А, Ib = 0,0 А, Ic = 0,9 А, Iут = 65535 %, Ua = 0 В, Ub = 256 В, Uc = 1 В")},
            {entry(16, {0, 0, 1, 0, 0x1E}), u',', QStringLiteral("256 часов 30 минут")},
            {entry(16, {0xFF, 0xFF, 0xFF, 0xFF, 59}), u',',
             QStringLiteral("4294967295 часов 59 минут")},
            {entry(16, {1, 0, 0, 0, 0}), u',', QStringLiteral("16777216 часов 0 минут")},
            {entry(43, {0, 12}), u',', QStringLiteral("1,2 МОм")},
            {entry(43, {7, 5}), u'.', QStringLiteral("0.5 МОм")}, // d8 is not part of it
            {entry(44, {1, 12}), u',', QStringLiteral("-12 °C")},
            {entry(44, {0, 12}), u',', QStringLiteral("+12 °C")},
            {entry(44, {200, 0}), u',', QStringLiteral("-0 °C")},
    };
    for (const Row &row : rows) {
        ReplyString reply("\x01\x03\x16", 3);
        for (int byte : row.bytes)
            reply.append(char(byte));
        reply = reply.leftJustified(25, '\0');
        EXPECT_EQ(journalDetailsText(reply, row.separator), row.details) << "code " << row.bytes[0];
    }
    // Codes without details give an empty cell, whatever the detail bytes hold.
    for (int code : {1, 2, 9, 15, 45, 60, 61, 62}) {
        ReplyString reply = entryReply(
                {code, 1, 1, 1, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14});
        EXPECT_EQ(journalDetailsText(reply, u','), QString()) << "code " << code;
    }
}

// A relay's journal read through the loopback line into the session's grid.
class JournalReading : public RelayLineFixture
{
protected:
    void SetUp() override
    {
        RelayLineFixture::SetUp();
        select(1, 4);
    }

    JournalReadResult read()
    {
        progress.clear();
        line.clearRequests();
        JournalReadHooks hooks;
        hooks.progress = [this](int position) { progress.append(position); };
        return readJournal(session, op, hooks);
    }

    // The start register of every read that went out.
    QList<int> readAddresses() const
    {
        QList<int> found;
        for (const QByteArray &request : line.requests())
            found.append(quint8(request[2]) << 8 | quint8(request[3]));
        return found;
    }

    // Row `row` as the relay's slot `slot` gives it.
    void expectRowFromSlot(int row, int slot)
    {
        const ReplyString reply = ReplyString("\x01\x03\x16", 3) + relay().journalEntry(slot);
        const EventName *event = findEvent(journalEventCode(reply));
        ASSERT_NE(event, nullptr) << "slot " << slot;
        EXPECT_EQ(session.journal.text(row, JournalGrid::Number), QString::number(row + 1));
        EXPECT_EQ(session.journal.text(row, JournalGrid::Date), journalDateText(reply));
        EXPECT_EQ(session.journal.text(row, JournalGrid::Event), event->name);
        EXPECT_EQ(session.journal.text(row, JournalGrid::Details), journalDetailsText(reply, u','));
    }

    QList<int> progress;
};

TEST_F(JournalReading, endsAtTheEmptySlotAfterThreeRequests)
{
    struct Case
    {
        int entries;
        QList<int> flakySlots;
    };
    const Case cases[] = {{37, {}}, {12, {0, 5, 11}}, {1, {}}, {99, {98}}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.entries << " entries");
        relay().setJournalLength(c.entries);
        for (int slot : c.flakySlots)
            relay().setFlakyJournalSlot(slot);
        const JournalReadResult result = read();
        EXPECT_EQ(result.outcome, JournalReadResult::Outcome::Complete);
        EXPECT_EQ(result.rows, c.entries);
        ASSERT_EQ(session.journal.rowCount(), c.entries);
        for (int row = 0; row < c.entries; ++row)
            expectRowFromSlot(row, row);

        // Each slot once, a flaky one twice, and the empty slot three times.
        QList<int> expected;
        for (int slot = 0; slot < c.entries; ++slot)
            for (int request = 0; request < (c.flakySlots.contains(slot) ? 2 : 1); ++request)
                expected.append(0x400 + slot);
        expected << 0x400 + c.entries << 0x400 + c.entries << 0x400 + c.entries;
        EXPECT_EQ(readAddresses(), expected);

        QList<int> bar;
        for (int n = 0; n < c.entries; ++n)
            bar.append(n);
        bar.append(99);
        EXPECT_EQ(progress, bar);
        EXPECT_TRUE(op.shown().isEmpty());
    }
}

TEST_F(JournalReading, fullJournalAsksNoSlotBeyondTheHundredth)
{
    relay().setJournalLength(100);
    const JournalReadResult result = read();
    EXPECT_EQ(result.outcome, JournalReadResult::Outcome::Complete);
    EXPECT_EQ(result.rows, 100);
    EXPECT_EQ(session.journal.rowCount(), 100);
    EXPECT_EQ(readAddresses().size(), 100);
    EXPECT_EQ(readAddresses().last(), 0x400 + 99);
    EXPECT_EQ(progress.size(), 100);
    EXPECT_EQ(progress.last(), 99);
    EXPECT_EQ(op.keepAliveCalls(), 100);
    expectRowFromSlot(99, 99);
}

TEST_F(JournalReading, failureAtEntryKeepsTheRowsReadBefore)
{
    // The bus's own retries add no request: the journal's three are the repetitions.
    for (auto [k, retries] : {std::pair{0, 0}, {1, 0}, {12, 0}, {36, 0}, {5, 2}}) {
        SCOPED_TRACE(testing::Message() << "failure at entry " << k << ", retries " << retries);
        bus.setRetries(retries);
        session.journal.setRowCount(100);
        for (int row = 0; row < 100; ++row)
            session.journal.setRow(row, QStringLiteral("#"), QStringLiteral("old"),
                                   QStringLiteral("old"), QStringLiteral("old"));
        relay().setJournalLength(37);
        stopAnsweringAfter(1, k);
        op.clearShown();
        const JournalReadResult result = read();
        line.setFaults(1, {});
        EXPECT_EQ(result.outcome, JournalReadResult::Outcome::Failed);
        EXPECT_EQ(result.rows, k);
        EXPECT_EQ(op.shownTexts(), QStringList{Texts::linkError});
        EXPECT_EQ(op.shown().value(0).icon, Operator::Icon::Error);
        // Entry k was asked for three times, then the reading stopped.
        EXPECT_EQ(readAddresses().size(), k + 3);
        ASSERT_EQ(session.journal.rowCount(), std::max(k, 1));
        for (int row = 0; row < k; ++row)
            expectRowFromSlot(row, row);
        if (k == 0) { // no stale event stays on the one row left
            for (int column = 0; column < JournalGrid::ColumnCount; ++column)
                EXPECT_EQ(session.journal.text(0, column), QString());
        }
    }
}

TEST_F(JournalReading, overwritesAnEarlierReadingInPlace)
{
    relay().setJournalLength(37);
    read();
    ASSERT_EQ(session.journal.rowCount(), 37);
    // A shorter journal cuts the rows; an empty one leaves one empty row.
    relay().setJournalLength(12);
    read();
    EXPECT_EQ(session.journal.rowCount(), 12);
    expectRowFromSlot(11, 11);
    relay().setJournalLength(0);
    EXPECT_EQ(read().rows, 0);
    ASSERT_EQ(session.journal.rowCount(), 1);
    for (int column = 0; column < JournalGrid::ColumnCount; ++column)
        EXPECT_EQ(session.journal.text(0, column), QString()) << "column " << column;
    // A longer journal grows the grid again, row by row.
    relay().setJournalLength(20);
    read();
    EXPECT_EQ(session.journal.rowCount(), 20);
    expectRowFromSlot(19, 19);
}

TEST_F(JournalReading, codesWithoutDetailsEmptyTheInformationCell)
{
    select(6, 6);
    for (int code : {62, 60, 61, 45, 1}) {
        SCOPED_TRACE(testing::Message() << "code " << code);
        session.journal.setRow(0, QStringLiteral("1"), QString(), QString(),
                               QStringLiteral("Ia = 1,0 А"));
        relay().setJournalLength(1);
        relay().setJournalEntry(
                0, QByteArray::fromHex("00050B09080400").replace(0, 1, QByteArray(1, char(code))));
        read();
        ASSERT_EQ(session.journal.rowCount(), 1);
        EXPECT_EQ(session.journal.text(0, JournalGrid::Event), findEvent(code)->name);
        EXPECT_EQ(session.journal.text(0, JournalGrid::Date),
                  QStringLiteral("2009.11.05 08:04:00"));
        EXPECT_EQ(session.journal.text(0, JournalGrid::Details), QString());
    }
}

TEST_F(JournalReading, entryWithoutAFullAnswerIsALinkFailure)
{
    // Every reply a byte short: the bus takes none of them as an answer.
    relay().setJournalLength(5);
    RelayLine::Faults faults;
    faults.truncate = true;
    line.setFaults(1, faults);
    const JournalReadResult result = read();
    line.setFaults(1, {});
    EXPECT_EQ(result.outcome, JournalReadResult::Outcome::Failed);
    EXPECT_EQ(result.rows, 0);
    EXPECT_EQ(readAddresses(), (QList<int>{0x400, 0x400, 0x400}));
    EXPECT_EQ(op.shownTexts(), QStringList{Texts::linkError});
}

} // namespace

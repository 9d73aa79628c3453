// One settings file for several relays, each on a session of its own, on the
// in-process loopback line: relays 1 and 17 (type 4) and 6 (type 6), nobody
// at address 5.
#include "config/ConfigReader.h"
#include "config/RelayBatch.h"
#include "config/SettingsFile.h"
#include "core/WriteStop.h"
#include "device/Identification.h"
#include "link/ModbusFrame.h"
#include "link/RelayBus.h"
#include "link/RelaySession.h"
#include "sim/LoopbackPort.h"
#include "support/QtPrinters.h"
#include "support/ScriptedOperator.h"

#include <gtest/gtest.h>
#include <QStringEncoder>
#include <QTemporaryDir>

using namespace miv::sim;

namespace {

constexpr int minimumCurrentRegister = 0x54; // row 4, 20..80 %, 40 on every simulated relay
constexpr int passwordRegister = 66;

class RelayBatchTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        line.addRelay(1, 4);
        line.addRelay(6, 6);
        line.addRelay(17, 4);
        port.open(QIODevice::ReadWrite);
        bus.setReplyTimeoutMs(40);
        bus.setRetries(0);
        ASSERT_TRUE(folder.isValid());
    }

    RelaySession &freshSession()
    {
        ++sessionsMade;
        session.reset();
        session.emplace(bus);
        session->decimalSeparator = QChar(u',');
        return *session;
    }

    // The settings of relay 1 with row 4 at `value`, saved to a file; relay 1 keeps its own.
    QString fileWithMinimumCurrent(int value, const QString &name = QStringLiteral("set.miv"))
    {
        RelayModel &model = *line.relay(1);
        const quint16 before = model.registerValue(minimumCurrentRegister);
        model.setRegister(minimumCurrentRegister, quint16(value));
        RelaySession &reader = freshSession();
        EXPECT_EQ(identifyRelay(reader, op, 0).outcome, IdentificationResult::Outcome::Identified);
        reader.configGrid.fillFromCatalogue(reader.catalogue);
        EXPECT_EQ(readConfiguration(reader, op), ConfigReadResult::Complete);
        const QString path = folder.filePath(name);
        EXPECT_TRUE(SettingsFile::save(path, reader.configGrid, reader.timer));
        model.setRegister(minimumCurrentRegister, before);
        line.clearRequests();
        return path;
    }

    QList<RelayOutcome> writeToAll(const QList<quint8> &addresses, const QString &file)
    {
        return runOnRelays(
                addresses, [this]() -> RelaySession & { return freshSession(); },
                [this, &file](RelaySession &s, quint8 address) {
                    return writeSettingsFileTo(s, op, address, file);
                });
    }

    // Writes (function 06 or 16) that went to `address`.
    int writesTo(quint8 address) const
    {
        int count = 0;
        for (const QByteArray &request : line.requests())
            count += quint8(request[0]) == address
                    && (quint8(request[1]) == modbus::WriteSingleRegister
                        || quint8(request[1]) == modbus::WriteMultipleRegisters);
        return count;
    }

    RelayLine line;
    LoopbackPort port{line};
    RelayBus bus{&port};
    ScriptedOperator op;
    std::optional<RelaySession> session;
    int sessionsMade = 0;
    QTemporaryDir folder;
};

TEST_F(RelayBatchTest, aSilentRelayAndARefusedOneDoNotStopTheOthers)
{
    const QString file = fileWithMinimumCurrent(55);
    // Relay 6 has another password: it is refused before anything is sent.
    line.relay(6)->setRegister(passwordRegister, quint16('W' << 8 | 'X'));
    for (int i = 0; i < 3; ++i) // relays 1, 6 and 17 ask; nobody answers at 5
        op.answerPassword(QStringLiteral("ABCD"));
    sessionsMade = 0;

    const QList<RelayOutcome> outcomes = writeToAll({1, 5, 6, 17}, file);

    ASSERT_EQ(outcomes.size(), 4);
    EXPECT_EQ(sessionsMade, 4) << "every relay on a session of its own";
    const RelayOutcome expected[] = {
            {1, RelayOutcome::Verdict::Done, QStringLiteral("1 rows sent, 33 unchanged")},
            {5, RelayOutcome::Verdict::NoLink, QStringLiteral("no answer")},
            {6, RelayOutcome::Verdict::Refused, QStringLiteral("wrong password")},
            {17, RelayOutcome::Verdict::Done, QStringLiteral("1 rows sent, 33 unchanged")},
    };
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(outcomes[i].address, expected[i].address);
        EXPECT_EQ(outcomes[i].verdict, expected[i].verdict) << int(outcomes[i].address);
        if (expected[i].verdict != RelayOutcome::Verdict::Done) {
            EXPECT_EQ(outcomes[i].reason, expected[i].reason);
        }
    }
    EXPECT_EQ(worstVerdict(outcomes), RelayOutcome::Verdict::NoLink);
    EXPECT_EQ(summaryLine(outcomes[2], QStringLiteral("written")),
              QStringLiteral("6\trefused\twrong password"));
    EXPECT_EQ(summaryLine(outcomes[1], QStringLiteral("written")),
              QStringLiteral("5\tno link\tno answer"));

    EXPECT_EQ(line.relay(1)->registerValue(minimumCurrentRegister), 55);
    EXPECT_EQ(line.relay(17)->registerValue(minimumCurrentRegister), 55);
    EXPECT_EQ(line.relay(6)->registerValue(minimumCurrentRegister), 40);
    EXPECT_EQ(writesTo(6), 0) << "nothing is sent to a refused relay";
    EXPECT_GT(writesTo(1), 0);
    EXPECT_GT(writesTo(17), 0);
}

TEST_F(RelayBatchTest, aFileThatFailsTheCheckIsSentToNobody)
{
    // Row 4 takes 20..80: a file with 95 is refused at each relay, before any write.
    const QString file = fileWithMinimumCurrent(95);
    for (int i = 0; i < 2; ++i)
        op.answerPassword(QStringLiteral("ABCD"));
    const QList<RelayOutcome> outcomes = writeToAll({1, 17}, file);
    ASSERT_EQ(outcomes.size(), 2);
    for (const RelayOutcome &outcome : outcomes) {
        EXPECT_EQ(outcome.verdict, RelayOutcome::Verdict::Refused) << int(outcome.address);
        EXPECT_TRUE(outcome.reason.startsWith(QStringLiteral("values not taken: ")))
                << outcome.reason.toStdString();
    }
    EXPECT_EQ(worstVerdict(outcomes), RelayOutcome::Verdict::Refused);
    EXPECT_EQ(writesTo(1) + writesTo(17), 0);
    EXPECT_EQ(line.relay(17)->registerValue(minimumCurrentRegister), 40);
}

TEST_F(RelayBatchTest, theValuesOfOneRelayDoNotReachTheNext)
{
    // Relay 17 answers its identification and falls silent in the read: the
    // file loaded into relay 1's session must not be written to it.
    const QString file = fileWithMinimumCurrent(55);
    op.answerPassword(QStringLiteral("ABCD"));
    RelayLine::Faults faults;
    faults.answerRequests = 3;
    line.setFaults(17, faults);
    const QList<RelayOutcome> outcomes = writeToAll({1, 17}, file);
    ASSERT_EQ(outcomes.size(), 2);
    EXPECT_EQ(outcomes[0].verdict, RelayOutcome::Verdict::Done);
    EXPECT_EQ(outcomes[1].verdict, RelayOutcome::Verdict::NoLink);
    EXPECT_EQ(writesTo(17), 0);
    EXPECT_FALSE(session->valuesOwner && session->valuesOwner->address == 1);
    EXPECT_FALSE(session->flags.unwrittenChanges);
}

// A type-6 relay gets the file's timer too, behind the same password and by
// the timer's own writer; a relay with no timer gets the rows alone.
TEST_F(RelayBatchTest, aType6RelayGetsTheFilesTimerToo)
{
    const QString file = folder.filePath(QStringLiteral("timer.miv"));
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(QStringEncoder("windows-1251")
                          .encode(QStringLiteral("[Таймеры]\r\nМетка1=05:15:00\r\n")));
    }
    for (int i = 0; i < 2; ++i)
        op.answerPassword(QStringLiteral("ABCD"));

    const QList<RelayOutcome> outcomes = writeToAll({6, 1}, file);

    ASSERT_EQ(outcomes.size(), 2);
    EXPECT_EQ(outcomes[0].verdict, RelayOutcome::Verdict::Done) << outcomes[0].reason.toStdString();
    EXPECT_TRUE(outcomes[0].reason.endsWith(QStringLiteral(", timer written")))
            << outcomes[0].reason.toStdString();
    EXPECT_EQ(line.relay(6)->registerValue(0x76), 5 * 256 + 15);
    EXPECT_EQ(outcomes[1].verdict, RelayOutcome::Verdict::Done);
    EXPECT_FALSE(outcomes[1].reason.contains(QStringLiteral("timer")))
            << outcomes[1].reason.toStdString();
}

// Once the operator stopped the writes (Ctrl+C), the relays not yet reached
// get nothing at all and are told as stopped.
TEST_F(RelayBatchTest, aStopLeavesTheRelaysNotYetReachedUntouched)
{
    const QString file = fileWithMinimumCurrent(55);
    WriteStop::request();
    const QList<RelayOutcome> outcomes = writeToAll({1, 17}, file);
    WriteStop::clear();
    ASSERT_EQ(outcomes.size(), 2);
    EXPECT_EQ(worstVerdict(outcomes), RelayOutcome::Verdict::Stopped);
    EXPECT_EQ(summaryLine(outcomes[1], QStringLiteral("written")),
              QStringLiteral("17\tstopped\tnot written: stopped by the operator"));
    EXPECT_TRUE(line.requests().isEmpty());
}

TEST_F(RelayBatchTest, savesTheSettingsOfEachAnsweringRelay)
{
    const QList<RelayOutcome> outcomes = runOnRelays(
            {6, 5, 17}, [this]() -> RelaySession & { return freshSession(); },
            [this](RelaySession &s, quint8 address) {
                return saveSettingsFileOf(
                        s, op, address,
                        folder.filePath(QStringLiteral("relay-%1.miv").arg(address)));
            });
    ASSERT_EQ(outcomes.size(), 3);
    EXPECT_EQ(outcomes[0].verdict, RelayOutcome::Verdict::Done);
    EXPECT_EQ(outcomes[1].verdict, RelayOutcome::Verdict::NoLink);
    EXPECT_EQ(outcomes[2].verdict, RelayOutcome::Verdict::Done);
    EXPECT_TRUE(QFile::exists(folder.filePath(QStringLiteral("relay-6.miv"))));
    EXPECT_FALSE(QFile::exists(folder.filePath(QStringLiteral("relay-5.miv"))));
    EXPECT_TRUE(QFile::exists(folder.filePath(QStringLiteral("relay-17.miv"))));
    // Each file holds its own relay's values: type 6's row 31 is its own.
    RelaySession &check = freshSession();
    check.configGrid.fillFromCatalogue(check.catalogue);
    EXPECT_NE(SettingsFile::load(folder.filePath(QStringLiteral("relay-6.miv")), check).outcome,
              SettingsFile::LoadResult::Outcome::Unreadable);
}

TEST(RelayBatchVerdict, theWorstWins)
{
    using V = RelayOutcome::Verdict;
    const struct
    {
        QList<V> verdicts;
        V worst;
    } cases[] = {
            {{}, V::Done},
            {{V::Done, V::Done}, V::Done},
            {{V::Done, V::Refused}, V::Refused},
            {{V::Refused, V::NoLink, V::Done}, V::NoLink},
            {{V::NoLink, V::Refused}, V::NoLink},
            {{V::Done, V::Stopped, V::NoLink}, V::Stopped},
    };
    for (const auto &c : cases) {
        QList<RelayOutcome> outcomes;
        quint8 address = 1;
        for (V v : c.verdicts)
            outcomes << RelayOutcome{address++, v, {}};
        EXPECT_EQ(worstVerdict(outcomes), c.worst);
    }
    EXPECT_EQ(summaryLine({17, V::Done, QStringLiteral("3 rows sent, 31 unchanged")},
                          QStringLiteral("written")),
              QStringLiteral("17\twritten\t3 rows sent, 31 unchanged"));
    EXPECT_EQ(summaryLine({2, V::Done, QStringLiteral("d/relay-2.miv")}, QStringLiteral("saved")),
              QStringLiteral("2\tsaved\td/relay-2.miv"));
}

} // namespace

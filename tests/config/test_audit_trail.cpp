#include "EditFixture.h"
#include "access/PasswordAccess.h"
#include "config/ConfigWriter.h"
#include "config/TimerWriter.h"
#include "core/Texts.h"
#include "core/WriteStop.h"
#include "device/RelayCommands.h"
#include "link/AuditedWrite.h"

#include <functional>
#include <QFile>
#include <QTemporaryDir>

using namespace miv;

namespace {

// The relay at address 1 (factory number 1234) and the audit log in a
// folder of the test's own.
class AuditTrailTest : public EditFixture
{
protected:
    void SetUp() override
    {
        EditFixture::SetUp();
        device.factoryNumber = 1234;
        session.valuesOwner = session.selectedRelay();
        session.audit.setFolder(dir.path());
        session.audit.userName = QStringLiteral("tester");
        session.audit.portName = [] { return QStringLiteral("loop0"); };
    }

    QList<AuditEntry> entries() const
    {
        return AuditLog::readEntries(session.audit.filePath(), {}).value_or(QList<AuditEntry>{});
    }

    // target, item, old, new, answer of each entry.
    QList<QStringList> written() const
    {
        QList<QStringList> found;
        for (const AuditEntry &entry : entries())
            found.append({entry.target, entry.item, entry.oldValue, entry.newValue, entry.answer});
        return found;
    }

    QString name(int row) const { return grid.text(row, ConfigGrid::Name); }

    QTemporaryDir dir;
};

TEST_F(AuditTrailTest, aConfigurationWriteLeavesALinePerWriteWithTheRelaysAnswer)
{
    relay().setRegister(0x50, 2);
    readRelay();
    relay().setRegister(0x50, 10); // at ratio 10 the relay refuses 9,99 for row 1
    const QString old1 = grid.relayText(1);
    const QString old5 = grid.relayText(5);
    const QString old23 = grid.relayText(23);
    const QString new23 =
            old23 == QStringLiteral("вкл.") ? QStringLiteral("откл.") : QStringLiteral("вкл.");
    set(1, QStringLiteral("9,99"));
    set(5, QStringLiteral("45"));
    set(23, new23);
    const QString switchesAfter =
            QStringLiteral("0x%1").arg(switchWord(grid, 0), 4, 16, QLatin1Char('0'));

    const ConfigWriteResult result = writeConfiguration(session, op);
    ASSERT_EQ(result.outcome, ConfigWriteResult::Outcome::Written);

    const QList<QStringList> lines = written();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0],
              QStringList({QStringLiteral("0x0051"), name(1), old1, QStringLiteral("9,99"),
                           QStringLiteral("refused 3")}));
    EXPECT_EQ(lines[1],
              QStringList({QStringLiteral("0x0055"), name(5), old5, QStringLiteral("45"),
                           QStringLiteral("taken")}));
    EXPECT_EQ(lines[2][0], QStringLiteral("0x0080"));
    EXPECT_TRUE(lines[2][1].contains(name(23) + QStringLiteral(": ") + old23 + QStringLiteral(" → ")
                                     + new23))
            << lines[2][1].toStdString();
    EXPECT_EQ(lines[2][3], switchesAfter);
    EXPECT_EQ(lines[2][4], QStringLiteral("taken"));
    for (const AuditEntry &entry : entries()) {
        EXPECT_EQ(entry.address, 1);
        EXPECT_EQ(entry.factoryNumber, 1234);
        EXPECT_EQ(entry.user, QStringLiteral("tester"));
        EXPECT_EQ(entry.port, QStringLiteral("loop0"));
        EXPECT_LE(qAbs(entry.time.secsTo(QDateTime::currentDateTime())), 60);
    }
}

// Ctrl+C (or the window's close) while the second of three writes is under
// way: that exchange is finished and logged with its answer, the third is
// never sent, and the operator is told what was written and what was not.
// The log holds each write's line from before its request went out.
TEST_F(AuditTrailTest, aStopDuringAWriteFinishesTheExchangeAndSendsNothingMore)
{
    readRelay();
    const quint16 switchesBefore = relay().registerValue(0x80);
    const QString old23 = grid.relayText(23);
    set(4, QStringLiteral("55"));
    set(5, QStringLiteral("45"));
    set(23, old23 == QStringLiteral("вкл.") ? QStringLiteral("откл.") : QStringLiteral("вкл."));
    int records = 0;
    session.audit.portName = [&records] {
        if (++records == 3) // the second write's line, logged before its request
            WriteStop::request();
        return QStringLiteral("loop0");
    };

    const ConfigWriteResult result = writeConfiguration(session, op);
    WriteStop::clear();

    EXPECT_EQ(result.outcome, ConfigWriteResult::Outcome::LinkFailed);
    EXPECT_EQ(result.writtenRows, QList<int>({4, 5}));
    EXPECT_EQ(relay().registerValue(0x54), 55);
    EXPECT_EQ(relay().registerValue(0x55), 45);
    EXPECT_EQ(relay().registerValue(0x80), switchesBefore) << "the third write was sent";
    const QList<QStringList> lines = written();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[1][4], QStringLiteral("taken"));
    EXPECT_EQ(records, 4) << "each write is logged before its request and after its answer";
    ASSERT_EQ(op.shown().size(), 1);
    const QString told = op.shown()[0].text;
    EXPECT_TRUE(told.contains(Texts::writesStopped)) << told.toStdString();
    EXPECT_TRUE(told.contains(Texts::configRowsWritten.arg(name(4) + QStringLiteral(": 55\n")
                                                           + name(5) + QStringLiteral(": 45"))))
            << told.toStdString();
    EXPECT_TRUE(told.section(QStringLiteral("Записаны:"), 0, 0).contains(name(23)))
            << told.toStdString();
    EXPECT_TRUE(flags.unwrittenChanges);
}

TEST_F(AuditTrailTest, aPasswordChangeIsLoggedWithoutThePassword)
{
    op.answerPasswordChange(Operator::PasswordChange{QStringLiteral("ABCD"), QStringLiteral("WXYZ"),
                                                     QStringLiteral("WXYZ")});
    ASSERT_EQ(PasswordAccess::change(session, op), PasswordAccess::Change::Changed);

    EXPECT_EQ(written(),
              QList<QStringList>({{QStringLiteral("0x0042"),
                                   QStringLiteral("пароль"),
                                   {},
                                   {},
                                   QStringLiteral("taken")},
                                  {QStringLiteral("0x0043"),
                                   QStringLiteral("пароль"),
                                   {},
                                   {},
                                   QStringLiteral("taken")}}));
    QFile file(session.audit.filePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    for (const char *secret :
         {"WXYZ", "WX", "YZ", "ABCD", "5758", "595a", "595A", "22360", "22874"})
        EXPECT_FALSE(text.contains(secret)) << secret;
}

// Each write of the commands and of the timer, with the relay answering,
// refusing or silent: the answer stands in the log, and a command that stops
// at a failed write logs nothing after it.
TEST_F(AuditTrailTest, everyKindOfWriteIsLoggedWithItsAnswer)
{
    readRelay();
    const QDateTime when(QDate(2024, 3, 9), QTime(7, 5, 30));
    const struct
    {
        const char *name;
        quint8 refuse; // 0: none
        bool silent;
        std::function<void()> run;
        QList<QStringList> expected;
    } cases[] = {
            {"serial number taken",
             0,
             false,
             [&] { setSerialNumber(session, op, 4321); },
             {{QStringLiteral("0x0006"), QStringLiteral("Заводской номер"), QStringLiteral("1234"),
               QStringLiteral("4321"), QStringLiteral("taken")}}},
            {"coil refused",
             4,
             false,
             [&] { switchOutput(session, op, RelayOutput::Work, true); },
             {{QStringLiteral("coil 0x0300"),
               QStringLiteral("Работа"),
               {},
               QStringLiteral("вкл."),
               QStringLiteral("refused 4")}}},
            {"acknowledge taken",
             0,
             false,
             [&] {
                 op.answer(Operator::Answer::Ok);
                 acknowledgeAlarm(session, op);
             },
             {{QStringLiteral("coil 0x0303"),
               QStringLiteral("Квитирование"),
               {},
               QStringLiteral("вкл."),
               QStringLiteral("taken")}}},
            {"clock, no answer: stops at the first",
             0,
             true,
             [&] { setRelayClock(session, op, when); },
             {{QStringLiteral("0x0073"),
               QStringLiteral("Часы реле: год, месяц"),
               {},
               QStringLiteral("09.03.2024 07:05:30"),
               QStringLiteral("no answer")}}},
            {"motor resource taken",
             0,
             false,
             [&] { setMotorResource(session, op, 70000, 12); },
             {{QStringLiteral("0x0072"),
               QStringLiteral("Моторесурс: минуты"),
               {},
               QStringLiteral("70000 ч 12 мин"),
               QStringLiteral("taken")},
              {QStringLiteral("0x0070"),
               QStringLiteral("Моторесурс: часы, старшее слово"),
               {},
               QStringLiteral("70000 ч 12 мин"),
               QStringLiteral("taken")},
              {QStringLiteral("0x0071"),
               QStringLiteral("Моторесурс: часы, младшее слово"),
               {},
               QStringLiteral("70000 ч 12 мин"),
               QStringLiteral("taken")}}},
            {"configuration row, no answer",
             0,
             true,
             [&] {
                 set(5, QStringLiteral("45"));
                 writeConfiguration(session, op);
             },
             {{QStringLiteral("0x0055"), name(5), grid.relayText(5), QStringLiteral("45"),
               QStringLiteral("no answer")}}},
            {"single write refused: its outcome carries the code",
             3,
             false,
             [&] {
                 const WriteOutcome outcome =
                         auditedWrite(session, op, {0x55, false, name(5), {}, {}}, 45);
                 EXPECT_EQ(outcome.kind, WriteOutcome::Kind::Refused);
                 EXPECT_EQ(outcome.exceptionCode, 3);
             },
             {{QStringLiteral("0x0055"), name(5), {}, {}, QStringLiteral("refused 3")}}},
            {"single write after a stop: not sent, not logged",
             0,
             false,
             [&] {
                 line.clearRequests();
                 WriteStop::request();
                 const WriteOutcome outcome =
                         auditedWrite(session, op, {0x55, false, name(5), {}, {}}, 45);
                 WriteStop::clear();
                 EXPECT_EQ(outcome.kind, WriteOutcome::Kind::Stopped);
                 EXPECT_TRUE(line.requests().isEmpty());
             },
             {}},
    };
    for (const auto &c : cases) {
        QFile::remove(session.audit.filePath());
        line.clearFaults();
        RelayLine::Faults faults;
        faults.refuse = c.refuse;
        faults.silent = c.silent;
        line.setFaults(1, faults);
        c.run();
        EXPECT_EQ(written(), c.expected) << c.name;
    }
}

TEST_F(AuditTrailTest, theTimerWriteLogsEachMarkAndTheSwitchWord)
{
    select(6, 6);
    device.factoryNumber = 66;
    session.valuesOwner = session.selectedRelay();
    readRelay();
    const QString oldMark1 = timer.marks[0].time.toString(QStringLiteral("HH:mm"));
    timer.marks[0].time = QTime(6, 45);
    ASSERT_EQ(writeTimerSchedule(session, op), TimerWriteResult::Written);

    const QList<AuditEntry> found = entries();
    ASSERT_EQ(found.size(), 6);
    EXPECT_EQ(found[0].target, QStringLiteral("0x0076"));
    EXPECT_EQ(found[0].item, QStringLiteral("Метка1"));
    EXPECT_EQ(found[0].oldValue, oldMark1);
    EXPECT_EQ(found[0].newValue, QStringLiteral("06:45"));
    EXPECT_EQ(found[5].target, QStringLiteral("0x0082"));
    EXPECT_EQ(found[5].item, QStringLiteral("Таймер"));
    for (const AuditEntry &entry : found) {
        EXPECT_EQ(entry.answer, QStringLiteral("taken"));
        EXPECT_EQ(entry.address, 6);
        EXPECT_EQ(entry.factoryNumber, 66);
    }
}

TEST_F(AuditTrailTest, anUnwritableLogNeverBlocksAWriteAndIsToldOnce)
{
    // A folder below a plain file can never be made.
    QFile plain(dir.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    session.audit.setFolder(dir.filePath(QStringLiteral("plain/audit")));
    readRelay();
    set(5, QStringLiteral("45"));

    EXPECT_EQ(writeConfiguration(session, op).writtenRows, QList<int>({5}));
    EXPECT_EQ(setSerialNumber(session, op, 777), BusOutcome::Done);

    EXPECT_EQ(relay().registerValue(0x55), 45);
    EXPECT_EQ(relay().registerValue(6), 777);
    ASSERT_EQ(op.notes().size(), 1);
    EXPECT_TRUE(op.notes()[0].contains(QStringLiteral("audit.jsonl")));
    EXPECT_TRUE(op.notes()[0].contains(QStringLiteral("(нет такой папки)")))
            << op.notes()[0].toStdString();
    EXPECT_TRUE(op.shown().isEmpty());
}

} // namespace

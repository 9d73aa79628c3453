#include "core/AuditLog.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>

using namespace miv;

namespace {

AuditEntry entryAt(const QDateTime &time, const QString &answer)
{
    return {time,
            QStringLiteral("anna"),
            QStringLiteral("COM3"),
            17,
            4711,
            QStringLiteral("0x0055"),
            QStringLiteral("Время пуска"),
            QStringLiteral("4,5"),
            QStringLiteral("5,0"),
            answer,
            {}};
}

TEST(AuditLog, entriesComeBackAsWrittenAndFromTheGivenTimeOn)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("audit.jsonl"));
    const QDateTime first(QDate(2024, 5, 1), QTime(9, 0, 0));
    const QDateTime second(QDate(2024, 5, 2), QTime(10, 30, 0));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(AuditLog::toJsonLine(entryAt(first, QStringLiteral("taken"))) + '\n');
    file.write("no json at all\n\n");
    file.write(AuditLog::toJsonLine(entryAt(second, QStringLiteral("refused 3"))) + '\n');
    file.close();

    const struct
    {
        const char *name;
        QDateTime since;
        QList<AuditEntry> expected;
    } cases[] = {
            {"all",
             {},
             {entryAt(first, QStringLiteral("taken")),
              entryAt(second, QStringLiteral("refused 3"))}},
            {"from the second day",
             QDate(2024, 5, 2).startOfDay(),
             {entryAt(second, QStringLiteral("refused 3"))}},
            {"at the second entry's time", second, {entryAt(second, QStringLiteral("refused 3"))}},
            {"after both", QDate(2024, 5, 3).startOfDay(), {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(AuditLog::readEntries(path, c.since), c.expected) << c.name;
    EXPECT_EQ(AuditLog::readEntries(dir.filePath(QStringLiteral("none.jsonl")), {}),
              QList<AuditEntry>{});
}

// A write is logged as sent before its request goes out and again with the
// answer: read back it is one entry with that answer; one whose answer never
// came (the program was killed) stays "sent", and a log of lines without ids,
// as older versions wrote, reads as before.
TEST(AuditLog, aWritesAnswerJoinsItsSentLineAndAWriteWithoutOneStaysSent)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("audit.jsonl"));
    const QDateTime nine(QDate(2024, 5, 1), QTime(9, 0, 0));
    const auto at = [&nine](int seconds, const QString &answer, const QString &id) {
        AuditEntry entry = entryAt(nine.addSecs(seconds), answer);
        entry.id = id;
        return entry;
    };
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    for (const AuditEntry &entry :
         {at(0, QStringLiteral("taken"), {}), at(1, AuditAnswer::sent, QStringLiteral("a")),
          at(2, AuditAnswer::sent, QStringLiteral("b")),
          at(3, QStringLiteral("refused 3"), QStringLiteral("a")),
          at(4, AuditAnswer::noAnswer, {})})
        file.write(AuditLog::toJsonLine(entry) + '\n');
    file.close();

    const QList<AuditEntry> expected = {at(0, QStringLiteral("taken"), {}),
                                        at(1, QStringLiteral("refused 3"), QStringLiteral("a")),
                                        at(2, AuditAnswer::sent, QStringLiteral("b")),
                                        at(4, AuditAnswer::noAnswer, {})};
    EXPECT_EQ(AuditLog::readEntries(path, {}), expected);
    EXPECT_EQ(AuditLog::readEntries(path, nine.addSecs(2)), expected.mid(2));
    EXPECT_TRUE(
            AuditLog::readableLine(expected[2]).endsWith(QStringLiteral("  sent, answer unknown")));
}

TEST(AuditLog, theReadableLineNamesEveryPart)
{
    const QString line = AuditLog::readableLine(
            entryAt(QDateTime(QDate(2024, 5, 1), QTime(9, 0, 0)), QStringLiteral("taken")));
    EXPECT_EQ(
            line,
            QStringLiteral(
                    "2024-05-01 09:00:00  anna  COM3  17/4711  0x0055 Время пуска  4,5 → 5,0  taken"));
}

} // namespace

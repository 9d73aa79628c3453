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
            answer};
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

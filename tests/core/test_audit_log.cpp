#include "RecordingOperator.h"
#include "core/AuditChain.h"
#include "core/AuditLog.h"
#include "core/ExclusiveFileLock.h"
#include "core/HashChain.h"

#include <functional>
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

// Writes `count` entries to the log in `folder`, by two writers in turn
// (the window and mivctl on one log), and returns the file's lines.
QList<QByteArray> recordedLines(const QString &folder, int count, int firstItem = 1)
{
    AuditLog window(folder);
    AuditLog shell(folder);
    RecordingOperator op;
    for (int n = firstItem; n < firstItem + count; ++n) {
        AuditLog &log = n % 2 ? window : shell;
        const AuditWrite write{0x55, false, QStringLiteral("Уставка %1").arg(n),
                               QStringLiteral("%1,0").arg(n), QStringLiteral("%1,5").arg(n)};
        EXPECT_TRUE(log.record(17, 4711, write, AuditAnswer::taken, op));
    }
    QFile file(window.filePath());
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = file.readAll().split('\n');
    EXPECT_TRUE(lines.takeLast().isEmpty());
    return lines;
}

AuditChainCheck checkOf(const QString &path, const QByteArray &content)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
    file.close();
    return AuditChain::check(path).value_or(AuditChainCheck{});
}

// Each way of tampering with a log of five linked lines is named at the
// first line it touched; the untouched log shows its head.
TEST(AuditChain, theFirstLineChangedInsertedOrRemovedIsNamed)
{
    QTemporaryDir dir;
    const QList<QByteArray> lines = recordedLines(dir.path(), 5);
    ASSERT_EQ(lines.size(), 5);
    QTemporaryDir other;
    const QByteArray foreignFourth = recordedLines(other.path(), 4, 11).last();
    const QByteArray olderLine = AuditLog::toJsonLine(
            entryAt(QDateTime(QDate(2024, 5, 1), QTime(9, 0, 0)), AuditAnswer::taken));
    using Fault = AuditChainCheck::Fault;
    const struct
    {
        const char *name;
        std::function<QByteArray(QList<QByteArray>)> tamper;
        Fault fault;
        qint64 line;
    } cases[] = {
            {"untouched", [](auto l) { return l.join('\n') + '\n'; }, Fault::None, 0},
            {"a value changed",
             [](auto l) {
                 l[2].replace("\"3,5\"", "\"4,5\"");
                 return l.join('\n') + '\n';
             },
             Fault::Changed, 3},
            {"a link changed",
             [](auto l) {
                 l[4][l[4].size() - 3] = l[4][l[4].size() - 3] == '0' ? '1' : '0';
                 return l.join('\n') + '\n';
             },
             Fault::Changed, 5},
            {"a line removed from the middle",
             [](auto l) {
                 l.removeAt(2);
                 return l.join('\n') + '\n';
             },
             Fault::Removed, 3},
            {"the first line removed", [](auto l) { return l.mid(1).join('\n') + '\n'; },
             Fault::Removed, 1},
            {"an earlier line copied in",
             [](auto l) {
                 l.insert(3, l[1]);
                 return l.join('\n') + '\n';
             },
             Fault::Inserted, 4},
            {"a line of another log put in its place",
             [&](auto l) {
                 l.insert(3, foreignFourth);
                 return l.join('\n') + '\n';
             },
             Fault::Inserted, 4},
            {"two lines swapped",
             [](auto l) {
                 l.swapItemsAt(1, 2);
                 return l.join('\n') + '\n';
             },
             Fault::Swapped, 2},
            {"a line without a link after linked ones",
             [&](auto l) {
                 l.insert(2, olderLine);
                 return l.join('\n') + '\n';
             },
             Fault::Unlinked, 3},
            {"a half line put in",
             [](auto l) {
                 l.insert(2, l[2].left(40));
                 return l.join('\n') + '\n';
             },
             Fault::Inserted, 3},
            {"the last line cut",
             [](auto l) {
                 l[4].truncate(60);
                 return l.join('\n');
             },
             Fault::Cut, 5},
            {"blank lines and line ends of another system",
             [](auto l) { return l.join("\r\n\r\n") + "\r\n"; }, Fault::None, 0},
    };
    const QString path = dir.filePath(QStringLiteral("tampered.jsonl"));
    for (const auto &c : cases) {
        const AuditChainCheck check = checkOf(path, c.tamper(lines));
        EXPECT_EQ(check.fault, c.fault) << c.name;
        EXPECT_EQ(check.line, c.line) << c.name;
        if (c.fault == Fault::None) {
            EXPECT_EQ(check.head, lines.last().chopped(2).right(HashChain::linkSize)) << c.name;
        }
    }
    const QByteArray head = lines.last().chopped(2).right(HashChain::linkSize);
    EXPECT_EQ(AuditChain::reportText(checkOf(path, lines.join('\n') + '\n')),
              QStringLiteral("Цепочка журнала цела: строк в цепочке 5, прежних строк перед ней 0\n"
                             "Вершина цепочки: 5 ")
                      + QString::fromLatin1(head) + u'\n');
    const QString removed =
            AuditChain::reportText(checkOf(path, lines.mid(0, 2).join('\n') + '\n' + lines[3]));
    EXPECT_TRUE(removed.startsWith(QStringLiteral("Цепочка журнала нарушена: перед строкой 3 (")))
            << removed.toStdString();
    EXPECT_TRUE(removed.endsWith(
            QStringLiteral(", адрес 17, реле №4711, Уставка 4) удалено строк: 1\n")))
            << removed.toStdString();
}

// A log that older versions wrote is kept as it is: the chain begins at the
// first new line and holds the older lines too.
TEST(AuditChain, anOlderLogGoesOnWithAChainThatHoldsItsLines)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(AuditLog::fileName);
    const QByteArray older = AuditLog::toJsonLine(
            entryAt(QDateTime(QDate(2024, 5, 1), QTime(9, 0, 0)), AuditAnswer::taken));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(older + '\n' + older); // the last line's end never written
    file.close();
    const QList<QByteArray> lines = recordedLines(dir.path(), 2);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[1], older);

    const AuditChainCheck check = checkOf(path, lines.join('\n') + '\n');
    EXPECT_EQ(check.fault, AuditChainCheck::Fault::None);
    EXPECT_EQ(check.older, 2);
    EXPECT_EQ(check.linked, 2);
    EXPECT_EQ(AuditLog::readEntries(path, {})->size(), 4);

    QList<QByteArray> changed = lines;
    changed[0].replace("\"5,0\"", "\"5,5\"");
    const AuditChainCheck olderChanged = checkOf(path, changed.join('\n') + '\n');
    EXPECT_EQ(olderChanged.fault, AuditChainCheck::Fault::Changed);
    EXPECT_EQ(olderChanged.line, 3);
    EXPECT_TRUE(olderChanged.firstLinked);
}

// The power went while a line was written: the next write starts on a line
// of its own and takes the cut one into the chain, which stays whole.
TEST(AuditChain, aLineCutWhenWrittenIsTakenInByTheNextWrite)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(AuditLog::fileName);
    QList<QByteArray> lines = recordedLines(dir.path(), 3);
    lines[2].truncate(50);
    ASSERT_EQ(checkOf(path, lines.join('\n')).fault, AuditChainCheck::Fault::Cut);

    const QList<QByteArray> after = recordedLines(dir.path(), 2, 4);
    ASSERT_EQ(after.size(), 5);
    EXPECT_EQ(after[2], lines[2]);
    const AuditChainCheck check = AuditChain::check(path).value_or(AuditChainCheck{});
    EXPECT_EQ(check.fault, AuditChainCheck::Fault::None);
    EXPECT_EQ(check.cutLines, QList<qint64>{3});
    EXPECT_EQ(check.linked, 4);
    EXPECT_EQ(AuditLog::readEntries(path, {})->size(), 4);
}

// Two writers of one log take turns: the second gets the lock only once the
// first let it go.
TEST(AuditChain, writersOfOneLogTakeTurns)
{
    QTemporaryDir dir;
    QFile first(dir.filePath(AuditLog::fileName));
    QFile second(first.fileName());
    ASSERT_TRUE(first.open(QIODevice::ReadWrite | QIODevice::Append));
    ASSERT_TRUE(second.open(QIODevice::ReadWrite | QIODevice::Append));
    {
        const ExclusiveFileLock held(first, 0);
        ASSERT_TRUE(held.held());
        EXPECT_FALSE(ExclusiveFileLock(second, 0).held());
    }
    EXPECT_TRUE(ExclusiveFileLock(second, 0).held());
}

} // namespace

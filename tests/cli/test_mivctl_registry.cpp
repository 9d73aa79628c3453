// The relay register end to end through mivsim: reads recorded as found, an
// approval from a settings file, a write that leaves other settings than the
// approved ones, the check of the line, history and diff, and a register
// that cannot be used not holding a read up.
#include "support/MivctlOnSimulator.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

QString s(const char *text)
{
    return QString::fromUtf8(text);
}

class MivctlRegistry : public MivctlOnSimulator
{
protected:
    MivctlRegistry() : MivctlOnSimulator({s("--relays"), s("1:4,6:6")}) { }

    ProgramResult registry(const QStringList &arguments)
    {
        return mivctl(QStringList{s("--registry"), folder.filePath(s("registry.sqlite"))}
                      + arguments);
    }
    QString file(const char *name) const { return folder.filePath(s(name)); }

    // The factory number in the list's line of the relay at `address`.
    QString factoryAt(int address)
    {
        for (const QString &line : outputLines(registry({s("registry"), s("list")}).standardOutput))
            if (line.section(u'\t', 6, 6) == QString::number(address))
                return line.section(u'\t', 0, 0);
        return {};
    }
};

TEST_F(MivctlRegistry, approveWriteCheckHistoryAndDiff)
{
    ASSERT_EQ(
            registry({s("config"), s("read"), s("1"), s("--save"), file("approved.miv")}).exitCode,
            0);
    ASSERT_EQ(registry({s("config"), s("read"), s("6")}).exitCode, 0);
    const QString factory = factoryAt(1);
    ASSERT_FALSE(factory.isEmpty());
    ASSERT_FALSE(factoryAt(6).isEmpty());

    const ProgramResult approved = registry({s("registry"), s("approve"), factory, s("--file"),
                                             file("approved.miv"), s("--note"), s("пуск")});
    ASSERT_EQ(approved.exitCode, 0) << approved.standardError.toStdString();
    ASSERT_EQ(registry({s("registry"), s("tag"), factory, s("Насос Н-3")}).exitCode, 0);

    // Another value written: allowed, said, and recorded as left.
    QFile::copy(file("approved.miv"), file("changed.miv"));
    ASSERT_EQ(
            mivctl({s("settings"), s("set"), file("changed.miv"), s("--type"), s("4"), s("3=2.6")})
                    .exitCode,
            0);
    const ProgramResult written = registry({s("config"), s("write"), s("1"), s("--password"),
                                            s("ABCD"), s("--load"), file("changed.miv")});
    ASSERT_EQ(written.exitCode, 0) << written.standardError.toStdString();
    EXPECT_TRUE(
            written.standardError.contains(s("оставлено с уставками, отличными от утверждённых")))
            << written.standardError.toStdString();
    EXPECT_TRUE(written.standardError.contains(s("Кратность перегрузки: ")));

    const ProgramResult checked =
            registry({s("registry"), s("check"), s("--addresses"), s("1,6,9")});
    EXPECT_EQ(checked.exitCode, 4);
    const QStringList lines = outputLines(checked.standardOutput);
    ASSERT_EQ(lines.size(), 3) << checked.standardOutput.toStdString();
    EXPECT_TRUE(lines[0].startsWith(s("1\t") + factory
                                    + s("\tНасос Н-3\tотличается\t3\tКратность перегрузки\t")))
            << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith(s("\t2.6")));
    EXPECT_TRUE(lines[1].endsWith(s("\tне утверждено")));
    EXPECT_EQ(lines[2], s("9\t\t\tнет связи"));

    const QStringList history =
            outputLines(registry({s("registry"), s("history"), factory}).standardOutput);
    // as found, approved, as found before the write, as left, as found by the check
    ASSERT_EQ(history.size(), 5);
    EXPECT_EQ(history[1].section(u'\t', 2, 2), s("approved"));
    EXPECT_EQ(history[1].section(u'\t', 8, 8), s("пуск"));
    EXPECT_EQ(history[3].section(u'\t', 2, 2), s("as-left"));
    EXPECT_EQ(history[3].section(u'\t', 7, 7), s("differs"));
    EXPECT_TRUE(history[3].section(u'\t', 9).startsWith(s("Кратность перегрузки: ")));

    const ProgramResult diff =
            registry({s("registry"), s("diff"), factory, history[1].section(u'\t', 0, 0),
                      history[3].section(u'\t', 0, 0)});
    EXPECT_EQ(diff.exitCode, 4);
    EXPECT_EQ(outputLines(diff.standardOutput).size(), 1);
    EXPECT_TRUE(diff.standardOutput.startsWith(s("3\tКратность перегрузки\t")));

    // The visit's report: "-" is standard output where one output is asked,
    // and the changed row is marked.
    const ProgramResult report = registry({s("registry"), s("report"), factory, s("--from"),
                                           history[2].section(u'\t', 0, 0), s("--to"),
                                           history[3].section(u'\t', 0, 0), s("--csv"), s("-")});
    ASSERT_EQ(report.exitCode, 0) << report.standardError.toStdString();
    EXPECT_TRUE(report.standardOutput.contains(s("Протокол наладки реле")));
    EXPECT_TRUE(report.standardOutput.contains(s(";Кратность перегрузки;")));
    EXPECT_TRUE(report.standardOutput.contains(s("изменено, не как утверждено")));
    EXPECT_FALSE(QFile::exists(s("-")));
    // The report is of a visit: "after" before "before" is refused, naming the visits.
    const ProgramResult backwards = registry({s("registry"), s("report"), factory, s("--from"),
                                              history[3].section(u'\t', 0, 0), s("--to"),
                                              history[2].section(u'\t', 0, 0), s("--csv"), s("-")});
    EXPECT_EQ(backwards.exitCode, 2);
    EXPECT_TRUE(backwards.standardOutput.isEmpty());
    EXPECT_TRUE(backwards.standardError.contains(history[0].section(u'\t', 0, 0) + s(" → ")
                                                 + history[3].section(u'\t', 0, 0)))
            << backwards.standardError.toStdString();
    EXPECT_EQ(
            registry({s("registry"), s("report"), factory, s("--csv"), s("-"), s("--xls"), s("-")})
                    .exitCode,
            2);
}

// A type-6 relay's file timer is written after the rows: what the relay is
// left with is the read after the timer, not the one between.
TEST_F(MivctlRegistry, theTimerOfAFileIsPartOfWhatIsLeft)
{
    ASSERT_EQ(registry({s("config"), s("read"), s("6"), s("--save"), file("timer.miv")}).exitCode,
              0);
    ASSERT_EQ(mivctl({s("settings"), s("set"), file("timer.miv"), s("--type"), s("6"),
                      s("Метка1=05:15")})
                      .exitCode,
              0);
    ASSERT_EQ(registry({s("config"), s("write"), s("6"), s("--password"), s("ABCD"), s("--load"),
                        file("timer.miv")})
                      .exitCode,
              0);
    const QStringList history =
            outputLines(registry({s("registry"), s("history"), factoryAt(6)}).standardOutput);
    ASSERT_FALSE(history.isEmpty());
    EXPECT_EQ(history.last().section(u'\t', 2, 2), s("as-left")) << history.last().toStdString();
    EXPECT_TRUE(history.last().section(u'\t', 9).contains(s("→ 05:15")))
            << history.last().toStdString();
}

// The commands that only read open the register for reading: one not made
// yet lists empty and is not made; one that records makes it.
TEST_F(MivctlRegistry, onlyTheCommandsThatRecordWriteTheRegister)
{
    const ProgramResult listed = registry({s("registry"), s("list")});
    EXPECT_EQ(listed.exitCode, 0) << listed.standardError.toStdString();
    EXPECT_TRUE(listed.standardOutput.isEmpty());
    EXPECT_FALSE(QFile::exists(file("registry.sqlite")));
    registry({s("registry"), s("tag"), s("1001"), s("Насос")});
    EXPECT_TRUE(QFile::exists(file("registry.sqlite")));
}

// One rule for every registry command: wrong usage 2, a relay not on record 3
// with its number named; free text never breaks a tab-separated line.
TEST_F(MivctlRegistry, wrongUsageIsTwo_aRelayNotOnRecordIsThree_freeTextIsEscaped)
{
    ASSERT_EQ(registry({s("config"), s("read"), s("1")}).exitCode, 0);
    const QString factory = factoryAt(1);
    ASSERT_FALSE(factory.isEmpty());
    struct Case
    {
        QStringList arguments;
        int exitCode;
        const char *told;
    };
    const Case cases[] = {
            {{s("list"), s("abc")}, 2, "not a factory number: abc"},
            {{s("list"), s("4242")}, 3, "Реле №4242 нет в реестре"},
            {{s("history"), s("abc")}, 2, "not a factory number: abc"},
            {{s("history"), s("4242:6")}, 3, "Реле №4242:6 нет в реестре"},
            {{s("tag"), s("4242"), s("x")}, 3, "Реле №4242 нет в реестре"},
            {{s("journal"), s("4242")}, 3, "Реле №4242 нет в реестре"},
            {{s("report"), s("4242"), s("--csv"), s("-")}, 3, "Реле №4242 нет в реестре"},
            {{s("diff"), factory, s("x"), s("1")}, 2, "not a snapshot number: x"},
            {{s("diff"), factory, s("999"), s("1")}, 2, "нет записи настроек №999"},
            {{s("approve"), factory, s("--file"), file("missing.miv")}, 3, "файл не найден"},
    };
    for (const Case &c : cases) {
        const ProgramResult result = registry(QStringList{s("registry")} + c.arguments);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.arguments.join(u' ').toStdString();
        EXPECT_TRUE(result.standardError.contains(s(c.told))) << result.standardError.toStdString();
    }

    ASSERT_EQ(registry({s("registry"), s("tag"), factory, s("Насос\tН-3\nячейка 12")}).exitCode, 0);
    const QStringList listed =
            outputLines(registry({s("registry"), s("list"), factory}).standardOutput);
    ASSERT_EQ(listed.size(), 1);
    EXPECT_EQ(listed[0].split(u'\t').size(), 9) << listed[0].toStdString();
    EXPECT_EQ(listed[0].section(u'\t', 3, 3), s("Насос\\tН-3\\nячейка 12"));
    const QString first =
            outputLines(registry({s("registry"), s("history"), factory}).standardOutput)
                    .value(0)
                    .section(u'\t', 0, 0);
    ASSERT_EQ(registry({s("registry"), s("approve"), factory, s("--snapshot"), first, s("--note"),
                        s("ТО\n2026")})
                      .exitCode,
              0);
    const QStringList history =
            outputLines(registry({s("registry"), s("history"), factory}).standardOutput);
    ASSERT_EQ(history.size(), 2);
    EXPECT_EQ(history[1].section(u'\t', 8, 8), s("ТО\\n2026"));
}

TEST_F(MivctlRegistry, aRegisterThatCannotBeUsedDoesNotHoldTheReadUp)
{
    QFile junk(file("junk.sqlite"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(2048, 'j'));
    junk.close();
    const ProgramResult read =
            mivctl({s("--registry"), file("junk.sqlite"), s("config"), s("read"), s("1")});
    EXPECT_EQ(read.exitCode, 0);
    EXPECT_EQ(outputLines(read.standardOutput).size(), 34);
    EXPECT_TRUE(read.standardError.contains(s("Реестр реле не обновлён: ")))
            << read.standardError.toStdString();
    EXPECT_EQ(mivctl({s("--registry"), file("junk.sqlite"), s("registry"), s("list")}).exitCode, 3);
}

// Relay 1's journal grows by 50 events a second while the line runs: its
// ring of 100, full at the start, is written over from slot 0 on, so that
// the first reading finds it new in every slot with its writing place
// elsewhere, and the readings after it find it gone round twice and more.
class MivctlRegistryGrowingJournal : public MivctlOnSimulator
{
protected:
    MivctlRegistryGrowingJournal()
        : MivctlOnSimulator(
                {s("--relays"), s("1:4"), s("--journal"), s("100"), s("--journal-rate"), s("3000")})
    { }
};

// An archived line and a reading's row as one text: the relay's date, the
// event and the details.
QString eventOf(const QString &line)
{
    return line.section(u'\t', 1, 1) + u'\t' + line.section(u'\t', -2);
}

// Whether the archive ends with the ring read, from some slot on (the
// relay's writing place; slot 0 while the ring is not full).
bool endsWithTheRing(const QStringList &archive, const QStringList &reading)
{
    const qsizetype size = reading.size();
    if (archive.size() < size)
        return false;
    for (qsizetype place = 0; place < size; ++place) {
        qsizetype k = 0;
        while (k < size
               && eventOf(archive[archive.size() - size + k])
                       == eventOf(reading[(place + k) % size]))
            ++k;
        if (k == size)
            return true;
    }
    return false;
}

// Readings of a journal that grows while they run: after each, the archive
// ends with the ring read, in the relay's order; it is numbered from 1, and
// its relay dates never fall.
TEST_F(MivctlRegistryGrowingJournal, theArchiveFollowsTheRingRound)
{
    const QStringList registry{s("--registry"), folder.filePath(s("registry.sqlite"))};
    QStringList archive;
    for (int round = 0; round < 40 && archive.size() < 260; ++round) {
        const ProgramResult read = mivctl(registry + QStringList{s("journal"), s("1")});
        ASSERT_EQ(read.exitCode, 0) << read.standardError.toStdString();
        const QStringList reading = outputLines(read.standardOutput);
        archive = outputLines(mivctl(registry + QStringList{s("registry"), s("journal"), s("1001")})
                                      .standardOutput);
        ASSERT_TRUE(endsWithTheRing(archive, reading))
                << "reading " << round << ":\n"
                << reading.join(u'\n').toStdString() << "\narchived:\n"
                << archive.join(u'\n').toStdString();
    }
    ASSERT_GE(archive.size(), 260);
    QString before;
    for (int k = 0; k < archive.size(); ++k) {
        EXPECT_EQ(archive[k].section(u'\t', 0, 0), QString::number(k + 1));
        EXPECT_GE(archive[k].section(u'\t', 1, 1), before) << archive[k].toStdString();
        before = archive[k].section(u'\t', 1, 1);
    }
}

} // namespace

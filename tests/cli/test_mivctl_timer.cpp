// End to end: mivctl timer read and write against mivsim on a pseudo-terminal.
#include "support/MivctlOnSimulator.h"
#include "support/ProgramRun.h"
#include "support/QtPrinters.h"
#include "support/SimProcess.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QStringList schedule(const QStringList &marks, const QStringList &captions)
{
    QStringList list;
    for (int i = 0; i < 5; ++i)
        list << QStringLiteral("Метка%1\t").arg(i + 1) + marks[i];
    for (int i = 0; i < 6; ++i)
        list << QStringLiteral("Интервал%1\t").arg(i + 1) + captions[i];
    list << QStringLiteral("Таймер\t") + captions[6];
    return list;
}

class MivctlTimer : public MivctlOnSimulator
{
protected:
    MivctlTimer() : MivctlOnSimulator({QStringLiteral("--relays"), QStringLiteral("1:4,6:6")}) { }
};

const QString on = QStringLiteral("вкл.");
const QString off = QStringLiteral("откл.");

TEST_F(MivctlTimer, writeChangesWhatIsGivenAndReadsBack)
{
    const ProgramResult before = mivctl({"timer", "read", "6"});
    ASSERT_TRUE(before.finished);
    ASSERT_EQ(before.exitCode, 0) << before.standardError.toStdString();
    const QStringList read = outputLines(before.standardOutput);
    ASSERT_EQ(read.size(), 12);
    // The simulated relay's switch word is 0x0105.
    EXPECT_EQ(read.mid(5), schedule(QStringList(5, {}), {on, off, on, off, off, off, on}).mid(5));

    const ProgramResult written =
            mivctl({"timer", "write", "6", "--password", "ABCD", "--marks", "7:30,,23:59",
                    "--intervals", ",on,,on", "--timer", "off"});
    ASSERT_TRUE(written.finished);
    EXPECT_EQ(written.exitCode, 0) << written.standardError.toStdString();
    QStringList marks;
    for (int i = 0; i < 5; ++i)
        marks << read[i].section(u'\t', 1);
    marks[0] = QStringLiteral("07:30");
    marks[2] = QStringLiteral("23:59");
    const QStringList expected = schedule(marks, {on, on, on, on, off, off, off});
    EXPECT_EQ(outputLines(written.standardOutput), expected);

    const ProgramResult after = mivctl({"timer", "read", "6"});
    ASSERT_TRUE(after.finished);
    EXPECT_EQ(after.exitCode, 0);
    EXPECT_EQ(outputLines(after.standardOutput), expected);
}

TEST_F(MivctlTimer, refusals)
{
    const ProgramResult typeFour = mivctl({"timer", "read", "1"});
    ASSERT_TRUE(typeFour.finished);
    EXPECT_EQ(typeFour.exitCode, 3);
    EXPECT_TRUE(typeFour.standardOutput.isEmpty());
    EXPECT_FALSE(typeFour.standardError.isEmpty());

    const ProgramResult wrong =
            mivctl({"timer", "write", "6", "--password", "ABCE", "--timer", "off"});
    ASSERT_TRUE(wrong.finished);
    EXPECT_EQ(wrong.exitCode, 3);
    EXPECT_TRUE(wrong.standardError.contains(QStringLiteral("Ошибка ввода пароля!")));

    const ProgramResult badMark =
            mivctl({"timer", "write", "6", "--password", "ABCD", "--marks", "24:00"});
    ASSERT_TRUE(badMark.finished);
    EXPECT_EQ(badMark.exitCode, 3);

    const ProgramResult noPassword = mivctl({"timer", "write", "6", "--timer", "off"});
    ASSERT_TRUE(noPassword.finished);
    EXPECT_EQ(noPassword.exitCode, 2);

    // Nothing of the refused writes reached the relay.
    const ProgramResult after = mivctl({"timer", "read", "6"});
    ASSERT_TRUE(after.finished);
    EXPECT_TRUE(outputLines(after.standardOutput).endsWith(QStringLiteral("Таймер\tвкл.")));
}

} // namespace

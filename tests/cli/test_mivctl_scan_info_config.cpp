// End to end: mivctl against mivsim on a pseudo-terminal, with the same
// texts as the window shows.
#include "support/MivctlOnSimulator.h"
#include "support/ProgramRun.h"
#include "support/QtPrinters.h"
#include "support/SimProcess.h"

#include "link/IniFile.h"

#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class MivctlScanInfoConfig : public MivctlOnSimulator
{
protected:
    MivctlScanInfoConfig()
        : MivctlOnSimulator({QStringLiteral("--relays"), QStringLiteral("1:4,6:6,17:4"),
                             QStringLiteral("--baud"), QStringLiteral("9600")})
    { }
};

TEST_F(MivctlScanInfoConfig, scanListsThirtyTwoLines)
{
    const ProgramResult result = mivctl({QStringLiteral("scan")});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    QStringList expected;
    for (int address = 1; address <= 32; ++address)
        expected << (address == 1 || address == 6 || address == 17
                             ? QStringLiteral("Устройство №%1 в сети").arg(address)
                             : QStringLiteral("Связи с устройством №%1 нет").arg(address));
    EXPECT_EQ(outputLines(result.standardOutput), expected);
}

TEST_F(MivctlScanInfoConfig, infoPrintsTheMemo)
{
    const ProgramResult result = mivctl({QStringLiteral("info"), QStringLiteral("17")});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    const QStringList expected{
            QStringLiteral("Устройство: МИВ-04    "),
            QStringLiteral("Заводской №1017, Версия ПО v3 от 15.6.2010"),
            QStringLiteral("Сетевой адрес устройства 17"),
            QStringLiteral("Параметры интерфейса:"),
            QStringLiteral("Скорость 9600 бит/с"),
            QStringLiteral("Без бита паритета"),
            QStringLiteral("8 бит данных"),
            QStringLiteral("1 стоп-бит"),
    };
    EXPECT_EQ(outputLines(result.standardOutput), expected);
}

TEST_F(MivctlScanInfoConfig, infoOfAnAddressWithoutRelayIsALinkFailure)
{
    const ProgramResult result = mivctl({QStringLiteral("info"), QStringLiteral("5")});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.standardOutput.isEmpty());
    EXPECT_TRUE(result.standardError.contains(QStringLiteral("Связи с устройством №5 нет")))
            << result.standardError.toStdString();
}

TEST_F(MivctlScanInfoConfig, configReadPrintsTheGridOfATypeSixRelay)
{
    const ProgramResult result =
            mivctl({QStringLiteral("config"), QStringLiteral("read"), QStringLiteral("6")});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    const QStringList rows = outputLines(result.standardOutput);
    ASSERT_EQ(rows.size(), 34);
    EXPECT_EQ(rows[0], QStringLiteral("0\tКоэффициент трансформации\t10"));
    EXPECT_TRUE(
            rows[21].startsWith(QStringLiteral("21\tВремя включения реле КЗ, с\t[фукнк. откл.]")));
    EXPECT_EQ(rows[31], QStringLiteral("31\tАлгоритм накачки/выкачки резервуара\tвкл."));
    EXPECT_EQ(rows[32], QStringLiteral("32\tОбнуление моторесурса\t1234 ч. 5 мин."));
    EXPECT_EQ(rows[33], QStringLiteral("33\tПароль\t"));
}

// interface: a speed the word cannot say is refused before anything is
// written; 19200 is written keeping the relay's 8 data bits, and the word is
// printed before and after.
TEST_F(MivctlScanInfoConfig, interfaceWritesTheWordKeepingTheRelaysOwnBits)
{
    const auto interface = [this](const char *baud) {
        return mivctl({QStringLiteral("interface"), QStringLiteral("17"), QStringLiteral("--baud"),
                       QString::fromLatin1(baud)});
    };
    const ProgramResult refused = interface("115200");
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(refused.standardError.contains(QStringLiteral("скорость 115200 бит/с")))
            << refused.standardError.toStdString();
    const ProgramResult changed = interface("19200");
    EXPECT_EQ(changed.exitCode, 0) << changed.standardError.toStdString();
    EXPECT_EQ(outputLines(changed.standardOutput),
              QStringList({QStringLiteral("before\t0x2844\tСкорость 9600 бит/с\tБез бита "
                                          "паритета\t8 бит данных\t1 стоп-бит"),
                           QStringLiteral("after\t0x2848\tСкорость 19200 бит/с\tБез бита "
                                          "паритета\t8 бит данных\t1 стоп-бит")}));
    EXPECT_TRUE(changed.standardError.contains(QStringLiteral("19200 бит/с")));
}

TEST_F(MivctlScanInfoConfig, wrongUsage)
{
    for (const QStringList &arguments :
         {QStringList{QStringLiteral("info")},
          QStringList{QStringLiteral("info"), QStringLiteral("0")},
          QStringList{QStringLiteral("scan"), QStringLiteral("x")},
          QStringList{QStringLiteral("config"), QStringLiteral("read")},
          QStringList{QStringLiteral("journal")},
          QStringList{QStringLiteral("journal"), QStringLiteral("1"), QStringLiteral("--pdf"),
                      QStringLiteral("x")},
          QStringList{QStringLiteral("journal"), QStringLiteral("1"), QStringLiteral("--csv")},
          QStringList{QStringLiteral("interface"), QStringLiteral("17"),
                      QStringLiteral("--data-bits"), QStringLiteral("7")},
          QStringList{QStringLiteral("interface"), QStringLiteral("17"), QStringLiteral("--parity"),
                      QStringLiteral("often")}}) {
        const ProgramResult result = mivctl(arguments);
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 2) << arguments.join(u' ').toStdString();
    }
}

TEST_F(MivctlScanInfoConfig, journalPrintsTheRowsAndWritesTheReportAndCsv)
{
    const QString xls = folder.filePath(QStringLiteral("journal.xls"));
    const QString csv = folder.filePath(QStringLiteral("journal.csv"));
    const ProgramResult result =
            mivctl({QStringLiteral("journal"), QStringLiteral("6"), QStringLiteral("--xls"), xls,
                    QStringLiteral("--csv"), csv});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    const QStringList rows = outputLines(result.standardOutput);
    ASSERT_EQ(rows.size(), 37); // the simulator's default journal
    for (int n = 1; n <= 37; ++n) {
        const QStringList fields = rows[n - 1].split(u'\t');
        ASSERT_EQ(fields.size(), 4) << rows[n - 1].toStdString();
        EXPECT_EQ(fields[0], QString::number(n));
        EXPECT_TRUE(fields[1].startsWith(QStringLiteral("20"))) << fields[1].toStdString();
        EXPECT_FALSE(fields[2].isEmpty());
    }

    QFile workbook(xls);
    ASSERT_TRUE(workbook.open(QIODevice::ReadOnly));
    EXPECT_TRUE(workbook.readAll().startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"));
    QFile table(csv);
    ASSERT_TRUE(table.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = table.readAll().split('\n');
    ASSERT_EQ(lines.size(), 1 + 37 + 1); // the header, the rows, nothing after the last CR LF
    EXPECT_EQ(lines[0],
              QByteArray("\xEF\xBB\xBF")
                      + QStringLiteral("Номер,Дата события,Событие,Информация\r").toUtf8());
    EXPECT_TRUE(lines[1].startsWith("1,20"));
}

TEST_F(MivctlScanInfoConfig, configSheetWritesTheRelaysSheetInEveryFormat)
{
    const QString xls = folder.filePath(QStringLiteral("sheet.xls"));
    const QString pdf = folder.filePath(QStringLiteral("sheet.pdf"));
    const QString csv = folder.filePath(QStringLiteral("sheet.csv"));
    // Two outputs naming one file: refused before the relay is asked.
    const ProgramResult twice =
            mivctl({QStringLiteral("config"), QStringLiteral("sheet"), QStringLiteral("6"),
                    QStringLiteral("--xls"), xls, QStringLiteral("--csv"),
                    folder.filePath("x/../sheet.xls")});
    EXPECT_EQ(twice.exitCode, 2) << twice.standardError.toStdString();

    // The PDF needs the graphics library, which mivctl starts for it alone.
    const ProgramResult result =
            mivctl({QStringLiteral("config"), QStringLiteral("sheet"), QStringLiteral("6"),
                    QStringLiteral("--xls"), xls, QStringLiteral("--pdf"), pdf,
                    QStringLiteral("--csv"), csv});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    // Nothing on stderr: no warning of the graphics library about its runtime folder.
    EXPECT_EQ(result.standardError, QString());
    const ProgramResult text = runProgram(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    EXPECT_TRUE(text.standardOutput.contains(QStringLiteral("Заводской №: 1006")))
            << text.standardOutput.toStdString();
    EXPECT_TRUE(text.standardOutput.contains(QStringLiteral("Порт: ") + sim.portPath()));
    QFile workbook(xls);
    ASSERT_TRUE(workbook.open(QIODevice::ReadOnly));
    EXPECT_TRUE(workbook.readAll().startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"));
    QFile table(csv);
    ASSERT_TRUE(table.open(QIODevice::ReadOnly));
    EXPECT_TRUE(table.readAll().contains(QStringLiteral("\r\nАдрес;6\r\n").toUtf8()));
}

// The commands and the refresh after them, as a shell script would use them.
TEST_F(MivctlScanInfoConfig, commandsAndLiveValues)
{
    const auto line = [](const ProgramResult &result, const QString &caption) {
        for (const QString &text : outputLines(result.standardOutput))
            if (text.startsWith(caption + u'\t'))
                return text.section(u'\t', 1);
        return QString();
    };
    struct Case
    {
        QStringList arguments;
        int exitCode;
        const char *caption; // a line of the refresh after it, empty: none checked
        const char *value;
        const char *error; // on stderr
    };
    const Case cases[] = {
            {{"command", "6", "start"}, 0, "Реле: Работа", "on", ""},
            {{"command", "6", "output", "alarm", "on"},
             3,
             "",
             "",
             "Есть токи! Отключите двигатель!"},
            {{"command", "6", "stop"}, 0, "Реле: Работа", "off", ""},
            {{"command", "6", "output", "alarm", "on"}, 0, "Реле: Авария", "on", ""},
            {{"--yes", "command", "6", "ack"}, 0, "Реле: Авария", "off", ""},
            {{"command", "6", "clock-set", "31.12.2026 23:59:00"}, 0, "Дата", "31.12.2026", ""},
            {{"command", "6", "serial", "70000"}, 3, "", "", ""},
            {{"live", "6"}, 0, "Напряжение A", nullptr, ""},
    };
    for (const Case &c : cases) {
        QStringList arguments;
        for (const QString &argument : c.arguments)
            arguments << argument;
        const ProgramResult result = mivctl(arguments);
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.standardError.toStdString();
        const QString shown = line(result, QString::fromUtf8(c.caption));
        if (*c.caption && c.value) {
            EXPECT_EQ(shown, QString::fromUtf8(c.value));
        } else if (*c.caption) {
            EXPECT_TRUE(shown.endsWith(QStringLiteral(" В"))) << shown.toStdString();
        }
        EXPECT_TRUE(result.standardError.contains(QString::fromUtf8(c.error)))
                << result.standardError.toStdString();
    }
}

// The line at a glance: the scan first, or the addresses given; a relay that
// does not answer reads "нет связи"; --csv has a header and quotes the alarms.
TEST_F(MivctlScanInfoConfig, overviewPrintsOneLinePerRelay)
{
    const ProgramResult scanned = mivctl({QStringLiteral("overview")});
    ASSERT_TRUE(scanned.finished);
    EXPECT_EQ(scanned.exitCode, 0) << scanned.standardError.toStdString();
    const QStringList lines = outputLines(scanned.standardOutput);
    ASSERT_EQ(lines.size(), 3);
    const QStringList first = lines[0].split(u'\t');
    ASSERT_EQ(first.size(), 10);
    EXPECT_EQ(first.mid(0, 3), (QStringList{"1", "МИВ-04", "1001"}));
    EXPECT_TRUE(first[9].endsWith(QStringLiteral(" с"))) << first[9].toStdString();
    EXPECT_TRUE(first[4].endsWith(QStringLiteral(" А")) && !first[4].startsWith(u' '))
            << first[4].toStdString();
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("6\tМИВ-06\t1006\t")));

    const ProgramResult csv = mivctl({QStringLiteral("overview"), QStringLiteral("--addresses"),
                                      QStringLiteral("2,17"), QStringLiteral("--csv")});
    ASSERT_TRUE(csv.finished);
    EXPECT_EQ(csv.exitCode, 0) << csv.standardError.toStdString();
    const QStringList rows = outputLines(csv.standardOutput);
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0], QStringLiteral("ADDR,NAME,FACTORY,STATE,IA,IB,IC,TEMPERATURE,ALARMS,CLOCK"));
    EXPECT_EQ(rows[1], QStringLiteral("2,,,нет связи,,,,,,"));
    EXPECT_TRUE(rows[2].startsWith(QStringLiteral("17,МИВ-04,1017,"))) << rows[2].toStdString();
}

// Two relays at address 1, the second answering 20 ms after the first:
// relay 1 answers more often than it is asked, relay 6 is clean.
class MivctlLineStats : public MivctlOnSimulator
{
protected:
    MivctlLineStats()
        : MivctlOnSimulator({QStringLiteral("--relays"), QStringLiteral("1:4,6:6"),
                             QStringLiteral("--duplicate"), QStringLiteral("1:20")})
    { }
};

TEST_F(MivctlLineStats, aSecondRelayAtOneAddressGivesItsHintAndExit4)
{
    const ProgramResult result =
            mivctl({QStringLiteral("line"), QStringLiteral("stats"), QStringLiteral("--seconds"),
                    QStringLiteral("1"), QStringLiteral("--addresses"), QStringLiteral("1,6")});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 4) << result.standardError.toStdString();
    const QStringList lines = outputLines(result.standardOutput);
    ASSERT_EQ(lines.size(), 3) << result.standardOutput.toStdString();
    EXPECT_EQ(lines[0],
              QStringLiteral("ADDR\tREQUESTS\tANSWERS\tNO_ANSWER\tCRC_ERRORS\tOTHER_ADDRESS\tLATE\t"
                             "NOISE_BYTES\tRETRIES\tEXCEPTIONS\tMEDIAN_MS\tP95_MS\tMAX_MS\tHINTS"));
    const QStringList one = lines[1].split(u'\t');
    const QStringList six = lines[2].split(u'\t');
    ASSERT_EQ(one.size(), 14);
    ASSERT_EQ(six.size(), 14);
    EXPECT_EQ(one[0], QStringLiteral("1"));
    EXPECT_GE(one[5].toInt(), 3) << "replies from another address";
    EXPECT_EQ(one[13], QStringLiteral("ответы от другого адреса: два реле с одним адресом?"));
    EXPECT_EQ(six[0], QStringLiteral("6"));
    EXPECT_EQ(six[2], six[1]) << "every request answered";
    EXPECT_EQ(six[13], QString()) << lines[2].toStdString();
}

// clock sync: a relay within the bound is kept, a silent one has no link (exit 1).
TEST_F(MivctlScanInfoConfig, clockSyncTellsEachRelay)
{
    const ProgramResult result =
            mivctl({QStringLiteral("clock"), QStringLiteral("sync"), QStringLiteral("--addresses"),
                    QStringLiteral("1,2"), QStringLiteral("--max-offset"), QStringLiteral("3600")});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1) << result.standardError.toStdString();
    const QStringList lines = outputLines(result.standardOutput);
    ASSERT_EQ(lines.size(), 2) << result.standardOutput.toStdString();
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("1\tkept\t"))) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("2\tno link\t"))) << lines[1].toStdString();
}

} // namespace

namespace {

// config diff: a file saved from the relay is equal (exit 0, nothing
// printed); a changed row and a refused value are printed (exit 4).
TEST_F(MivctlScanInfoConfig, configDiffPrintsTheRowsThatDifferAndExitsFour)
{
    const QString path = folder.filePath(QStringLiteral("relay.miv"));
    const ProgramResult read = mivctl({QStringLiteral("config"), QStringLiteral("read"),
                                       QStringLiteral("1"), QStringLiteral("--save"), path});
    ASSERT_EQ(read.exitCode, 0) << read.standardError.toStdString();
    const QStringList row5 = outputLines(read.standardOutput).value(5).split(u'\t');
    ASSERT_EQ(row5.size(), 3);

    const ProgramResult equal =
            mivctl({QStringLiteral("config"), QStringLiteral("diff"), QStringLiteral("1"), path});
    EXPECT_EQ(equal.exitCode, 0) << equal.standardError.toStdString();
    EXPECT_TRUE(equal.standardOutput.isEmpty()) << equal.standardOutput.toStdString();

    miv::IniFile file(path);
    ASSERT_TRUE(file.load());
    const QString changed =
            row5[2] == QStringLiteral("45") ? QStringLiteral("44") : QStringLiteral("45");
    file.setValue(QStringLiteral("Параметры"), row5[1], changed);
    file.setValue(QStringLiteral("Параметры"),
                  outputLines(read.standardOutput).value(6).split(u'\t').value(1),
                  QStringLiteral("x"));
    ASSERT_TRUE(file.save());
    const ProgramResult different =
            mivctl({QStringLiteral("config"), QStringLiteral("diff"), QStringLiteral("1"), path});
    EXPECT_EQ(different.exitCode, 4) << different.standardError.toStdString();
    const QStringList lines = outputLines(different.standardOutput);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], QStringList({QStringLiteral("5"), row5[1], row5[2], changed}).join(u'\t'));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("6\t")));
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("(не принимается: x)")));
}

// audit: the password change left two lines, without the password.
TEST_F(MivctlScanInfoConfig, auditPrintsTheWritesOfThePasswordChange)
{
    const QString since = QDateTime::currentDateTime().addSecs(-1).toString(Qt::ISODate);
    const ProgramResult change =
            mivctl({QStringLiteral("password"), QStringLiteral("6"), QStringLiteral("--old"),
                    QStringLiteral("ABCD"), QStringLiteral("--new"), QStringLiteral("QRST")});
    ASSERT_EQ(change.exitCode, 0) << change.standardError.toStdString();
    const ProgramResult audit = mivctl({QStringLiteral("audit"), QStringLiteral("--since"), since});
    EXPECT_EQ(audit.exitCode, 0) << audit.standardError.toStdString();
    // Other tests of this program may have written in the same second.
    const QStringList lines = outputLines(audit.standardOutput).filter(QStringLiteral("пароль"));
    ASSERT_EQ(lines.size(), 2) << audit.standardOutput.toStdString();
    EXPECT_TRUE(lines[0].contains(QStringLiteral("6/1006  0x0042 пароль  -  taken")))
            << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains(QStringLiteral("0x0043 пароль  -  taken")))
            << lines[1].toStdString();
    EXPECT_FALSE(audit.standardOutput.contains(QStringLiteral("QRST")));
    // Put the relay's password back for the tests after this one.
    mivctl({QStringLiteral("password"), QStringLiteral("6"), QStringLiteral("--old"),
            QStringLiteral("QRST"), QStringLiteral("--new"), QStringLiteral("ABCD")});
}

// The simulator ends while mivctl reads the journal: the adapter pulled out.
// mivctl opens the line under a name of this test's own, which goes with the
// simulator, as /dev/serial/by-id names go with their adapter: reopened under
// its /dev/pts name, mivctl could open the pseudo-terminal that another test
// running at the same time was just given under that freed number, lock it
// and talk into that test's line.
TEST(MivctlAdapterPulled, journalReadingEndsWithTheMessageAndStatusOne)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString line = folder.filePath(QStringLiteral("line"));
    SimProcess sim({QStringLiteral("--relays"), QStringLiteral("1:4"),
                    QStringLiteral("--latency-ms"), QStringLiteral("100"), QStringLiteral("--link"),
                    line});
    ASSERT_TRUE(sim.isRunning()) << sim.errorText().toStdString();
    QProcess mivctl;
    mivctl.setWorkingDirectory(folder.path());
    mivctl.start(qEnvironmentVariable("MIV_BIN_DIR") + QStringLiteral("/mivctl"),
                 {QStringLiteral("--port"), line, QStringLiteral("journal"), QStringLiteral("1")});
    ASSERT_TRUE(mivctl.waitForStarted());
    // The journal's 37 entries take the simulator some 4 s; whenever the end
    // comes, it must be told once.
    QThread::msleep(800);
    sim.stop();
    ASSERT_TRUE(mivctl.waitForFinished(30000));
    EXPECT_EQ(mivctl.exitCode(), 1);
    const QString errors = QString::fromUtf8(mivctl.readAllStandardError());
    EXPECT_EQ(errors.count(QStringLiteral("Связь с портом потеряна")), 1) << errors.toStdString();
    EXPECT_TRUE(errors.contains(QStringLiteral("повторите команду"))) << errors.toStdString();
}

} // namespace

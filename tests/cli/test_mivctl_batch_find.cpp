// End to end through mivsim on a pseudo-terminal: one settings file for
// several relays, the settings of several relays saved at once, and the
// search for a relay whose line settings were forgotten.
#include "cli/Commands.h"
#include "device/LineSearch.h"
#include "link/FrontIni.h"
#include "support/MivctlOnSimulator.h"
#include "support/ProgramRun.h"
#include "support/QtPrinters.h"
#include "support/SimProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTextStream>
#include <csignal>
#include <gtest/gtest.h>

using namespace miv::cli;

using namespace miv;

namespace {

QString s(const char *text)
{
    return QString::fromUtf8(text);
}

class MivctlBatch : public MivctlOnSimulator
{
protected:
    MivctlBatch() : MivctlOnSimulator({s("--relays"), s("1:4,6:6,17:4"), s("--log"), logPath()}) { }

    static QString logPath()
    {
        static const QString path = QDir::temp().filePath(
                QStringLiteral("mivctl-batch-%1.jsonl").arg(QCoreApplication::applicationPid()));
        return path;
    }
    void TearDown() override { QFile::remove(logPath()); }

    QString file(const char *name) const { return folder.filePath(s(name)); }

    static QList<QJsonObject> logLines()
    {
        QFile log(logPath());
        EXPECT_TRUE(log.open(QIODevice::ReadOnly));
        QList<QJsonObject> lines;
        for (const QByteArray &line : log.readAll().split('\n'))
            if (!line.isEmpty())
                lines << QJsonDocument::fromJson(line).object();
        return lines;
    }
};

TEST_F(MivctlBatch, savesSeveralRelaysThenWritesOneFileToThemAndRefusesTheOneWithAnotherPassword)
{
    const ProgramResult read =
            mivctl({s("config"), s("read"), s("1,5-6,17"), s("--save-dir"), file("saved")});
    ASSERT_TRUE(read.finished);
    EXPECT_EQ(read.exitCode, 1) << "address 5 has no relay";
    const QString dir = file("saved");
    EXPECT_EQ(outputLines(read.standardOutput),
              (QStringList{s("1\tsaved\t") + dir + s("/relay-1.miv"), s("5\tno link\tno answer"),
                           s("6\tsaved\t") + dir + s("/relay-6.miv"),
                           s("17\tsaved\t") + dir + s("/relay-17.miv")}));
    EXPECT_FALSE(QFile::exists(dir + s("/relay-5.miv")));

    // Relay 1's settings with another asymmetry range, as an editor would change them.
    QFile in(dir + s("/relay-1.miv"));
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    QString text = QStringDecoder("windows-1251").decode(in.readAll());
    const QRegularExpression asymmetry(s("(?m)^Диапазон асимметрии токов, %=.*$"));
    ASSERT_TRUE(text.contains(asymmetry));
    text.replace(asymmetry, s("Диапазон асимметрии токов, %=40"));
    QFile out(file("edited.miv"));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(QStringEncoder("windows-1251").encode(text));
    out.close();

    const ProgramResult password =
            mivctl({s("password"), s("6"), s("--old"), s("ABCD"), s("--new"), s("WXYZ")});
    ASSERT_EQ(password.exitCode, 0) << password.standardError.toStdString();
    const qsizetype logBefore = logLines().size();

    const ProgramResult write = mivctl({s("config"), s("write"), s("1,5-6,17"), s("--password"),
                                        s("ABCD"), s("--load"), file("edited.miv")});
    ASSERT_TRUE(write.finished);
    EXPECT_EQ(write.exitCode, 1) << write.standardError.toStdString();
    const QStringList summary = outputLines(write.standardOutput);
    ASSERT_EQ(summary.size(), 4) << write.standardOutput.toStdString();
    EXPECT_TRUE(summary[0].startsWith(s("1\twritten\t"))) << summary[0].toStdString();
    EXPECT_EQ(summary[1], s("5\tno link\tno answer"));
    EXPECT_EQ(summary[2], s("6\trefused\twrong password"));
    EXPECT_TRUE(summary[3].startsWith(s("17\twritten\t"))) << summary[3].toStdString();
    EXPECT_TRUE(write.standardError.contains(s("Ошибка ввода пароля!")));

    // Nothing was sent to relay 6; relays 1 and 17 got their writes.
    QMap<int, int> writes;
    const QList<QJsonObject> log = logLines();
    for (qsizetype i = logBefore; i < log.size(); ++i) {
        const int function = log[i].value(s("function")).toInt();
        if (function == 6 || function == 16)
            ++writes[log[i].value(s("address")).toInt()];
    }
    EXPECT_EQ(writes.value(6), 0);
    EXPECT_GT(writes.value(1), 0);
    EXPECT_GT(writes.value(17), 0);

    for (const char *address : {"1", "17", "6"}) {
        const ProgramResult check = mivctl({s("config"), s("read"), s(address)});
        ASSERT_EQ(check.exitCode, 0) << check.standardError.toStdString();
        EXPECT_EQ(outputLines(check.standardOutput).value(5),
                  s(address) == s("6") ? s("5\tДиапазон асимметрии токов, %\t30")
                                       : s("5\tДиапазон асимметрии токов, %\t40"))
                << address;
    }
}

TEST_F(MivctlBatch, severalAddressesToReadNeedAFolder)
{
    const ProgramResult result = mivctl({s("config"), s("read"), s("1,6")});
    EXPECT_EQ(result.exitCode, 2);
    const ProgramResult bad = mivctl(
            {s("config"), s("write"), s("1-"), s("--password"), s("ABCD"), s("--load"), s("x")});
    EXPECT_EQ(bad.exitCode, 2);
}

// Relay 3 answers only at 19200 bit/s with 2 stop bits (interface word 0x4848).
class MivctlFind : public MivctlOnSimulator
{
protected:
    MivctlFind()
        : MivctlOnSimulator(
                {s("--relays"), s("3:4"), s("--interface"), s("3:4848"), s("--strict-line")})
    { }
};

TEST_F(MivctlFind, findsTheRelayAtItsOwnSpeedAndStopBits)
{
    // At the usual settings the relay is not heard.
    const ProgramResult info =
            mivctl({s("--baud"), s("9600"), s("--stop-bits"), s("1"), s("info"), s("3")});
    EXPECT_EQ(info.exitCode, 1);

    const ProgramResult found = mivctl({s("--baud"), s("9600"), s("--scan-wait"), s("60"),
                                        s("find"), s("--addresses"), s("1-4")});
    ASSERT_TRUE(found.finished);
    EXPECT_EQ(found.exitCode, 0) << found.standardError.toStdString();
    EXPECT_EQ(outputLines(found.standardOutput), QStringList{s("3\t19200\tNone\t2")});
    EXPECT_TRUE(
            found.standardError.contains(s("Устройство №3 отвечает при настройках: 19200 бит/с")))
            << found.standardError.toStdString();

    // At the settings found the relay answers.
    const ProgramResult again =
            mivctl({s("--baud"), s("19200"), s("--stop-bits"), s("2"), s("info"), s("3")});
    EXPECT_EQ(again.exitCode, 0) << again.standardError.toStdString();
}

TEST_F(MivctlFind, withYesTheSettingsAreStoredInFrontIniKeepingItsPortName)
{
    const QString ini = folder.filePath(s("front.ini"));
    PortSettings before;
    before.portName = s("ttyUSB7");
    before.baudRate = s("9600");
    ASSERT_TRUE(miv::storePortSettings(ini, before));

    QString outText;
    QString errText;
    QTextStream out(&outText);
    QTextStream err(&errText);
    const int status = runCommandLine({s("--port"), sim.portPath(), s("--scan-wait"), s("60"),
                                       s("--yes"), s("find"), s("--addresses"), s("2-3")},
                                      ini, out, err);
    EXPECT_EQ(status, 0) << errText.toStdString();
    EXPECT_EQ(outputLines(outText), (QStringList{s("3\t19200\tNone\t2"), s("stored\t") + ini}));
    PortSettings after;
    ASSERT_TRUE(miv::loadPortSettings(ini, after));
    EXPECT_EQ(after.portName, s("ttyUSB7"));
    EXPECT_EQ(after.baudRate, s("19200"));
    EXPECT_EQ(after.parity, s("None"));
    EXPECT_EQ(after.stopBits, s("2"));
}

// Ctrl+C stops the search after the exchange under way: nothing is found or
// stored (--yes would store what was found), stderr says so, exit 130.
TEST_F(MivctlFind, ctrlCStopsTheSearchAndStoresNothing)
{
    QFile ini(programPath(s("front.ini"))); // beside mivctl, where it stores
    const bool iniBefore = ini.open(QIODevice::ReadOnly);
    const QByteArray iniBytes = iniBefore ? ini.readAll() : QByteArray();
    ini.close();
    QProcess mivctl;
    mivctl.setWorkingDirectory(folder.path());
    mivctl.setReadChannel(QProcess::StandardError);
    mivctl.start(programPath(s("mivctl")),
                 {s("--port"), sim.portPath(), s("--scan-wait"), s("60"), s("--yes"), s("find"),
                  s("--addresses"), s("4-32")});
    QByteArray errors;
    while (!errors.contains("1/24") && mivctl.waitForReadyRead(10000))
        errors += mivctl.readAllStandardError();
    ASSERT_TRUE(errors.contains("1/24")) << errors.toStdString();
    ASSERT_EQ(::kill(pid_t(mivctl.processId()), SIGINT), 0);
    ASSERT_TRUE(mivctl.waitForFinished(30000));
    errors += mivctl.readAllStandardError();
    EXPECT_EQ(mivctl.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(mivctl.exitCode(), ExitStatus::Interrupted) << errors.toStdString();
    EXPECT_TRUE(QString::fromUtf8(errors).contains(searchCancelledText)) << errors.toStdString();
    EXPECT_TRUE(mivctl.readAllStandardOutput().isEmpty());
    ASSERT_EQ(ini.open(QIODevice::ReadOnly), iniBefore);
    EXPECT_EQ(iniBefore ? ini.readAll() : QByteArray(), iniBytes);
}

TEST_F(MivctlFind, anEmptyRangeOfAddressesFindsNothing)
{
    const ProgramResult result =
            mivctl({s("--scan-wait"), s("20"), s("find"), s("--addresses"), s("4-5")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.standardOutput.isEmpty());
    EXPECT_TRUE(result.standardError.contains(s("Ни одно устройство не ответило")));
}

} // namespace

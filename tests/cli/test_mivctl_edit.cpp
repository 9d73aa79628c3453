// End to end through mivsim on a pseudo-terminal: read a relay's
// configuration into a settings file, change the file as an operator would,
// write it with the password, and read the new values back.
#include "support/MivctlOnSimulator.h"
#include "support/PseudoTerminal.h"
#include "support/ProgramRun.h"
#include "support/QtPrinters.h"
#include "support/SimProcess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

namespace {

class MivctlEditing : public MivctlOnSimulator
{
protected:
    MivctlEditing() : MivctlOnSimulator({QStringLiteral("--relays"), QStringLiteral("1:4")}) { }

    QString file(const char *name) const { return folder.filePath(QString::fromUtf8(name)); }

    // The value lines of config read, by row.
    QStringList readValues()
    {
        const ProgramResult result =
                mivctl({QStringLiteral("config"), QStringLiteral("read"), QStringLiteral("1")});
        EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
        return outputLines(result.standardOutput);
    }

    // Changes keys of the section "Параметры" as a text editor would, in Windows-1251.
    static void editFile(const QString &from, const QString &to,
                         const QList<QPair<QString, QString>> &values)
    {
        QFile in(from);
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        QString text = QStringDecoder("windows-1251").decode(in.readAll());
        for (const auto &[key, value] : values) {
            const QRegularExpression line(QStringLiteral("(?m)^") + QRegularExpression::escape(key)
                                          + QStringLiteral("=.*$"));
            ASSERT_TRUE(text.contains(line)) << key.toStdString();
            text.replace(line, key + u'=' + value);
        }
        QFile out(to);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(QStringEncoder("windows-1251").encode(text));
    }
};

TEST_F(MivctlEditing, readSaveEditWriteWithThePasswordAndReadBack)
{
    const ProgramResult read =
            mivctl({QStringLiteral("config"), QStringLiteral("read"), QStringLiteral("1"),
                    QStringLiteral("--save"), file("relay.miv")});
    ASSERT_EQ(read.exitCode, 0) << read.standardError.toStdString();
    const QStringList before = outputLines(read.standardOutput);
    ASSERT_EQ(before.size(), 34);
    // Numbers use the decimal separator of the system the program runs on.
    const QString separator = before[3].right(2).left(1);
    const QString threeFive = QStringLiteral("3") + separator + QStringLiteral("5");
    EXPECT_EQ(before[3],
              QStringLiteral("3\tКратность перегрузки\t2") + separator + QStringLiteral("5"));
    EXPECT_EQ(before[5], QStringLiteral("5\tДиапазон асимметрии токов, %\t30"));
    EXPECT_EQ(before[26], QStringLiteral("26\tКонтроль залипания контактов\tоткл."));

    editFile(file("relay.miv"), file("edited.miv"),
             {{QStringLiteral("Кратность перегрузки"), threeFive},
              {QStringLiteral("Диапазон асимметрии токов, %"), QStringLiteral("40")},
              {QStringLiteral("Контроль залипания контактов"), QStringLiteral("вкл.")}});

    // A wrong password writes nothing.
    const ProgramResult wrong =
            mivctl({QStringLiteral("config"), QStringLiteral("write"), QStringLiteral("1"),
                    QStringLiteral("--password"), QStringLiteral("ABCE"), QStringLiteral("--load"),
                    file("edited.miv")});
    EXPECT_EQ(wrong.exitCode, 3);
    EXPECT_TRUE(wrong.standardError.contains(QStringLiteral("Ошибка ввода пароля!")));
    EXPECT_EQ(readValues(), before);

    const ProgramResult write =
            mivctl({QStringLiteral("config"), QStringLiteral("write"), QStringLiteral("1"),
                    QStringLiteral("--password"), QStringLiteral("ABCD"), QStringLiteral("--load"),
                    file("edited.miv")});
    ASSERT_EQ(write.exitCode, 0) << write.standardError.toStdString();
    const QStringList output = outputLines(write.standardOutput);
    EXPECT_TRUE(output.contains(QStringLiteral("written\t3\tКратность перегрузки\t") + threeFive));
    EXPECT_TRUE(output.contains(QStringLiteral("written\t5\tДиапазон асимметрии токов, %\t40")));
    EXPECT_TRUE(output.contains(QStringLiteral("written\t26\tКонтроль залипания контактов\tвкл.")));
    for (const QString &line : output)
        EXPECT_FALSE(line.startsWith(QStringLiteral("refused"))) << line.toStdString();
    // A row whose function is off is named as left, with the value it keeps.
    EXPECT_EQ(output.filter(QRegularExpression(QStringLiteral("^switched-off\t2\t"))).size(), 1)
            << write.standardOutput.toStdString();
    ASSERT_GE(output.size(), 34);
    const QStringList readBack = output.mid(output.size() - 34);

    QStringList expected = before;
    expected[3] = QStringLiteral("3\tКратность перегрузки\t") + threeFive;
    expected[5] = QStringLiteral("5\tДиапазон асимметрии токов, %\t40");
    expected[26] = QStringLiteral("26\tКонтроль залипания контактов\tвкл.");
    expected[32] = readBack[32]; // the motor hours run on
    EXPECT_EQ(readBack, expected);
    const QStringList after = readValues();
    expected[32] = after[32];
    EXPECT_EQ(after, expected);
}

// A slow line, so that the signal comes in the middle of a write. The
// signal: Ctrl+C (SIGINT), or the request to end that systemd's stop and
// kill send (SIGTERM).
class MivctlInterrupted : public MivctlOnSimulator, public ::testing::WithParamInterface<int>
{
protected:
    MivctlInterrupted()
        : MivctlOnSimulator({QStringLiteral("--relays"), QStringLiteral("1:4"),
                             QStringLiteral("--latency-ms"), QStringLiteral("120")})
    { }
};

INSTANTIATE_TEST_SUITE_P(Signals, MivctlInterrupted, ::testing::Values(SIGINT, SIGTERM),
                         [](const ::testing::TestParamInfo<int> &signal) {
                             return std::string(signal.param == SIGINT ? "SIGINT" : "SIGTERM");
                         });

// The signal while config write writes: the exchange under way is finished
// and logged, nothing more is sent, stderr names what was written and what
// was not, exit 130 (never ended by the signal, 128 + its number); every
// request the relay took is in the audit log.
TEST_P(MivctlInterrupted, aSignalDuringAWriteFinishesTheExchangeAndLogsIt)
{
    const QString relayFile = folder.filePath(QStringLiteral("relay.miv"));
    const ProgramResult read = mivctl({QStringLiteral("config"), QStringLiteral("read"),
                                       QStringLiteral("1"), QStringLiteral("--save"), relayFile});
    ASSERT_EQ(read.exitCode, 0) << read.standardError.toStdString();
    // Five numeric rows changed: five writes, one after another.
    QFile in(relayFile);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    QString text = QStringDecoder("windows-1251").decode(in.readAll());
    in.close();
    for (const auto &[key, value] : {std::pair{"Диапазон асимметрии токов, %", "41"},
                                     {"Минимальный ток электродвигателя, %", "57"},
                                     {"Ток утечки, %", "7"},
                                     {"Минимальное напряжение, В", "201"},
                                     {"Время пуска, с", "13"}}) {
        const QRegularExpression line(QStringLiteral("(?m)^")
                                      + QRegularExpression::escape(QString::fromUtf8(key))
                                      + QStringLiteral("=.*$"));
        if (text.contains(line))
            text.replace(line, QString::fromUtf8(key) + u'=' + QString::fromUtf8(value));
    }
    const QString plan = folder.filePath(QStringLiteral("plan.miv"));
    QFile out(plan);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(QStringEncoder("windows-1251").encode(text));
    out.close();

    const QString data = folder.filePath(QStringLiteral("data"));
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MIV_DATA_DIR"), data);
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder.path());
    process.start(programPath(QStringLiteral("mivctl")),
                  {QStringLiteral("--port"), sim.portPath(), QStringLiteral("config"),
                   QStringLiteral("write"), QStringLiteral("1"), QStringLiteral("--password"),
                   QStringLiteral("ABCD"), QStringLiteral("--load"), plan});
    ASSERT_TRUE(process.waitForStarted());
    // The first write's request is logged before it goes out: Ctrl+C then.
    const QString log = QDir(data).filePath(QStringLiteral("audit.jsonl"));
    QElapsedTimer waited;
    waited.start();
    while (!QFile::exists(log) && waited.elapsed() < 30000 && process.state() == QProcess::Running)
        process.waitForFinished(20);
    ASSERT_TRUE(QFile::exists(log)) << process.readAllStandardError().toStdString();
    ::kill(pid_t(process.processId()), GetParam());
    ASSERT_TRUE(process.waitForFinished(30000));
    const QString errors = QString::fromUtf8(process.readAllStandardError());
    const QStringList written = outputLines(QString::fromUtf8(process.readAllStandardOutput()))
                                        .filter(QRegularExpression(QStringLiteral("^written\t")));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 130) << errors.toStdString();
    EXPECT_TRUE(errors.contains(QStringLiteral("Запись остановлена по требованию оператора")))
            << errors.toStdString();
    EXPECT_LT(written.size(), 5) << "the writes went on after the signal";

    // Every line of the log has its answer: no request left without one.
    QFile logFile(log);
    ASSERT_TRUE(logFile.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = logFile.readAll().trimmed().split('\n');
    ASSERT_EQ(lines.size() % 2, 0) << "a request logged as sent has no answer";
    EXPECT_EQ(lines.size() / 2, written.size());
    for (qsizetype i = 1; i < lines.size(); i += 2)
        EXPECT_TRUE(lines[i].contains("\"answer\":\"taken\"")) << lines[i].toStdString();
}

TEST_F(MivctlEditing, aFileWithAnInvalidValueWritesNothing)
{
    ASSERT_EQ(mivctl({QStringLiteral("config"), QStringLiteral("read"), QStringLiteral("1"),
                      QStringLiteral("--save"), file("relay.miv")})
                      .exitCode,
              0);
    editFile(file("relay.miv"), file("bad.miv"),
             {{QStringLiteral("Диапазон асимметрии токов, %"), QStringLiteral("45")},
              {QStringLiteral("Ток утечки, %"), QStringLiteral("70000")}});
    const QStringList before = readValues();
    const ProgramResult write =
            mivctl({QStringLiteral("config"), QStringLiteral("write"), QStringLiteral("1"),
                    QStringLiteral("--password"), QStringLiteral("ABCD"), QStringLiteral("--load"),
                    file("bad.miv")});
    EXPECT_EQ(write.exitCode, 3);
    EXPECT_TRUE(write.standardError.contains(QStringLiteral("Ток утечки, %")))
            << write.standardError.toStdString();
    EXPECT_TRUE(write.standardOutput.isEmpty());
    QStringList after = readValues();
    after[32] = before[32];
    EXPECT_EQ(after, before);
}

TEST_F(MivctlEditing, passwordChangeThenTheNewOneUnlocks)
{
    ASSERT_EQ(mivctl({QStringLiteral("config"), QStringLiteral("read"), QStringLiteral("1"),
                      QStringLiteral("--save"), file("relay.miv")})
                      .exitCode,
              0);
    const struct
    {
        const char *oldPassword;
        const char *newPassword;
        int status;
        const char *message;
    } changes[] = {
            {"ABCE", "WXYZ", 3, "Ошибка ввода пароля!"},
            {"ABCD", "WXY", 3, "Не подтвержден новый пароль!"},
            {"ABCD", "wxyz", 3, "заглавные латинские буквы"},
            {"ABCD", "WXYZ", 0, "Пароль был успешно изменен!"},
            {"ABCD", "QQQQ", 3, "Ошибка ввода пароля!"}, // the old one is gone
    };
    for (const auto &c : changes) {
        const ProgramResult result =
                mivctl({QStringLiteral("password"), QStringLiteral("1"), QStringLiteral("--old"),
                        QString::fromUtf8(c.oldPassword), QStringLiteral("--new"),
                        QString::fromUtf8(c.newPassword)});
        EXPECT_EQ(result.exitCode, c.status) << c.oldPassword << " -> " << c.newPassword;
        EXPECT_TRUE(result.standardError.contains(QString::fromUtf8(c.message)))
                << result.standardError.toStdString();
    }
    auto writeWith = [&](const char *password) {
        return mivctl({QStringLiteral("config"), QStringLiteral("write"), QStringLiteral("1"),
                       QStringLiteral("--password"), QString::fromUtf8(password),
                       QStringLiteral("--load"), file("relay.miv")})
                .exitCode;
    };
    EXPECT_EQ(writeWith("ABCD"), 3);
    EXPECT_EQ(writeWith("WXYZ"), 0);
}

TEST_F(MivctlEditing, wrongUsage)
{
    const QStringList cases[] = {
            {QStringLiteral("config"), QStringLiteral("write"), QStringLiteral("1")},
            {QStringLiteral("config"), QStringLiteral("write"), QStringLiteral("1"),
             QStringLiteral("--password"), QStringLiteral("ABCD")},
            {QStringLiteral("config"), QStringLiteral("read"), QStringLiteral("1"),
             QStringLiteral("--save")},
            {QStringLiteral("config"), QStringLiteral("read"), QStringLiteral("1"),
             QStringLiteral("--load"), QStringLiteral("x")},
            {QStringLiteral("password"), QStringLiteral("1"), QStringLiteral("--old"),
             QStringLiteral("ABCD")},
            {QStringLiteral("password"), QStringLiteral("1"), QStringLiteral("--old"),
             QStringLiteral("ABCD"), QStringLiteral("--old"), QStringLiteral("ABCD")},
    };
    for (const QStringList &arguments : cases)
        EXPECT_EQ(mivctl(arguments).exitCode, 2) << arguments.join(u' ').toStdString();
}

// Asked on a terminal, the password is typed without echo, and the terminal
// echoes again afterwards. The password taken, the command goes on to its
// port (one that does not exist here).
TEST(MivctlPasswordPrompt, readsThePasswordWithoutEchoAndTurnsEchoOnAgain)
{
    PseudoTerminal terminal;
    // Held open here as well, to read the terminal's settings after mivctl.
    const int slave =
            ::open(QFile::encodeName(terminal.slavePath()).constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    QTemporaryDir folder;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("MIV_PASSWORD"));
    QProcess mivctl;
    mivctl.setProcessEnvironment(environment);
    mivctl.setWorkingDirectory(folder.path());
    mivctl.setStandardInputFile(terminal.slavePath());
    mivctl.setReadChannel(QProcess::StandardError);
    mivctl.start(programPath(QStringLiteral("mivctl")),
                 {QStringLiteral("--port"), folder.filePath(QStringLiteral("no-such-port")),
                  QStringLiteral("config"), QStringLiteral("write"), QStringLiteral("1"),
                  QStringLiteral("--load"), folder.filePath(QStringLiteral("relay.miv"))});
    QByteArray errors;
    while (!errors.contains("Введите пароль: ") && mivctl.waitForReadyRead(10000))
        errors += mivctl.readAllStandardError();
    ASSERT_TRUE(errors.contains("Введите пароль: ")) << errors.toStdString();

    ASSERT_TRUE(terminal.send("ABCD\n"));
    ASSERT_TRUE(mivctl.waitForFinished(10000));
    EXPECT_EQ(mivctl.exitCode(), 1) << mivctl.readAllStandardError().toStdString();
    EXPECT_FALSE(terminal.pending().contains("ABCD"));
    termios settings{};
    ASSERT_EQ(tcgetattr(slave, &settings), 0);
    EXPECT_TRUE(settings.c_lflag & ECHO);
    ::close(slave);
}

} // namespace

#include "cli/CliContext.h"
#include "cli/CliOptions.h"
#include "cli/CommandHelp.h"
#include "cli/Commands.h"
#include "core/Texts.h"
#include "link/FrontIni.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

using namespace miv::cli;

using namespace miv;

namespace {

QStringList args(std::initializer_list<const char *> items)
{
    QStringList list;
    for (const char *item : items)
        list.append(QString::fromUtf8(item));
    return list;
}

TEST(MivctlOptions, globalOptionsComeBeforeTheCommand)
{
    QString error;
    const auto options = parseGlobalOptions(
            args({"--port", "/dev/pts/5", "--baud=19200", "--parity", "EVEN", "--data-bits", "7",
                  "--stop-bits", "1.5", "--timeout", "300", "--scan-wait", "40", "--trace", "--yes",
                  "info", "6", "--port", "x"}),
            &error);
    ASSERT_TRUE(options) << error.toStdString();
    EXPECT_EQ(options->command, QStringLiteral("info"));
    EXPECT_EQ(options->commandArguments, args({"6", "--port", "x"}));
    EXPECT_EQ(options->replyTimeoutMs, 300);
    EXPECT_EQ(options->scanWaitMs, 40);
    EXPECT_TRUE(options->trace);
    EXPECT_TRUE(options->assumeYes);

    PortSettings settings;
    options->applyTo(settings);
    EXPECT_EQ(settings.portName, QStringLiteral("/dev/pts/5"));
    EXPECT_EQ(settings.baudRate, QStringLiteral("19200"));
    EXPECT_EQ(settings.parity, QStringLiteral("Even"));
    EXPECT_EQ(settings.dataBits, QStringLiteral("7"));
    EXPECT_EQ(settings.stopBits, QStringLiteral("1.5"));
}

TEST(MivctlOptions, aTcpPortNamesTheGatewayAndKeepsTheLineSettings)
{
    struct Case
    {
        const char *port;
        PortSettings::Transport transport;
        const char *portName;
        const char *gateway;
    };
    const Case cases[] = {
            {"tcp://10.0.0.2:4001", PortSettings::Transport::Tcp, "ttyUSB0", "10.0.0.2:4001"},
            {"TCP://gw.local:502", PortSettings::Transport::Tcp, "ttyUSB0", "gw.local:502"},
            {"tcp://[::1]:502", PortSettings::Transport::Tcp, "ttyUSB0", "[::1]:502"},
            {"ttyS3", PortSettings::Transport::Serial, "ttyS3",
             "old:1"}, // a serial port leaves the gateway alone
    };
    for (const Case &c : cases) {
        QString error;
        const auto options =
                parseGlobalOptions(args({"--port", c.port, "--baud", "19200", "info"}), &error);
        ASSERT_TRUE(options) << c.port << ": " << error.toStdString();
        PortSettings settings;
        settings.portName = QStringLiteral("ttyUSB0");
        settings.gateway = QStringLiteral("old:1");
        settings.transport = c.transport == PortSettings::Transport::Tcp
                ? PortSettings::Transport::Serial
                : PortSettings::Transport::Tcp;
        options->applyTo(settings);
        EXPECT_EQ(settings.transport, c.transport) << c.port;
        EXPECT_EQ(settings.portName, QString::fromLatin1(c.portName)) << c.port;
        EXPECT_EQ(settings.gateway, QString::fromLatin1(c.gateway)) << c.port;
        EXPECT_EQ(settings.effectiveBaudRate(), 19200) << c.port;
    }
}

TEST(MivctlOptions, rateOutsideTheListIsACustomRate)
{
    QString error;
    const auto options = parseGlobalOptions(args({"--baud", "31250", "ports"}), &error);
    ASSERT_TRUE(options);
    PortSettings settings;
    options->applyTo(settings);
    EXPECT_EQ(settings.baudRate, QStringLiteral("Custom"));
    EXPECT_EQ(settings.effectiveBaudRate(), 31250);
}

TEST(MivctlOptions, badOptionsAreRefused)
{
    const QStringList bad[] = {
            args({"--parity", "often", "ports"}),
            args({"--data-bits", "9", "ports"}),
            args({"--stop-bits", "3", "ports"}),
            args({"--baud", "fast", "ports"}),
            args({"--timeout", "0", "ports"}),
            args({"--scan-wait", "-1", "ports"}),
            args({"--bogus", "ports"}),
            args({"--port"}), // a value missing
            args({"--port", "tcp://", "ports"}),
            args({"--port", "tcp://10.0.0.2", "ports"}),
            args({"--port", "tcp://10.0.0.2:0", "ports"}),
    };
    for (const QStringList &arguments : bad) {
        QString error;
        EXPECT_FALSE(parseGlobalOptions(arguments, &error)) << arguments.join(u' ').toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
}

struct RunResult
{
    int status;
    QString out;
    QString err;
};

RunResult run(const QStringList &arguments, const QString &frontIni)
{
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    const int status = runCommandLine(arguments, frontIni, outStream, errStream);
    outStream.flush();
    errStream.flush();
    return {status, out, err};
}

TEST(Mivctl, helpListsEveryCommandOfTheTable)
{
    QTemporaryDir dir;
    const RunResult result = run(args({"help"}), dir.filePath(QStringLiteral("front.ini")));
    EXPECT_EQ(result.status, ExitStatus::Done);
    for (const Command &command : commands())
        EXPECT_TRUE(result.out.contains(command.usage)) << command.name.toStdString();
    EXPECT_TRUE(result.out.contains(QStringLiteral("--scan-wait")));
}

// The text of a manual page as a reader sees it, its white space made single:
// the requests' names (but "SS" of a section heading) and the escapes of the
// page's few kinds (fonts, hyphens, quotes) dropped.
QString manualPageText(const QString &source)
{
    QStringList words;
    for (QString line : source.split(u'\n')) {
        if (line.startsWith(QLatin1String(".\\\"")))
            continue; // a comment
        if (line.startsWith(QLatin1String(".SS ")))
            line = line.mid(1); // a section heading, kept as "SS heading"
        else if (line.startsWith(u'.'))
            line = line.section(u' ', 1); // the request's arguments
        words << line;
    }
    QString text = words.join(u' ');
    for (const char *font : {"\\fB", "\\fI", "\\fR", "\\fP", "\\&"})
        text.remove(QLatin1String(font));
    text.replace(QLatin1String("\\-"), QLatin1String("-"));
    text.replace(QLatin1String("\\(dq"), QLatin1String("\""));
    return text.simplified();
}

TEST(Mivctl, helpOfEachCommandIsItsSectionOfTheManualPage)
{
    QFile page(QStringLiteral(MIV_MAN_DIR "/mivctl.1.in"));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly)) << page.fileName().toStdString();
    const QString manual = manualPageText(QString::fromUtf8(page.readAll()));
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("front.ini"));
    for (const Command &command : commands()) {
        const RunResult result = run(args({"help"}) << command.name, ini);
        EXPECT_EQ(result.status, ExitStatus::Done) << command.name.toStdString();
        const QString help = commandHelp(command.name);
        ASSERT_FALSE(help.isEmpty()) << command.name.toStdString() << " has no help text";
        EXPECT_TRUE(result.out.contains(command.usage) && result.out.contains(help))
                << result.out.toStdString();
        EXPECT_TRUE(manual.contains(QStringLiteral("SS ") + command.usage.simplified()))
                << command.name.toStdString() << ": no section of its usage in mivctl.1";
        EXPECT_TRUE(manual.contains(help.simplified()))
                << command.name.toStdString() << ": mivctl.1 tells otherwise than its help";
    }
    EXPECT_EQ(run(args({"help", "frobnicate"}), ini).status, ExitStatus::WrongUsage);
}

TEST(Mivctl, wrongUsageIsStatusTwo)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("front.ini"));
    EXPECT_EQ(run({}, ini).status, ExitStatus::WrongUsage);
    EXPECT_EQ(run(args({"frobnicate"}), ini).status, ExitStatus::WrongUsage);
    EXPECT_EQ(run(args({"ports", "extra"}), ini).status, ExitStatus::WrongUsage);
    const RunResult bad = run(args({"--parity", "often", "ports"}), ini);
    EXPECT_EQ(bad.status, ExitStatus::WrongUsage);
    EXPECT_TRUE(bad.err.contains(QStringLiteral("--parity")));
    EXPECT_TRUE(bad.out.isEmpty());
}

TEST(Mivctl, portsListsOnlyPortsAndSucceeds)
{
    QTemporaryDir dir;
    const RunResult result = run(args({"ports"}), dir.filePath(QStringLiteral("front.ini")));
    EXPECT_EQ(result.status, ExitStatus::Done);
    for (const QString &line : result.out.split(u'\n', Qt::SkipEmptyParts))
        EXPECT_EQ(line.count(u'\t'), 3)
                << line.toStdString(); // name, device, description, stable name
}

// A context made from the arguments and the "front.ini" given, as mivctl
// makes it, with what it writes kept.
struct ContextUnderTest
{
    ContextUnderTest(const QStringList &arguments, const QString &frontIni)
    {
        QString error;
        const auto options = parseGlobalOptions(arguments, &error);
        if (options)
            context.emplace(*options, frontIni, outStream, errStream);
        else
            err = error;
    }
    QString errText()
    {
        errStream.flush();
        return err;
    }

    QString out;
    QString err;
    QTextStream outStream{&out};
    QTextStream errStream{&err};
    std::optional<CliContext> context; // none when the arguments were refused (err says why)
};

TEST(CliContext, frontIniThenOptionsAndAPortThatDoesNotOpen)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("front.ini"));
    PortSettings stored;
    stored.portName = QStringLiteral("ttyNoSuchPort42");
    stored.parity = QStringLiteral("Odd");
    ASSERT_TRUE(storePortSettings(ini, stored));

    ContextUnderTest made(args({"--baud", "19200", "--timeout", "250", "ports"}), ini);
    ASSERT_TRUE(made.context);
    CliContext &context = *made.context;
    EXPECT_EQ(context.settings().portName, QStringLiteral("ttyNoSuchPort42"));
    EXPECT_EQ(context.settings().parity, QStringLiteral("Odd"));
    EXPECT_EQ(context.settings().baudRate, QStringLiteral("19200"));
    EXPECT_EQ(context.bus().timing().replyTimeoutMs, 250);
    EXPECT_EQ(context.bus().timing().baudRate, 19200);

    EXPECT_FALSE(context.openPort());
    const QString err = made.errText();
    EXPECT_TRUE(err.startsWith(Texts::portOpenError)) << err.toStdString();
    EXPECT_TRUE(made.out.isEmpty());
}

TEST(CliContext, frontIniThatIsNoSettingsFileGivesTheDefaultsAndSaysSo)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("front.ini"));
    QFile file(ini);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("\xFF\xFE[\0p\0]\0\r\0\n\0", 12)); // UTF-16
    file.close();
    ContextUnderTest made(args({"--port", "/nonexistent/ttyMIV9", "scan"}), ini);
    ASSERT_TRUE(made.context);
    PortSettings expected;
    expected.portName = QStringLiteral("/nonexistent/ttyMIV9");
    EXPECT_EQ(made.context->settings(), expected);
    EXPECT_FALSE(made.context->openPort());
    const QString err = made.errText();
    EXPECT_TRUE(err.startsWith(QStringLiteral("Не удалось прочитать файл ") + ini))
            << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("UTF-16"))
                && err.contains(Texts::frontIniDefaultsTaken));
    EXPECT_TRUE(err.contains(Texts::portOpenError)); // and the port was tried
}

TEST(ConsoleOperator, questionsAreAnsweredYesOnlyWithTheOption)
{
    QString err;
    QTextStream errStream(&err);
    ConsoleOperator console(errStream);
    EXPECT_EQ(console.message(Operator::Icon::Warning, QStringLiteral("Записать?"),
                              Operator::Buttons::OkCancel),
              Operator::Answer::Cancel);
    EXPECT_EQ(
            console.message(Operator::Icon::Warning, QStringLiteral("?"), Operator::Buttons::YesNo),
            Operator::Answer::No);
    EXPECT_FALSE(console.askPassword());
    console.setAssumeYes(true);
    console.setPassword(QStringLiteral("ABCD"));
    EXPECT_EQ(
            console.message(Operator::Icon::Warning, QStringLiteral("?"), Operator::Buttons::OkNo),
            Operator::Answer::Ok);
    EXPECT_EQ(
            console.message(Operator::Icon::Warning, QStringLiteral("?"), Operator::Buttons::YesNo),
            Operator::Answer::Yes);
    EXPECT_EQ(console.askPassword(), QStringLiteral("ABCD"));
    console.message(Operator::Icon::Error, Texts::linkError);
    EXPECT_EQ(console.errorsShown(), QStringList{Texts::linkError});
    errStream.flush();
    EXPECT_TRUE(err.contains(QStringLiteral("Записать?")));
}

TEST(MivctlProgram, exitStatusesAndUtf8Output)
{
    const QString program = qEnvironmentVariable("MIV_BIN_DIR") + QStringLiteral("/mivctl");
    if (!QFileInfo::exists(program))
        GTEST_SKIP() << "mivctl not built";
    QProcess help;
    help.start(program, {QStringLiteral("help")});
    ASSERT_TRUE(help.waitForFinished(10000));
    EXPECT_EQ(help.exitCode(), 0);
    EXPECT_TRUE(help.readAllStandardOutput().contains("mivctl [OPTIONS] ports"));

    QProcess wrong;
    wrong.start(program,
                {QStringLiteral("--stop-bits"), QStringLiteral("3"), QStringLiteral("help")});
    ASSERT_TRUE(wrong.waitForFinished(10000));
    EXPECT_EQ(wrong.exitCode(), 2);
}

} // namespace

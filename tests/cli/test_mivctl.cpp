#include "cli/CliContext.h"
#include "cli/CliOptions.h"
#include "cli/CommandHelp.h"
#include "cli/Commands.h"
#include "cli/DateBound.h"
#include "cli/PasswordSource.h"
#include "cli/Terminal.h"
#include "RecordingOperator.h"
#include "core/AuditLog.h"
#include "core/Texts.h"
#include "link/FrontIni.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTimeZone>

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
            {" /dev/pts/5 ", PortSettings::Transport::Serial, "/dev/pts/5", "old:1"},
            {"COM12", PortSettings::Transport::Serial, "COM12", "old:1"},
            {" tcp://gw.local:4001 ", PortSettings::Transport::Tcp, "ttyUSB0", "gw.local:4001"},
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
            args({"--port", " ", "ports"}),
            args({"--port", "tcp://[::1:502", "ports"}),
    };
    for (const QStringList &arguments : bad) {
        QString error;
        EXPECT_FALSE(parseGlobalOptions(arguments, &error)) << arguments.join(u' ').toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
}

// A register's address with a password is refused with front.ini's reason,
// and no refusal shows the password, however the option is spelt.
TEST(MivctlOptions, aPasswordInTheRegistersAddressIsNeverShown)
{
    const struct
    {
        QStringList arguments;
        bool reasonTold;
    } cases[] = {
            {args({"--registry", "postgresql://eng:secret@db/relays", "ports"}), true},
            {args({"--registry=postgresql://eng:secret@db:x/relays", "ports"}), true},
            {args({"--registry", "postgresql://db/relays?password=secret", "ports"}), true},
            {args({"--registr=postgresql://eng:secret@db/relays", "ports"}), false},
    };
    for (const auto &c : cases) {
        QString error;
        EXPECT_FALSE(parseGlobalOptions(c.arguments, &error));
        EXPECT_FALSE(error.contains(QStringLiteral("secret"))) << error.toStdString();
        EXPECT_EQ(error.endsWith(QStringLiteral("Пароль не указывается в адресе реестра реле: "
                                                "задайте его в ~/.pgpass, PGPASSFILE или "
                                                "PGPASSWORD")),
                  c.reasonTold)
                << error.toStdString();
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
        // "COMMAND --help", also after other arguments, is "help COMMAND" and opens no port.
        for (const QStringList &asked :
             {QStringList{command.name, QStringLiteral("--help")},
              QStringList{QStringLiteral("--port"), QStringLiteral("/nonexistent"), command.name,
                          QStringLiteral("1"), QStringLiteral("--help")}}) {
            const RunResult own = run(asked, ini);
            EXPECT_EQ(own.status, ExitStatus::Done) << asked.join(u' ').toStdString();
            EXPECT_EQ(own.out, result.out) << asked.join(u' ').toStdString();
            EXPECT_TRUE(own.err.isEmpty()) << own.err.toStdString();
        }
    }
    EXPECT_EQ(run(args({"help", "frobnicate"}), ini).status, ExitStatus::WrongUsage);
    // config sheet only reads: neither its help nor the PASSWORDS section
    // asks a password of it. An interrupted write's status is in the page.
    EXPECT_FALSE(commandHelp(QStringLiteral("config"))
                         .section(QStringLiteral("config sheet reads"), 1)
                         .contains(QStringLiteral("The password comes from")));
    EXPECT_TRUE(manual.contains(QStringLiteral("PASSWORDS config write, timer write and password "
                                               "need the relay's password")));
    EXPECT_TRUE(manual.contains(QStringLiteral("130 Interrupted: Ctrl+C")));
}

TEST(Mivctl, wrongUsageIsStatusTwo)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("front.ini"));
    EXPECT_EQ(run({}, ini).status, ExitStatus::WrongUsage);
    EXPECT_EQ(run(args({"frobnicate"}), ini).status, ExitStatus::WrongUsage);
    EXPECT_EQ(run(args({"ports", "extra"}), ini).status, ExitStatus::WrongUsage);
    for (const char *line : {"line", "line statistics", "line stats --seconds 0",
                             "line stats --addresses 0", "line stats --csv --seconds"})
        EXPECT_EQ(run(QString::fromLatin1(line).split(u' '), ini).status, ExitStatus::WrongUsage)
                << line;
    const RunResult bad = run(args({"--parity", "often", "ports"}), ini);
    EXPECT_EQ(bad.status, ExitStatus::WrongUsage);
    EXPECT_TRUE(bad.err.contains(QStringLiteral("--parity")));
    EXPECT_TRUE(bad.out.isEmpty());
    // A range that holds no time is said, not listed as empty.
    const QString registry = dir.filePath(QStringLiteral("registry.sqlite"));
    for (const char *command : {"journal", "events"}) {
        QStringList arguments = args({"--registry"})
                << registry << QStringLiteral("registry") << QString::fromUtf8(command);
        if (arguments.last() == QStringLiteral("journal"))
            arguments << QStringLiteral("1001");
        const RunResult backwards =
                run(arguments + args({"--since", "2026-01-02", "--until", "2026-01-01"}), ini);
        EXPECT_EQ(backwards.status, ExitStatus::WrongUsage) << command;
        EXPECT_TRUE(backwards.err.contains(
                QStringLiteral("--since 2026-01-02 comes after --until 2026-01-01")))
                << backwards.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(registry));
}

// --since from the start of what DATE names, --until to its end.
TEST(Mivctl, dateBoundsOfTheRegistryListsCoverWhatTheyName)
{
    const auto local = [](int day, int hour, int minute, int second = 0, int ms = 0) {
        return QDateTime(QDate(2026, 1, day), QTime(hour, minute, second, ms));
    };
    struct BoundCase
    {
        const char *text;
        DateBound bound;
        QDateTime expected;
    };
    const BoundCase cases[] = {
            {"2026-01-01", DateBound::Since, local(1, 0, 0)},
            {"2026-01-01", DateBound::Until, local(2, 0, 0)},
            {"01.01.2026", DateBound::Until, local(2, 0, 0)},
            {"2026-01-01T00:01", DateBound::Since, local(1, 0, 1)},
            {"2026-01-01T00:01", DateBound::Until, local(1, 0, 2)},
            {"2026-01-01T23:59", DateBound::Until, local(2, 0, 0)},
            {"2026-01-01T00:01:30", DateBound::Until, local(1, 0, 1, 31)},
            {"2026-01-01T00:01:30.250", DateBound::Until, local(1, 0, 1, 30, 251)},
            {"2026-01-01T10:00Z", DateBound::Until,
             QDateTime(QDate(2026, 1, 1), QTime(10, 1), QTimeZone::utc())},
            {"yesterday", DateBound::Since, {}},
            {"2026-13-01", DateBound::Until, {}},
    };
    for (const BoundCase &c : cases) {
        const std::optional<QDateTime> parsed = parseDateBound(QString::fromUtf8(c.text), c.bound);
        EXPECT_EQ(parsed.has_value(), c.expected.isValid()) << c.text;
        if (parsed && c.expected.isValid()) {
            EXPECT_EQ(*parsed, c.expected) << c.text;
        }
    }
}

// --xls and --csv naming one file (the CSV would replace the workbook) are
// refused before the port is opened; two files go on to the port, here one
// that does not exist.
TEST(Mivctl, journalRefusesTwoOutputsNamingOneFile)
{
    QTemporaryDir dir;
    const auto in = [&dir](const char *name) { return dir.filePath(QString::fromUtf8(name)); };
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    ASSERT_TRUE(QFile(in("report.xls")).open(QIODevice::WriteOnly));
    ASSERT_TRUE(QFile::link(in("report.xls"), in("alias.xls")));
    ASSERT_TRUE(QFile::link(in("sub"), in("folder-link")));
    ASSERT_TRUE(QFile::link(in("to-come.xls"), in("link-to-come.csv"))); // no target yet
    ASSERT_TRUE(QFile::link(in("link-to-come.csv"), in("link-to-link.csv")));
    ASSERT_TRUE(QFile(in("other.csv")).open(QIODevice::WriteOnly));
    const bool caseIgnored = QFileInfo::exists(in("REPORT.XLS")); // by the file system
    struct Case
    {
        const char *xls;
        const char *csv;
        bool sameFile;
    };
    const Case cases[] = {
            {"report.xls", "report.xls", true},
            {"./sub/../report.xls", "report.xls", true},
            {"alias.xls", "report.xls", true}, // a link to the file
            {"folder-link/new.csv", "sub//new.csv", true}, // a linked folder, a file to come
            {"Report.XLS", "report.xls", caseIgnored},
            {"report.xls", "report.csv", false},
            {"report.xls", "other.csv", false}, // two files that both exist
            {"to-come.xls", "link-to-come.csv", true}, // a link to a file not made yet
            {"to-come.xls", "link-to-link.csv", true}, // through a link to that link
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.xls) + " / " + c.csv);
        const RunResult result =
                run({QStringLiteral("--port"), in("no-such-port"), QStringLiteral("journal"),
                     QStringLiteral("1"), QStringLiteral("--xls"), in(c.xls),
                     QStringLiteral("--csv"), in(c.csv)},
                    in("front.ini"));
        EXPECT_EQ(result.status, c.sameFile ? ExitStatus::WrongUsage : ExitStatus::LinkFailure)
                << result.err.toStdString();
        EXPECT_EQ(result.err.contains(QStringLiteral("--xls and --csv name the same file")),
                  c.sameFile)
                << result.err.toStdString();
    }
}

// audit verify prints a whole log's head (exit 0) and names the first break
// (exit 4); a log named that is not there is refused. `audit` lists a broken
// log all the same, after one warning.
TEST(Mivctl, auditVerifyPrintsTheHeadOrNamesTheBreak)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("front.ini"));
    AuditLog log(dir.path());
    RecordingOperator op;
    for (const char *item : {"Время пуска", "Ток перегрузки", "пароль"})
        log.record(17, 4711, {0x55, false, QString::fromUtf8(item), {}, {}}, AuditAnswer::taken,
                   op);
    const QStringList verify = {QStringLiteral("audit"), QStringLiteral("verify"),
                                QStringLiteral("--log"), log.filePath()};
    QFile file(log.filePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    file.close();
    ASSERT_EQ(lines.size(), 4);

    const RunResult whole = run(verify, ini);
    EXPECT_EQ(whole.status, ExitStatus::Done) << whole.err.toStdString();
    EXPECT_EQ(whole.out,
              QStringLiteral("Цепочка журнала цела: строк в цепочке 3, прежних строк перед ней 0\n"
                             "Вершина цепочки: 3 ")
                      + QString::fromLatin1(lines[2].chopped(2).right(64)) + u'\n');

    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(lines[0] + '\n' + lines[2] + '\n');
    file.close();
    const RunResult broken = run(verify, ini);
    EXPECT_EQ(broken.status, ExitStatus::Different);
    EXPECT_TRUE(
            broken.out.startsWith(QStringLiteral("Цепочка журнала нарушена: перед строкой 2 (")))
            << broken.out.toStdString();
    EXPECT_TRUE(broken.out.endsWith(
            QStringLiteral(", адрес 17, реле №4711, пароль) удалено строк: 1\n")));

    const QByteArray dataFolder = qgetenv("MIV_DATA_DIR");
    qputenv("MIV_DATA_DIR", dir.path().toLocal8Bit());
    const RunResult listed = run(args({"audit"}), ini);
    qputenv("MIV_DATA_DIR", dataFolder);
    EXPECT_EQ(listed.status, ExitStatus::Done);
    EXPECT_EQ(listed.out.count(u'\n'), 2);
    EXPECT_EQ(listed.err.count(QStringLiteral("Внимание: цепочка журнала записей нарушена: перед "
                                              "строкой 2")),
              1)
            << listed.err.toStdString();

    EXPECT_EQ(run(args({"audit", "verify", "--log"}), ini).status, ExitStatus::WrongUsage);
    EXPECT_EQ(run({verify.mid(0, 3) << dir.filePath(QStringLiteral("none.jsonl"))}, ini).status,
              ExitStatus::Refused);
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

// A settings file with no relay and no port: shown, set, refused, its sheet.
TEST(MivctlSettings, setChangesOnlyTheValuesGivenAndARefusalLeavesTheFileByteForByte)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("front.ini"));
    const QString file = dir.filePath(QStringLiteral("motor.miv"));
    const auto bytesOf = [](const QString &path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QString text =
            QStringLiteral("; насос 3\r\n[Параметры]\r\nКоэффициент трансформации=10\r\n"
                           "Номинальный ток электродвигателя, А=25,0\r\n"
                           "Кратность перегрузки=2,5\r\n[Заметки]\r\nцех=2\r\n");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringEncoder("windows-1251").encode(text));
    }
    const QByteArray original = bytesOf(file);

    const RunResult shown = run(QStringList{"settings", "show", file, "--type", "4"}, ini);
    EXPECT_EQ(shown.status, ExitStatus::Done) << shown.err.toStdString();
    const QStringList lines = shown.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 34);
    EXPECT_EQ(lines[0], QStringLiteral("0\tКоэффициент трансформации\t10"));
    EXPECT_EQ(lines[31], QStringLiteral("31\tАлгоритм накачки/выкачки резервуара\t[фукнк. откл.]"));
    // On type 6 a file with no timer shows its marks empty, as rows it lacks.
    const RunResult six = run(QStringList{"settings", "show", file, "--type", "6"}, ini);
    EXPECT_TRUE(six.out.contains(QStringLiteral("\ntimer\tМетка1\t\n"))) << six.out.toStdString();

    for (const QStringList &refused :
         {QStringList{"3=7"}, QStringList{"31=вкл."}, QStringList{"0=50"},
          QStringList{"3=2.6", "Кратность перегрузки=2.7"}}) {
        const RunResult result =
                run(QStringList{"settings", "set", file, "--type", "4"} + refused, ini);
        EXPECT_EQ(result.status, ExitStatus::Refused) << refused.join(u' ').toStdString();
        EXPECT_TRUE(result.out.isEmpty());
        EXPECT_EQ(bytesOf(file), original);
    }
    const RunResult limits = run(QStringList{"settings", "set", file, "--type", "4", "3=7"}, ini);
    EXPECT_TRUE(limits.err.contains(QStringLiteral("Строка 3 «Кратность перегрузки»: значение «7» "
                                                   "недопустимо; допустимо 1,1 … 6,0")))
            << limits.err.toStdString();

    const RunResult set = run(QStringList{"settings", "set", file, "--type", "4", "3=2.6"}, ini);
    EXPECT_EQ(set.status, ExitStatus::Done) << set.err.toStdString();
    EXPECT_EQ(set.out, QStringLiteral("3\tКратность перегрузки\t2,6\n"));
    const QString saved = QStringDecoder("windows-1251").decode(bytesOf(file));
    EXPECT_TRUE(saved.startsWith(QString(text)
                                         .replace(QStringLiteral("2,5"), QStringLiteral("2,6"))
                                         .section(QStringLiteral("[Заметки]"), 0, 0)))
            << saved.toStdString();
    EXPECT_TRUE(saved.contains(QStringLiteral("[Заметки]\r\nцех=2\r\n")));

    const QString csv = dir.filePath(QStringLiteral("sheet.csv"));
    EXPECT_EQ(run(QStringList{"settings", "sheet", file, "--type", "4", "--csv", csv}, ini).status,
              ExitStatus::Done);
    EXPECT_TRUE(bytesOf(csv).contains(QStringLiteral("Значения;из файла motor.miv").toUtf8()));
    // The outputs are checked against the input (however named: "./", a
    // link) and each other before anything is written: the input is never
    // replaced, and one output that cannot be written leaves every other
    // unwritten.
    const QString xls = dir.filePath(QStringLiteral("ok.xls"));
    const QString sheet4 = QStringLiteral("settings sheet %1 --type 4 ").arg(file);
    const QString alias = dir.filePath(QStringLiteral("alias.miv"));
    ASSERT_TRUE(QFile::link(file, alias));
    const struct
    {
        QString outputs;
        int status;
    } outputCases[] = {
            {QStringLiteral("--csv ") + file, ExitStatus::WrongUsage},
            {QStringLiteral("--csv %1/./motor.miv").arg(dir.path()), ExitStatus::WrongUsage},
            {QStringLiteral("--xls %1 --csv %2").arg(xls, alias), ExitStatus::WrongUsage},
            {QStringLiteral("--xls %1 --csv %2").arg(xls, dir.filePath(QStringLiteral("no/x.csv"))),
             ExitStatus::Refused},
            {QStringLiteral("--xls %1 --csv -").arg(xls), ExitStatus::WrongUsage},
            {QStringLiteral("--csv ") + dir.path(), ExitStatus::Refused},
#ifdef Q_OS_UNIX
            {QStringLiteral("--csv /dev/null"), ExitStatus::Done},
#endif
    };
    const QByteArray input = bytesOf(file);
    for (const auto &c : outputCases) {
        const RunResult result = run((sheet4 + c.outputs).split(u' '), ini);
        EXPECT_EQ(result.status, c.status) << c.outputs.toStdString() << result.err.toStdString();
        EXPECT_EQ(bytesOf(file), input);
        EXPECT_FALSE(QFile::exists(xls)) << c.outputs.toStdString();
    }
    EXPECT_TRUE(QFileInfo(dir.path()).isDir());
    // A value the type may not take refuses "sheet" as it refuses "show",
    // naming the value and its limits.
    const QString blank = dir.filePath(QStringLiteral("blank.miv"));
    {
        QFile f(blank);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringEncoder("windows-1251")
                        .encode(QStringLiteral("[Параметры]\r\nКратность перегрузки=\r\n")));
    }
    for (const char *action : {"show", "sheet"}) {
        QStringList arguments{"settings", QString::fromLatin1(action), blank, "--type", "4"};
        if (QByteArray(action) == "sheet")
            arguments << "--csv" << csv;
        const RunResult result = run(arguments, ini);
        EXPECT_EQ(result.status, ExitStatus::Refused) << action;
        EXPECT_TRUE(result.err.contains(QStringLiteral(
                "Строка 3 «Кратность перегрузки»: значение «» недопустимо; допустимо 1")))
                << result.err.toStdString();
    }
    for (const QStringList &wrong : {QStringList{"settings", "show", file},
                                     QStringList{"settings", "show", file, "--type", "5"},
                                     QStringList{"settings", "set", file, "--type", "4", "3"},
                                     QStringList{"settings", "sheet", file, "--type", "4"}})
        EXPECT_EQ(run(wrong, ini).status, ExitStatus::WrongUsage) << wrong.join(u' ').toStdString();
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
    errStream.flush();
    EXPECT_TRUE(err.endsWith(Texts::linkError + u'\n'));
    EXPECT_TRUE(err.contains(QStringLiteral("Записать?")));
}

// The password variables of whoever runs the tests are not this test's.
void clearPasswordEnvironment()
{
    qunsetenv("MIV_PASSWORD");
    qunsetenv("MIV_NEW_PASSWORD");
}

// A terminal that types the given lines (nullopt: Ctrl+D) and keeps the prompts.
class TypingTerminal : public Terminal
{
public:
    TypingTerminal(bool interactive, QList<std::optional<QString>> lines)
        : m_interactive(interactive), m_lines(std::move(lines))
    { }
    bool interactive() const override { return m_interactive; }
    std::optional<QString> readSecret(const QString &prompt) override
    {
        prompts << prompt;
        return m_lines.isEmpty() ? std::nullopt : m_lines.takeFirst();
    }
    QStringList prompts;

private:
    bool m_interactive;
    QList<std::optional<QString>> m_lines;
};

// The order of the sources (command line, file, environment, terminal) and
// what each refuses; a new password is typed twice on the terminal.
TEST(PasswordSource, theFirstSourceGivenCountsAndEachRefusalSaysWhy)
{
    QTemporaryDir dir;
    const auto write = [&dir](const char *name, const QByteArray &bytes) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    };
    const QString crlf = write("crlf", "QRST\r\nignored\r\n");
    const QString marked = write("marked", "\xEF\xBB\xBF WXYZ \n");
    const QString emptyLine = write("empty", "\r\nABCD\r\n");
    using Source = PasswordChoice::Source;
    // MIV_PASSWORD is ENVI where it is set; the terminal, where there is
    // one, types TYPE, then TYPO.
    struct Case
    {
        const char *name;
        std::optional<QString> option;
        std::optional<QString> file;
        bool environment;
        bool terminal;
        bool twice; // a new password: asked twice on the terminal
        Source source;
        const char *password; // and its confirmation, after a slash when they differ
    };
    const Case cases[] = {
            {"the command line first", "ABCD", {}, true, true, false, Source::CommandLine, "ABCD"},
            {"then the file's first line", {}, crlf, true, true, false, Source::File, "QRST"},
            {"a UTF-8 mark, spaces", {}, marked, false, false, false, Source::File, "WXYZ"},
            {"then the environment", {}, {}, true, true, true, Source::Environment, "ENVI"},
            {"then the terminal", {}, {}, false, true, false, Source::Terminal, "TYPE"},
            {"a new one typed twice", {}, {}, false, true, true, Source::Terminal, "TYPE/TYPO"},
    };
    struct Refusal
    {
        const char *name;
        std::optional<QString> option;
        std::optional<QString> file;
        bool environment; // set: a refused file is not passed over for it
        bool terminal;
        int status;
        const char *problem;
    };
    const QString none = dir.filePath(QStringLiteral("none"));
    const std::nullopt_t no = std::nullopt;
    const Refusal refusals[] = {
            {"the option and the file", "ABCD", crlf, true, true, ExitStatus::WrongUsage,
             "either --password or --password-file"},
            {"nobody to ask", no, no, false, false, ExitStatus::WrongUsage,
             "--password-file FILE or the environment variable"},
            {"a file that cannot be read", no, none, true, true, ExitStatus::Refused,
             "Не удалось прочитать файл пароля"},
            {"the reason in Russian", no, none, true, true, ExitStatus::Refused,
             "none: нет такого файла"},
            {"an empty first line", no, emptyLine, true, true, ExitStatus::Refused,
             "В первой строке файла пароля"},
            {"input ended at the prompt", no, no, false, true, ExitStatus::Refused,
             "Пароль не введён"},
    };
    clearPasswordEnvironment();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        qputenv("MIV_PASSWORD", c.environment ? "ENVI" : "");
        TypingTerminal terminal(c.terminal, {QStringLiteral("TYPE"), QStringLiteral("TYPO")});
        PasswordSources sources = relayPasswordSources(c.option, c.file);
        if (c.twice)
            sources.confirmationPrompt = QStringLiteral("Подтверждение: ");
        const PasswordChoice choice = choosePassword(sources, &terminal);
        const QStringList expected = QString::fromLatin1(c.password).split(u'/');
        EXPECT_EQ(choice.source, c.source);
        EXPECT_EQ(choice.password, expected.first());
        EXPECT_EQ(choice.confirmation, expected.last());
        EXPECT_EQ(terminal.prompts.size(), c.source != Source::Terminal ? 0 : c.twice ? 2 : 1);
    }
    for (const Refusal &r : refusals) {
        SCOPED_TRACE(r.name);
        qputenv("MIV_PASSWORD", r.environment ? "ENVI" : "");
        TypingTerminal terminal(r.terminal, {});
        const PasswordChoice choice =
                choosePassword(relayPasswordSources(r.option, r.file), &terminal);
        EXPECT_FALSE(choice.found());
        EXPECT_EQ(choice.failureStatus, r.status);
        EXPECT_TRUE(choice.problem.contains(QString::fromUtf8(r.problem)))
                << choice.problem.toStdString();
    }
#ifdef Q_OS_UNIX
    // A file others may read is taken with a warning, as ssh warns of a key.
    for (const bool othersRead : {true, false}) {
        QFile::setPermissions(
                crlf,
                QFileDevice::ReadOwner | QFileDevice::WriteOwner
                        | (othersRead ? QFileDevice::ReadOther : QFileDevice::Permissions()));
        const PasswordChoice choice = choosePassword(relayPasswordSources(no, crlf), nullptr);
        EXPECT_EQ(choice.password, QStringLiteral("QRST"));
        EXPECT_EQ(choice.warning.contains(QStringLiteral("могут читать другие пользователи")),
                  othersRead)
                << choice.warning.toStdString();
    }
#endif
}

// Each command that writes takes its password before it opens the port, and
// a value typed where an option was due is never shown.
TEST(Mivctl, passwordsAreTakenBeforeThePortAndNeverShown)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("front.ini"));
    const QString port = dir.filePath(QStringLiteral("no-such-port"));
    const QString noFile = dir.filePath(QStringLiteral("no-such-file"));
    clearPasswordEnvironment();
    struct Case
    {
        QStringList arguments;
        int status;
    };
    const Case cases[] = {
            {{"config", "write", "1", "--password-file", noFile, "--load", noFile},
             ExitStatus::Refused},
            {{"timer", "write", "6", "--password", "SECRET", "--password-file", noFile},
             ExitStatus::WrongUsage},
            {{"password", "6", "SECRET", "--new", "ABCD"}, ExitStatus::WrongUsage},
            {{"config", "write", "1", "--password", "SECRET", "SECRET", noFile},
             ExitStatus::WrongUsage},
            {{"password", "6", "--old", "SECRET", "--new-file", noFile}, ExitStatus::Refused},
            // Given, the password lets the command go on to the port.
            {{"timer", "write", "6", "--password", "SECRET"}, ExitStatus::LinkFailure},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        const RunResult result =
                run(QStringList{QStringLiteral("--port"), port} + c.arguments, ini);
        EXPECT_EQ(result.status, c.status) << result.err.toStdString();
        EXPECT_FALSE(result.err.contains(QStringLiteral("SECRET"))) << result.err.toStdString();
    }
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

    // "-" writes the one output asked for to standard output.
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("motor.miv"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringEncoder("windows-1251")
                        .encode(QStringLiteral("[Параметры]\r\nКоэффициент трансформации=10\r\n")));
    }
    QProcess sheet;
    sheet.start(program,
                {QStringLiteral("settings"), QStringLiteral("sheet"), file,
                 QStringLiteral("--type"), QStringLiteral("4"), QStringLiteral("--csv"),
                 QStringLiteral("-")});
    ASSERT_TRUE(sheet.waitForFinished(10000));
    EXPECT_EQ(sheet.exitCode(), 0) << sheet.readAllStandardError().toStdString();
    EXPECT_TRUE(sheet.readAllStandardOutput().startsWith(
            "\xEF\xBB\xBF" + QStringLiteral("Лист настроек").toUtf8()));

    // The window's --help prints its options and opens no window.
    const QString window = qEnvironmentVariable("MIV_BIN_DIR") + QStringLiteral("/mivconf");
    if (QFileInfo::exists(window)) {
        QProcess windowHelp;
        windowHelp.start(window, {QStringLiteral("--help")});
        ASSERT_TRUE(windowHelp.waitForFinished(10000)) << "mivconf --help started the window";
        EXPECT_EQ(windowHelp.exitCode(), 0);
        EXPECT_TRUE(windowHelp.readAllStandardOutput().contains("--port tcp://HOST:PORT"));
    }
}

} // namespace

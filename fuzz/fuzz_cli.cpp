// mivctl's command line: the fuzz input is the argument list, split at NUL
// bytes and line breaks (UTF-8). The options before the command are parsed
// and put over port settings; then the command parses its own arguments as
// far as it can without a relay: the port it would open never exists, so
// every command ends at the latest where it would open the line. A folder a
// command would make is made in the scratch folder instead, and so are the
// files of "settings", which works on a settings file with no line at all,
// and the sheets a command would write.
#include "cli/AddressList.h"
#include "cli/CliContext.h"
#include "cli/CliOptions.h"
#include "cli/CommandAddress.h"
#include "cli/Commands.h"
#include "FuzzInput.h"

using namespace miv::cli;

using namespace miv;

namespace {

QStringList argumentsOf(const uint8_t *data, size_t size)
{
    QStringList arguments;
    QByteArray current;
    for (size_t i = 0; i < size; ++i) {
        const char c = char(data[i]);
        if (c == '\0' || c == '\n') {
            arguments << QString::fromUtf8(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.isEmpty())
        arguments << QString::fromUtf8(current);
    return arguments;
}

void checkAddressLists(const QStringList &arguments)
{
    for (const QString &argument : arguments) {
        if (const std::optional<quint8> address = parseRelayAddress(argument))
            FUZZ_EXPECT(*address >= 1 && *address <= 247);
        const std::optional<QList<quint8>> list = parseAddressList(argument);
        if (!list)
            continue;
        FUZZ_EXPECT(!list->isEmpty());
        for (qsizetype i = 0; i < list->size(); ++i) {
            FUZZ_EXPECT(list->at(i) >= 1 && list->at(i) <= 247);
            FUZZ_EXPECT(list->indexOf(list->at(i)) == i);
        }
    }
}

void runCommand(const Command &command, GlobalOptions options)
{
    options.port = PortOverride{PortSettings::Transport::Serial,
                                scratchPath(QStringLiteral("no-such-folder/no-such-port"))};
    QStringList &arguments = options.commandArguments;
    for (qsizetype i = 0; i + 1 < arguments.size(); ++i)
        if (arguments[i] == QLatin1String("--save-dir"))
            arguments[i + 1] = scratchPath(QStringLiteral("save-dir"));
    for (qsizetype i = 0; i + 1 < arguments.size(); ++i)
        for (const char *output : {"--xls", "--pdf", "--csv"})
            if (arguments[i] == QLatin1String(output))
                arguments[i + 1] =
                        scratchPath(QStringLiteral("sheet.") + QLatin1String(output + 2));
    if (command.name == QLatin1String("settings") && arguments.size() > 1)
        arguments[1] = scratchPath(QStringLiteral("settings.miv"));

    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    QString noAnswers;
    QTextStream answers(&noAnswers);
    CliContext context(options, scratchPath(QStringLiteral("missing-front.ini")), outStream,
                       errStream);
    context.console().setAnswerInput(&answers);
    const int status = command.run(context, options.commandArguments);
    FUZZ_EXPECT(status >= ExitStatus::Done && status <= ExitStatus::Different);
    FUZZ_EXPECT(!context.link().isOpen());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ensureCoreApplication();
    static const bool dataFolderSet =
            qputenv("MIV_DATA_DIR", scratchPath(QStringLiteral("data")).toLocal8Bit());
    FUZZ_EXPECT(dataFolderSet);

    const QStringList arguments = argumentsOf(data, size);
    checkAddressLists(arguments);
    QString error;
    const std::optional<GlobalOptions> options = parseGlobalOptions(arguments, &error);
    if (!options) {
        FUZZ_EXPECT(!error.isEmpty());
        return 0;
    }
    if (!options->command.isEmpty()) {
        const qsizetype at = arguments.size() - options->commandArguments.size() - 1;
        FUZZ_EXPECT(at >= 0
                    && (arguments[at] == options->command
                        || options->command == QLatin1String("help")));
    }
    PortSettings settings;
    options->applyTo(settings);
    (void)settings.lineName();

    const Command *command = findCommand(options->command);
    // "ports" lists the machine's serial ports: nothing of the input is parsed there.
    if (command && command->name != QLatin1String("ports"))
        runCommand(*command, *options);
    return 0;
}

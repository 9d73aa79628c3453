#include "cli/SheetOutputs.h"

#include "cli/CliContext.h"
#include "cli/CliOptions.h"
#include "cli/Commands.h"
#include "cli/SheetPdfDrawing.h"
#include "core/FileErrorReason.h"
#include "core/FileReplacement.h"
#include "core/SameFile.h"

#include <QDir>
#include <QFile>

#if defined(Q_OS_UNIX)
#  include <cerrno>
#  include <sys/stat.h>
#  include <unistd.h>
#endif

namespace miv::cli {

std::optional<QString> clashingOutputs(const QList<NamedOutput> &outputs, const QStringList &inputs)
{
    for (qsizetype i = 0; i < outputs.size(); ++i) {
        const NamedOutput &output = outputs[i];
        if (output.path == standardOutputName) {
            if (outputs.size() > 1)
                return output.option
                        + QStringLiteral(" - (standard output) only where one output is given");
            continue;
        }
        for (qsizetype j = i + 1; j < outputs.size(); ++j)
            if (outputs[j].path != standardOutputName
                && namesSameFile(output.path, outputs[j].path))
                return QStringLiteral("%1 and %2 name the same file (%3): one would replace the "
                                      "other; give two files")
                        .arg(output.option, outputs[j].option,
                             QDir::toNativeSeparators(outputs[j].path));
        for (const QString &input : inputs)
            if (namesSameFile(output.path, input))
                return QStringLiteral("%1 names the input file (%2): it would be replaced")
                        .arg(output.option, QDir::toNativeSeparators(output.path));
    }
    return std::nullopt;
}

std::optional<QString> unwritableOutput(const QList<NamedOutput> &outputs)
{
    for (const NamedOutput &output : outputs)
        if (output.path != standardOutputName)
            if (const std::optional<QString> problem = outputProblem(output.path))
                return problem;
    return std::nullopt;
}

bool writeOutput(CliContext &context, const QString &path, const QByteArray &bytes)
{
    if (path == standardOutputName) {
        // Text already printed goes first; the bytes as they are, not as text.
        context.out().flush();
        QFile output;
        if (output.open(stdout, QIODevice::WriteOnly) && output.write(bytes) == bytes.size()
            && output.flush())
            return true;
        context.err() << QStringLiteral("Не удалось вывести файл: ")
                      << fileErrorReason(output, lastSystemError()) << Qt::endl;
        return false;
    }
    QString error;
    if (replaceFile(path, bytes, &error))
        return true;
    context.err() << error << Qt::endl;
    return false;
}

namespace {

QList<NamedOutput> namedOutputs(const SheetOutputs &outputs)
{
    QList<NamedOutput> named;
    if (!outputs.xls.isEmpty())
        named.append({QStringLiteral("--xls"), outputs.xls});
    if (!outputs.pdf.isEmpty())
        named.append({QStringLiteral("--pdf"), outputs.pdf});
    if (!outputs.csv.isEmpty())
        named.append({QStringLiteral("--csv"), outputs.csv});
    return named;
}

} // namespace

std::optional<SheetOutputs> parseSheetOutputs(const QStringList &options, QString *problem,
                                              const QStringList &inputs)
{
    SheetOutputs outputs;
    for (qsizetype i = 0; i < options.size(); i += 2) {
        const QString &name = options[i];
        QString *target = name == QStringLiteral("--xls") ? &outputs.xls
                : name == QStringLiteral("--pdf")         ? &outputs.pdf
                : name == QStringLiteral("--csv")         ? &outputs.csv
                                                          : nullptr;
        if (!target) {
            *problem = QStringLiteral("unknown option ") + name;
            return std::nullopt;
        }
        if (i + 1 >= options.size() || options[i + 1].isEmpty()) {
            *problem = QStringLiteral("a file name is missing after ") + name;
            return std::nullopt;
        }
        if (!target->isEmpty()) {
            *problem = name + QStringLiteral(" given twice");
            return std::nullopt;
        }
        *target = options[i + 1];
    }
    const QList<NamedOutput> named = namedOutputs(outputs);
    if (named.isEmpty()) {
        *problem = QStringLiteral("a sheet needs --xls, --pdf or --csv");
        return std::nullopt;
    }
    if (const std::optional<QString> clash = clashingOutputs(named, inputs)) {
        *problem = *clash;
        return std::nullopt;
    }
    return outputs;
}

int writeOutputs(CliContext &context, const SheetOutputs &outputs, const OutputMaker &make)
{
    const QList<NamedOutput> named = namedOutputs(outputs);
    if (const std::optional<QString> problem = unwritableOutput(named)) {
        context.err() << *problem << Qt::endl;
        return ExitStatus::Refused;
    }
    // Every file is made before the first is written: one that cannot be
    // made leaves every output as it was.
    QList<QByteArray> files;
    for (const NamedOutput &output : named) {
        const OutputFormat format = output.option == QStringLiteral("--pdf") ? OutputFormat::Pdf
                : output.option == QStringLiteral("--csv")                   ? OutputFormat::Csv
                                                                             : OutputFormat::Xls;
        QString reason;
        const std::optional<QByteArray> bytes = make(format, &reason);
        if (!bytes) {
            context.err() << "mivctl: " << reason << Qt::endl;
            return ExitStatus::Refused;
        }
        if (bytes->isEmpty()) {
            context.err() << fileWriteError(output.path, reason) << Qt::endl;
            return ExitStatus::Refused;
        }
        files.append(*bytes);
    }
    for (qsizetype i = 0; i < named.size(); ++i)
        if (!writeOutput(context, named[i].path, files[i]))
            return ExitStatus::Refused;
    return ExitStatus::Done;
}

int writeSheet(CliContext &context, const SettingsSheet::Document &document,
               const SheetOutputs &outputs)
{
    return writeOutputs(
            context, outputs,
            [&document](OutputFormat format, QString *reason) -> std::optional<QByteArray> {
                switch (format) {
                case OutputFormat::Pdf:
                    // Drawn by the library that main() loaded for --pdf.
                    return drawSheetPdf(document, reason);
                case OutputFormat::Csv:
                    return SettingsSheet::csvText(document);
                case OutputFormat::Xls:
                    break;
                }
                return SettingsSheet::workbook(document).toBiff8(reason);
            });
}

bool asksForPdf(const QStringList &programArguments)
{
    QString error;
    const std::optional<GlobalOptions> options = parseGlobalOptions(programArguments, &error);
    if (!options)
        return false;
    const bool sheetCommand = options->command == QStringLiteral("settings")
            || options->command == QStringLiteral("config");
    const bool reportCommand = options->command == QStringLiteral("registry")
            && options->commandArguments.value(0) == QStringLiteral("report");
    return ((sheetCommand && options->commandArguments.value(0) == QStringLiteral("sheet"))
            || reportCommand)
            && options->commandArguments.contains(QStringLiteral("--pdf"));
}

void chooseOffscreenWithoutDisplay()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    provideRuntimeFolder();
#endif
}

void provideRuntimeFolder()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return;
    // The folder Qt would fall back to, made as Qt wants it: the user's own,
    // open to him alone. Anything else Qt has to say is still said.
    const QByteArray folder =
            QFile::encodeName(QDir::tempPath()) + "/runtime-" + QByteArray::number(::geteuid());
    if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST)
        return;
    struct stat status
    { };
    if (::lstat(folder.constData(), &status) != 0 || !S_ISDIR(status.st_mode)
        || status.st_uid != ::geteuid())
        return; // someone else's: left to Qt, which says so
    if ((status.st_mode & 0777) != 0700 && ::chmod(folder.constData(), 0700) != 0)
        return;
    qputenv("XDG_RUNTIME_DIR", folder);
#endif
}

} // namespace miv::cli

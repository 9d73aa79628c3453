#include "cli/SheetOutputs.h"

#include "cli/CliContext.h"
#include "cli/CliOptions.h"
#include "cli/Commands.h"
#include "report/SettingsSheetExport.h"

#include <QFileInfo>
#include <QGuiApplication>

namespace miv::cli {

namespace {

// The same file however it is named: the real path of one that exists, else
// the absolute one; Windows does not tell letter case apart.
QString fileIdentity(const QString &path)
{
    const QFileInfo info(path);
    QString identity = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
#ifdef Q_OS_WIN
    identity = identity.toLower();
#endif
    return identity;
}

} // namespace

std::optional<SheetOutputs> parseSheetOutputs(const QStringList &options, QString *problem)
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
    QStringList named;
    for (const QString *path : {&outputs.xls, &outputs.pdf, &outputs.csv})
        if (!path->isEmpty())
            named << fileIdentity(*path);
    if (named.isEmpty()) {
        *problem = QStringLiteral("a sheet needs --xls, --pdf or --csv");
        return std::nullopt;
    }
    if (named.removeDuplicates() > 0) {
        *problem = QStringLiteral("two outputs name the same file");
        return std::nullopt;
    }
    return outputs;
}

int writeSheet(CliContext &context, const SettingsSheet::Document &document,
               const SheetOutputs &outputs)
{
    using SettingsSheetExport::Format;
    const std::pair<const QString *, Format> files[] = {
            {&outputs.xls, Format::Xls}, {&outputs.pdf, Format::Pdf}, {&outputs.csv, Format::Csv}};
    for (const auto &[path, format] : files) {
        if (path->isEmpty())
            continue;
        // Fonts and painting need the QGuiApplication that main() makes for --pdf.
        if (format == Format::Pdf
            && !qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
            context.err() << "mivctl: a PDF needs the graphics library, which was not started"
                          << Qt::endl;
            return ExitStatus::Refused;
        }
        QString error;
        if (!SettingsSheetExport::write(*path, format, document, &error)) {
            context.err() << error << Qt::endl;
            return ExitStatus::Refused;
        }
    }
    return ExitStatus::Done;
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
#endif
}

} // namespace miv::cli

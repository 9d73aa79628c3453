#pragma once

#include "report/SettingsSheet.h"

#include <functional>
#include <optional>
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace miv::cli {

class CliContext;

// The files a settings sheet is written to: "--xls F", "--pdf F", "--csv F",
// any of them, at least one; "-" for standard output when only one is given.
struct SheetOutputs
{
    QString xls;
    QString pdf;
    QString csv;
};

// The name that stands for standard output where one output is asked for.
inline const QString standardOutputName = QStringLiteral("-");

// An output option and the file it names, as given.
struct NamedOutput
{
    QString option; // "--xls", "--csv", ...
    QString path;
};

// Outputs named for one command, checked before anything is read: the wrong
// usage (nullopt when none) when two outputs name one file (however named:
// through links, also to a file not made yet), an output names an input
// file, or "-" is given where more than one output is asked for.
std::optional<QString> clashingOutputs(const QList<NamedOutput> &outputs,
                                       const QStringList &inputs = {});

// Every output checked before any is written (miv::outputProblem): the
// first one that cannot be written, for the operator; nullopt when all may.
std::optional<QString> unwritableOutput(const QList<NamedOutput> &outputs);

// Writes `bytes` to the output `path`: "-" to standard output, any other name
// through miv::replaceFile. False with the reason on stderr.
bool writeOutput(CliContext &context, const QString &path, const QByteArray &bytes);

// The options after the command's own argument; nullopt (with the problem)
// for an unknown option, a missing file name, an option given twice, none
// given, or outputs that clash with each other or with `inputs`
// (clashingOutputs; checked before anything is read).
std::optional<SheetOutputs> parseSheetOutputs(const QStringList &options, QString *problem,
                                              const QStringList &inputs = {});

// Writes a document to every output, once every output was found writable
// and every file was made: `make` gives the file of a format, nullopt with
// the reason when it cannot be drawn, empty with the reason when it cannot
// be laid out. ExitStatus::Done, or Refused with the reason on stderr, and
// then nothing written when the problem showed before the first.
enum class OutputFormat { Xls, Pdf, Csv };
using OutputMaker = std::function<std::optional<QByteArray>(OutputFormat format, QString *reason)>;
int writeOutputs(CliContext &context, const SheetOutputs &outputs, const OutputMaker &make);

// Writes the settings sheet to every output, once every output was found
// writable: ExitStatus::Done, or Refused with the reason on stderr, and
// then nothing written when the problem showed before the first.
int writeSheet(CliContext &context, const miv::SettingsSheet::Document &document,
               const SheetOutputs &outputs);

// Whether mivctl's arguments ask for a sheet as PDF: drawing it needs a
// QGuiApplication, which mivctl creates only then.
bool asksForPdf(const QStringList &programArguments);

// Before that QGuiApplication: with no display to show on (a shell on a
// server, a CI run), the offscreen platform, which needs none.
// It also provides the runtime folder (provideRuntimeFolder).
void chooseOffscreenWithoutDisplay();

// Where XDG_RUNTIME_DIR is not set (a shell of su, a service, a CI run): the
// user's own folder in the temporary folder, made with mode 0700, named by it
// for this process, so that the graphics library finds one and prints no
// warning on every PDF. A folder that is not the user's is left alone.
void provideRuntimeFolder();

} // namespace miv::cli

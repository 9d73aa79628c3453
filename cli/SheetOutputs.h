#pragma once

#include "report/SettingsSheet.h"

#include <optional>
#include <QString>
#include <QStringList>

namespace miv::cli {

class CliContext;

// The files a settings sheet is written to: "--xls F", "--pdf F", "--csv F",
// any of them, at least one.
struct SheetOutputs
{
    QString xls;
    QString pdf;
    QString csv;
};

// The options after the command's own argument; nullopt (with the problem)
// for an unknown option, a missing file name, an option given twice, none
// given, or two outputs naming one file (checked before anything is read).
std::optional<SheetOutputs> parseSheetOutputs(const QStringList &options, QString *problem);

// Writes the document to every output. ExitStatus::Done, or Refused with
// the reason on stderr when a file could not be written.
int writeSheet(CliContext &context, const miv::SettingsSheet::Document &document,
               const SheetOutputs &outputs);

// Whether mivctl's arguments ask for a sheet as PDF: drawing it needs a
// QGuiApplication, which mivctl creates only then.
bool asksForPdf(const QStringList &programArguments);

// Before that QGuiApplication: with no display to show on (a shell on a
// server, a CI run), the offscreen platform, which needs none.
void chooseOffscreenWithoutDisplay();

} // namespace miv::cli

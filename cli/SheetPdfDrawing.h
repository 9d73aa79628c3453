#pragma once

#include "report/SettingsSheet.h"

#include <memory>
#include <optional>
#include <QByteArray>
#include <QCoreApplication>
#include <QString>

namespace miv::cli {

// mivctl's way to the settings sheet's PDF: the "sheetpdf" library of the
// window's package (report/SettingsSheetPdfLibrary.h), loaded once per run,
// starts the graphics in place of the core application and draws the sheet.
// mivctl itself links no QtGui, so its package installs on a headless
// gateway without graphics libraries.

// Loads the library from beside the program or the installed library
// folder; false with the reason, naming the package that brings it.
bool loadSheetPdfLibrary(const QString &programFolder, QString *problem);

// The QGuiApplication of the loaded library; no other application object
// may exist. Null when the library is not loaded.
std::unique_ptr<QCoreApplication> startSheetPdfGraphics(int &argc, char **argv);

// The document's PDF; nullopt with the reason when the library is not
// loaded or the graphics were not started.
std::optional<QByteArray> drawSheetPdf(const SettingsSheet::Document &document, QString *problem);

} // namespace miv::cli

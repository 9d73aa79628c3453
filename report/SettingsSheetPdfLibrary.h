#pragma once

#include "report/SettingsSheet.h"

#include <QByteArray>
#include <QString>

class QCoreApplication;

// The settings sheet's PDF for a program that links no QtGui (mivctl): the
// drawing of SettingsSheetPdf in a library of its own, "sheetpdf", loaded at
// run time from where the about library lies (loadProgramLibrary of
// core/ProgramFolders.h) and reached through the two exports below. The
// window's package carries it, so that mivctl's package pulls no graphics,
// X11 or widget libraries; the window links the drawing itself.
namespace miv::SettingsSheetPdfLibrary {

inline const QString name = QStringLiteral("sheetpdf");

// Starts the QGuiApplication that fonts and painting need. No other
// application object may exist; the caller owns the one returned.
using StartGraphicsFunction = QCoreApplication *(*)(int &argc, char **argv);
inline constexpr char startGraphicsName[] = "mivStartSheetGraphics";

// The document's PDF, drawn once the graphics are started.
using DrawFunction = void (*)(const SettingsSheet::Document &document, QByteArray *pdf);
inline constexpr char drawName[] = "mivDrawSettingsSheetPdf";

} // namespace miv::SettingsSheetPdfLibrary

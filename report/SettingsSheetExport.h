#pragma once

#include "report/JournalReport.h"
#include "report/SettingsSheet.h"

#include <QString>

namespace miv {

class Operator;
struct RelaySession;

// "Лист настроек...": the settings sheet of the grid, written in the format
// the file's name asks for. Lives with the PDF writer (QtGui).
namespace SettingsSheetExport {

// What the save dialog offers; a name without an extension gets ".xls".
inline const QString filter = QStringLiteral("Excel File (*.xls);;PDF (*.pdf);;CSV (*.csv)");
inline const QString defaultSuffix = QStringLiteral("xls");

enum class Format { Xls, Pdf, Csv };
// ".pdf" and ".csv" in any case give those; every other name a workbook.
Format formatOf(const QString &path);

// The document as the file `format` makes; empty (with the reason) when it
// cannot be made.
QByteArray bytes(Format format, const SettingsSheet::Document &document, QString *reason = nullptr);

// Writes the document in `format`, through a temporary file beside `path`
// that replaces an existing file only once complete.
bool write(const QString &path, Format format, const SettingsSheet::Document &document,
           QString *error = nullptr);

// The window's whole action: the save dialog, the sheet of the session at
// the current local time written where the operator chose (the port named
// by the session's audit log), then the journal report's question whether
// to open it. Opening is the window's. Nothing happens while there is no
// sheet to make (SettingsSheet::available).
JournalReport::Outcome makeSheet(const RelaySession &session, Operator &op);

} // namespace SettingsSheetExport

} // namespace miv

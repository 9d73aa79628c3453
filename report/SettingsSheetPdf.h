#pragma once

#include "report/SettingsSheet.h"

#include <QByteArray>
#include <QString>

namespace miv {

// The settings sheet as a PDF: A4 pages, the text in a font embedded in the
// file (so that it prints anywhere and text extraction reads it back), the
// parameter table's headings repeated on a page it continues on, and
// "Страница N из M" at the foot of every page. It draws with QtGui and needs
// a QGuiApplication; it lives apart from the core, which has no QtGui.
namespace SettingsSheetPdf {

QByteArray pdf(const SettingsSheet::Document &document);

// Written through a temporary file beside `path` that replaces an existing
// file only once complete. False with `error` naming the file.
bool write(const QString &path, const SettingsSheet::Document &document, QString *error = nullptr);

} // namespace SettingsSheetPdf

} // namespace miv

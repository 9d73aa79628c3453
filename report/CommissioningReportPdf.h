#pragma once

#include "report/CommissioningReport.h"

#include <QByteArray>
#include <QString>

namespace miv {

// The commissioning report as a PDF, drawn as the settings sheet's PDF is
// (report/SettingsSheetPdf.cpp, which draws both): A4 landscape, the font
// embedded, the table's headings repeated on a page it continues on,
// "Страница N из M" at the foot. Needs a QGuiApplication.
namespace CommissioningReportPdf {

QByteArray pdf(const CommissioningReport::Document &document);
bool write(const QString &path, const CommissioningReport::Document &document,
           QString *error = nullptr);

} // namespace CommissioningReportPdf

} // namespace miv

#pragma once

#include "report/CommissioningReport.h"

#include <QString>

namespace miv {

// The commissioning report written from the window: a workbook, a PDF or a
// CSV file, as its name asks (the settings sheet's choice). Lives with the
// PDF writer (QtGui).
namespace CommissioningReportExport {

// Through a temporary file beside `path` that replaces an existing file
// only once complete. False with `error` naming the file and the reason.
bool write(const QString &path, const CommissioningReport::Document &document,
           QString *error = nullptr);

} // namespace CommissioningReportExport

} // namespace miv

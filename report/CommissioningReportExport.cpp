#include "report/CommissioningReportExport.h"

#include "report/CommissioningReportPdf.h"
#include "report/SettingsSheetExport.h"

namespace miv {

namespace CommissioningReportExport {

bool write(const QString &path, const CommissioningReport::Document &document, QString *error)
{
    switch (SettingsSheetExport::formatOf(path)) {
    case SettingsSheetExport::Format::Pdf:
        return CommissioningReportPdf::write(path, document, error);
    case SettingsSheetExport::Format::Csv:
        return CommissioningReport::writeCsv(path, document, error);
    case SettingsSheetExport::Format::Xls:
        break;
    }
    return CommissioningReport::writeWorkbook(path, document, error);
}

} // namespace CommissioningReportExport

} // namespace miv

#include "report/SettingsSheetExport.h"

#include "core/Operator.h"
#include "link/RelaySession.h"
#include "report/SettingsSheetPdf.h"
#include "report/XlsWorkbook.h"

#include <QFileInfo>

namespace miv {

namespace SettingsSheetExport {

Format formatOf(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix();
    if (suffix.compare(QStringLiteral("pdf"), Qt::CaseInsensitive) == 0)
        return Format::Pdf;
    if (suffix.compare(QStringLiteral("csv"), Qt::CaseInsensitive) == 0)
        return Format::Csv;
    return Format::Xls;
}

QByteArray bytes(Format format, const SettingsSheet::Document &document, QString *reason)
{
    switch (format) {
    case Format::Pdf:
        return SettingsSheetPdf::pdf(document);
    case Format::Csv:
        return SettingsSheet::csvText(document);
    case Format::Xls:
        break;
    }
    return SettingsSheet::workbook(document).toBiff8(reason);
}

bool write(const QString &path, Format format, const SettingsSheet::Document &document,
           QString *error)
{
    switch (format) {
    case Format::Pdf:
        return SettingsSheetPdf::write(path, document, error);
    case Format::Csv:
        return SettingsSheet::writeCsv(path, document, error);
    case Format::Xls:
        break;
    }
    return SettingsSheet::writeWorkbook(path, document, error);
}

JournalReport::Outcome makeSheet(const RelaySession &session, Operator &op)
{
    JournalReport::Outcome outcome;
    if (!SettingsSheet::available(session))
        return outcome;
    outcome.path = op.askSaveFileName(filter, defaultSuffix);
    if (outcome.path.isEmpty())
        return outcome;
    if (QFileInfo(outcome.path).suffix().isEmpty())
        outcome.path += u'.' + defaultSuffix;
    const QString port = session.audit.portName ? session.audit.portName() : QString();
    const SettingsSheet::Document document =
            SettingsSheet::build(session, port, QDateTime::currentDateTime());
    QString error;
    if (!write(outcome.path, formatOf(outcome.path), document, &error)) {
        op.message(Operator::Icon::Error, error);
        outcome.kind = JournalReport::Outcome::Kind::Failed;
        return outcome;
    }
    outcome.kind = JournalReport::Outcome::Kind::Written;
    op.keepAlive();
    outcome.open =
            op.message(Operator::Icon::Question, JournalReport::finishedQuestion(outcome.path),
                       Operator::Buttons::YesNo)
            == Operator::Answer::Yes;
    return outcome;
}

} // namespace SettingsSheetExport

} // namespace miv

#include "report/JournalReport.h"

#include "core/CurrentDevice.h"
#include "core/FileReplacement.h"
#include "core/JournalGrid.h"
#include "core/Operator.h"
#include "device/SoftwareVersion.h"
#include "link/RelaySession.h"
#include "report/CsvLine.h"

#include <QDir>
#include <QFileInfo>

namespace miv {

namespace JournalReport {

Format formatOf(const QString &path)
{
    return QFileInfo(path).suffix().compare(QStringLiteral("csv"), Qt::CaseInsensitive) == 0
            ? Format::Csv
            : Format::Xls;
}

JournalReportLayout::Input reportHeading(const QString &deviceName, quint16 factoryNumber,
                                         quint16 softwareVersion, const QDateTime &moment)
{
    JournalReportLayout::Input input;
    input.date = JournalReportLayout::dateText(moment);
    input.deviceName = deviceName;
    input.factoryNumber = factoryNumber;
    input.softwareVersion = softwareVersionText(softwareVersion);
    return input;
}

JournalReportLayout::Input reportInput(const CurrentDevice &device, const JournalGrid &journal,
                                       const QDateTime &moment)
{
    JournalReportLayout::Input input =
            reportHeading(device.deviceName, device.factoryNumber, device.softwareVersion, moment);
    for (int row = 0; row < journal.rowCount(); ++row)
        input.journal.append({journal.text(row, JournalGrid::Date),
                              journal.text(row, JournalGrid::Event),
                              journal.text(row, JournalGrid::Details), QString()});
    return input;
}

QByteArray csvText(const JournalGrid &journal)
{
    QByteArray out("\xEF\xBB\xBF");
    QStringList header;
    for (const QString &caption : JournalGrid::captions())
        header << caption;
    out += csvLine(header);
    for (int row = 0; row < journal.rowCount(); ++row) {
        if (journal.text(row, JournalGrid::Event).isEmpty())
            continue;
        out += csvLine({journal.text(row, JournalGrid::Number),
                        journal.text(row, JournalGrid::Date), journal.text(row, JournalGrid::Event),
                        journal.text(row, JournalGrid::Details)});
    }
    return out;
}

bool writeCsv(const QString &path, const JournalGrid &journal, QString *error)
{
    const QByteArray bytes = csvText(journal);
    return replaceFile(path, bytes, error);
}

bool writeWorkbook(const QString &path, const CurrentDevice &device, const JournalGrid &journal,
                   const QDateTime &moment, QString *error)
{
    return JournalReportLayout::build(reportInput(device, journal, moment)).save(path, error);
}

bool write(const QString &path, const CurrentDevice &device, const JournalGrid &journal,
           const QDateTime &moment, QString *error)
{
    if (formatOf(path) == Format::Csv)
        return writeCsv(path, journal, error);
    return writeWorkbook(path, device, journal, moment, error);
}

QString finishedQuestion(const QString &path)
{
    return QStringLiteral("Формирование файла завершено\rФайл: \"%1\"\rОткрыть файл?")
            .arg(QDir::toNativeSeparators(path));
}

Outcome saveReport(Operator &op, const QString &fileFilter, const QString &suffix,
                   const ReportWriter &writeFile)
{
    Outcome outcome;
    outcome.path = op.askSaveFileName(fileFilter, suffix);
    if (outcome.path.isEmpty())
        return outcome;
    QString error;
    if (!writeFile(outcome.path, &error)) {
        op.message(Operator::Icon::Error, error);
        outcome.kind = Outcome::Kind::Failed;
        return outcome;
    }
    outcome.kind = Outcome::Kind::Written;
    op.keepAlive();
    outcome.open = op.message(Operator::Icon::Question, finishedQuestion(outcome.path),
                              Operator::Buttons::YesNo)
            == Operator::Answer::Yes;
    return outcome;
}

Outcome makeReport(const RelaySession &session, Operator &op)
{
    return saveReport(op, filter, defaultSuffix, [&session](const QString &path, QString *error) {
        return write(path, session.device, session.journal, QDateTime::currentDateTime(), error);
    });
}

} // namespace JournalReport

} // namespace miv

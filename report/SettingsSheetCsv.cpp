#include "core/FileReplacement.h"
#include "report/CsvLine.h"
#include "report/SettingsSheet.h"

namespace miv {

namespace SettingsSheet {
namespace {

void appendLine(QByteArray &out, const QStringList &fields)
{
    out += csvLine(fields, u';');
}

void appendFields(QByteArray &out, const QList<Field> &fields)
{
    for (const Field &field : fields)
        appendLine(out, {field.label, field.value});
}

} // namespace

QByteArray csvText(const Document &document)
{
    QByteArray out("\xEF\xBB\xBF");
    appendLine(out, {document.title});
    appendFields(out, document.header);
    out += "\r\n";
    appendLine(out, parameterHeadings());
    for (const ParameterLine &line : document.parameters)
        appendLine(out, {line.menuNumber(), line.name, line.value, line.range});
    if (!document.timer.isEmpty()) {
        out += "\r\n";
        appendLine(out, {timerTitle});
        appendFields(out, document.timer);
    }
    out += "\r\n";
    for (const QString &role : document.signatures) {
        QStringList fields{role};
        for (const QString &part : signatureParts())
            fields << part + u':';
        appendLine(out, fields);
    }
    return out;
}

bool writeCsv(const QString &path, const Document &document, QString *error)
{
    return replaceFile(path, csvText(document), error);
}

} // namespace SettingsSheet

} // namespace miv

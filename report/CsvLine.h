#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QStringList>

namespace miv {

// One line of a UTF-8 CSV file as RFC 4180 asks: a field holding the
// separator, a quote or a line break in double quotes, quotes doubled; the
// line ended by CR LF. The journal separates by commas, the settings sheet,
// whose values hold decimal commas, by semicolons.
void appendCsvLine(QByteArray &out, const QStringList &fields, QChar separator);

} // namespace miv

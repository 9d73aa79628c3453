#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QChar>
#include <QString>
#include <QStringList>

namespace miv {

// One CSV line in UTF-8 as RFC 4180 asks: a field holding the separator, a
// quote or a line break in double quotes, quotes doubled; the fields joined
// by the separator and the line ended by `lineEnd`. The journal and the live
// values separate by commas, the settings sheet, whose values hold decimal
// commas, by semicolons.
QByteArray csvLine(const QStringList &fields, QChar separator = u',',
                   QByteArrayView lineEnd = "\r\n");

} // namespace miv

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace miv {

// One CSV line in UTF-8 as RFC 4180 asks: a field with a comma, a quote or a
// line break in double quotes, quotes doubled; the fields joined by commas and
// the line ended by `lineEnd`.
QByteArray csvLine(const QStringList &fields, QByteArrayView lineEnd = "\r\n");

} // namespace miv

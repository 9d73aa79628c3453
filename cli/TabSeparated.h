#pragma once

#include <QString>
#include <QStringList>

namespace miv::cli {

// One line of mivctl's tab-separated output, without its line end: the
// fields joined by tabs, a backslash, tab, line feed or carriage return in a
// field written as \\, \t, \n, \r, so that free text (a tag, a note) never
// splits a line or a column and can be read back exactly.
QString tabSeparatedLine(const QStringList &fields);

} // namespace miv::cli

#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace miv {

// The four memo lines that describe a relay's interface word (register 65):
// speed, parity, data bits, stop bits. Each is the text of the group's set
// bit; when several bits of a group are set the last one tested wins, and a
// group without a set bit gives an empty line.
QStringList interfaceWordLines(quint16 word);

} // namespace miv

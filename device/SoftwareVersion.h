#pragma once

#include <QString>
#include <QtGlobal>

namespace miv {

// The software-version text of a relay's version word: "v" N " от " D.M.(2008+Y)
// with N bits 15-11, D bits 10-6, M bits 5-2, Y bits 1-0, no leading zeros.
// 2332 gives "v1 от 4.7.2008".
QString softwareVersionText(quint16 word);

} // namespace miv

#pragma once

#include <optional>
#include <QList>
#include <QString>

namespace miv::cli {

// A list of relay addresses as the commands take it: addresses 1 to 247 and
// ranges "A-B" (A not above B), separated by commas: "1", "1,6,17", "1-32",
// "1,3-5". The addresses in the order given; nullopt for an empty item, a
// number out of range, a reversed range, an address given twice or anything
// else.
std::optional<QList<quint8>> parseAddressList(const QString &text);

} // namespace miv::cli

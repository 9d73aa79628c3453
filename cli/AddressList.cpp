#include "cli/AddressList.h"

#include "cli/CommandAddress.h"

#include <algorithm>

namespace miv::cli {

std::optional<QList<quint8>> parseAddressList(const QString &text)
{
    QList<quint8> addresses;
    const auto add = [&addresses](int address) {
        if (addresses.contains(quint8(address)))
            return false;
        addresses << quint8(address);
        return true;
    };
    for (const QString &item : text.split(u',')) {
        const qsizetype dash = item.indexOf(u'-');
        const auto first = parseRelayAddress(dash < 0 ? item : item.left(dash));
        const auto last = dash < 0 ? first : parseRelayAddress(item.mid(dash + 1));
        // toInt takes a sign and spaces; an item is digits and at most one dash.
        const bool plain = !item.isEmpty() && item.count(u'-') <= 1
                && std::all_of(item.begin(), item.end(),
                               [](QChar c) { return c.isDigit() || c == u'-'; });
        if (!plain || !first || !last || *last < *first)
            return std::nullopt;
        for (int address = *first; address <= *last; ++address)
            if (!add(address))
                return std::nullopt;
    }
    return addresses;
}

} // namespace miv::cli

#pragma once

#include <algorithm>
#include <QStringView>
#include <QtGlobal>

namespace miv {

// Numbers from digit texts, as the relay's bit words and register addresses
// are built: text of '0' and '1', most significant bit first; text of
// hexadecimal digits. Characters outside the alphabet count as 0 digits.
inline quint32 parseBinary(QStringView text)
{
    quint32 value = 0;
    for (QChar c : text)
        value = (value << 1) | (c == u'1' ? 1u : 0u);
    return value;
}

inline quint32 parseHex(QStringView text)
{
    quint32 value = 0;
    for (QChar c : text) {
        const int digit = QStringView(u"0123456789ABCDEF").indexOf(c.toUpper());
        value = (value << 4) | quint32(std::max(0, digit));
    }
    return value;
}

} // namespace miv

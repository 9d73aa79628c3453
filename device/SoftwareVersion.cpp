#include "device/SoftwareVersion.h"

namespace miv {

QString softwareVersionText(quint16 word)
{
    const int number = word >> 11;
    const int day = (word >> 6) & 0x1F;
    const int month = (word >> 2) & 0x0F;
    const int year = 2008 + (word & 0x03);
    return QStringLiteral("v%1 от %2.%3.%4").arg(number).arg(day).arg(month).arg(year);
}

} // namespace miv

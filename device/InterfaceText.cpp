#include "device/InterfaceText.h"

#include <initializer_list>
#include <utility>

namespace miv {

namespace {

using BitText = std::pair<int, QString>;

// The bits of one group in the order they are tested.
QString lineOfGroup(quint16 word, std::initializer_list<BitText> group)
{
    QString line;
    for (const BitText &entry : group)
        if (word & (1u << entry.first))
            line = entry.second;
    return line;
}

} // namespace

QStringList interfaceWordLines(quint16 word)
{
    return {
            lineOfGroup(word,
                        {{1, QStringLiteral("Скорость 4800 бит/с")},
                         {2, QStringLiteral("Скорость 9600 бит/с")},
                         {3, QStringLiteral("Скорость 19200 бит/с")},
                         {4, QStringLiteral("Скорость 38400 бит/с")}}),
            lineOfGroup(word,
                        {{6, QStringLiteral("Без бита паритета")},
                         {7, QStringLiteral("Четный бит паритета")},
                         {8, QStringLiteral("Нечетный бита паритета")}}),
            lineOfGroup(
                    word,
                    {{10, QStringLiteral("7 бит данных")}, {11, QStringLiteral("8 бит данных")}}),
            lineOfGroup(word,
                        {{13, QStringLiteral("1 стоп-бит")}, {14, QStringLiteral("2 стоп-бита")}}),
    };
}

} // namespace miv

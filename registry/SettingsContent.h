#pragma once

#include "core/RelayRecorder.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace miv {

// One item of a relay's settings as the operator reads it: a grid row 0-31
// by its name, or an item of the timer schedule of a type-6 relay ("Метка1",
// "Интервал1", "Таймер", as the settings file names them).
struct SettingsItem
{
    int row = -1; // grid row 0-31; -1 for the timer schedule
    QString name;
    QString text; // as the grid's column "Значение" shows it
};

namespace SettingsContent {

// The register values as one line of text, "0050=10;0051=250;...": registers
// in four capital hex digits, ascending, values in decimal. The register
// keeps exactly this text, so that it reads back what was recorded.
QString canonicalText(const SettingsRegisters &registers);
// The text back; nullopt for a text that is no such line.
std::optional<SettingsRegisters> fromCanonicalText(const QString &text);
// What identical contents share: a hash of the type code and the canonical
// text (hex), so that one set of settings is stored once.
QString digest(quint16 typeCode, const SettingsRegisters &registers);

// The items of a relay of this type, decoded from the raw values as the
// configuration read decodes them: rows 0-31 (rows 1 and 2 by the ratio in
// row 0, switch rows from the switch words, row 31 of a relay with no timer
// as "[фукнк. откл.]"), then for a type-6 relay the five marks (HH:mm, or the
// raw word as 0xHHHH when it is no time), the six intervals and the timer.
// A register missing from the set gives an empty text.
QList<SettingsItem> items(const SettingsRegisters &registers, quint16 typeCode,
                          QChar decimalSeparator);

// The items whose texts differ between two sets of one relay type, in item
// order.
QList<SettingsChange> changes(const SettingsRegisters &before, const SettingsRegisters &after,
                              quint16 typeCode, QChar decimalSeparator);

} // namespace SettingsContent

} // namespace miv

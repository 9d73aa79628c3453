#pragma once

#include "core/RelayRecorder.h"

#include <optional>
#include <QString>

namespace miv {

namespace SettingsContent {

// Keeps of the switch words only the bits that are settings of a relay of
// this type (the rows' bits; bit 0 of 0x81, the tank algorithm, on a type-6
// relay only; the seven timer switches), so that bits a relay reports but
// nobody sets never make two equal settings look different.
SettingsRegisters settingsOnly(SettingsRegisters registers, quint16 typeCode);

// The raw values a settings file holds for a relay of this type, as loading
// it into the grid and writing it would send them: rows 0-22 by their
// resolution (rows 1 and 2 by the file's ratio), the two switch words, and
// for a type-6 relay the five marks and the timer's switch word. nullopt
// with the reason in *error when the file cannot be read, lacks a key of
// the relay's type, or holds a value a load would refuse: such a file is
// no complete set of settings.
std::optional<SettingsRegisters> fromSettingsFile(const QString &path, quint16 typeCode,
                                                  QString *error);

} // namespace SettingsContent

} // namespace miv

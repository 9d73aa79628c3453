#pragma once

#include <array>
#include <optional>
#include <QString>

namespace miv {

class Operator;

// The relay type a settings file is opened for when no relay is at hand:
// МИВ-04 or МИВ-06 (type code 6 has the tank algorithm and the timer). The
// last type chosen is kept in "front.ini" (section "settings", key
// "RelayType"), beside the port settings, and offered first the next time.
namespace RelayTypeChoice {

inline constexpr std::array<quint16, 2> typeCodes = {4, 6};

// "МИВ-04", "МИВ-06": the name a relay of this type gives in its registers.
QString typeName(quint16 typeCode);

// The type code of a name or a bare code as mivctl's --type takes it
// ("4", "6", "МИВ-06"); nullopt for anything else.
std::optional<quint16> parseType(const QString &text);

// The type kept in `frontIni`; nullopt when none is kept, or the file cannot be read.
std::optional<quint16> lastChosen(const QString &frontIni);

// Keeps `typeCode` in `frontIni`, every other line of it as it was. False
// (with error) when the file cannot be read or replaced: it is never
// overwritten then.
bool remember(const QString &frontIni, quint16 typeCode, QString *error = nullptr);

// Asks for the type, the last one chosen offered first, and keeps the
// answer; a type that cannot be kept is only noted. nullopt when cancelled.
std::optional<quint16> ask(Operator &op, const QString &frontIni);

} // namespace RelayTypeChoice

} // namespace miv

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>

namespace miv {

// Windows-1251, the code page of the relays' texts, "front.ini" and the
// settings files, converted with the program's own table so that it works the
// same on every Qt build (Qt converts it by name only where it was built with
// ICU). Bytes below 0x80 are ASCII.
namespace Windows1251 {

// Every byte has a character; 0x98, the one byte the code page leaves
// unassigned, reads as U+FFFD.
QString decode(QByteArrayView bytes);

// The bytes of a text; nullopt when a character has no Windows-1251 byte,
// with `badCharacter` (when given) set to the first such character.
std::optional<QByteArray> encode(QStringView text, QChar *badCharacter = nullptr);

} // namespace Windows1251

} // namespace miv

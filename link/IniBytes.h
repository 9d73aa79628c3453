#pragma once

#include <QByteArrayView>
#include <QString>
#include <optional>

namespace miv {

// The judgement of a file's bytes before they are taken for INI lines. The
// program's own files ("front.ini", settings files) are a few dozen short
// lines of Windows-1251 text; an editor may have saved a hand-edited one in
// UTF-8. Anything else that arrives under such a name (a file in UTF-16, a
// binary file, a damaged or hostile one) is refused here, whole, with a
// reason the operator can act on, so that nothing of it reaches the grid,
// the port settings or a message box, and memory stays bounded.
namespace IniBytes {

enum class Encoding {
    Windows1251,
    Utf8, // a byte order mark EF BB BF, or valid UTF-8 with letters beyond ASCII
};

// A line of a real file is under a hundred characters; these leave room for
// any hand-written comment.
inline constexpr qsizetype maximumLineBytes = 4096;
inline constexpr qsizetype maximumLines = 10000;

struct Verdict
{
    // Why these bytes are no INI text (the reason only, in Russian, without
    // the file's name); none when they are.
    std::optional<QString> refusal;
    Encoding encoding = Encoding::Windows1251;
    qsizetype byteOrderMarkLength = 0; // the UTF-8 mark the text starts with, 0 or 3
};

// Refused: a byte order mark of UTF-16 or UTF-32, bytes of UTF-16 text
// without one (every second byte 00 or 04), any other control byte than
// tab, CR, LF, form feed and the old end-of-file mark 1A (binary data, NUL
// bytes), a line longer than maximumLineBytes, more lines than maximumLines.
Verdict judge(QByteArrayView bytes);

} // namespace IniBytes

} // namespace miv

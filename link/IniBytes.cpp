#include "link/IniBytes.h"

#include <algorithm>

namespace miv::IniBytes {

namespace {

const QString wrongEncoding = QStringLiteral(
        "он в кодировке %1, а файлы настроек читаются только в Windows-1251 или UTF-8; "
        "сохраните его в одной из них");
const QString binaryData =
        QStringLiteral("в нём двоичные данные (байт 0x%1 в строке %2), это не файл настроек");
const QString longLine = QStringLiteral("строка %1 длиннее %2 байт, это не файл настроек");
const QString manyLines = QStringLiteral("в нём больше %1 строк, это не файл настроек");

Verdict refused(const QString &reason)
{
    Verdict verdict;
    verdict.refusal = reason;
    return verdict;
}

bool allowedControl(uchar byte)
{
    return byte == '\t' || byte == '\r' || byte == '\n' || byte == '\f' || byte == 0x1A;
}

// Text in UTF-16 without a byte order mark: the high byte of every
// character of ASCII or Cyrillic is 00 or 04, at even places (big endian) or
// odd ones, and the low bytes are hardly ever 00. The start of the file tells.
bool looksLikeUtf16(QByteArrayView bytes)
{
    const qsizetype pairs = std::min<qsizetype>(bytes.size(), 64 * 1024) / 2;
    if (pairs == 0)
        return false;
    for (qsizetype high : {0, 1}) {
        qsizetype highBytes = 0;
        qsizetype lowNuls = 0;
        for (qsizetype pair = 0; pair < pairs; ++pair) {
            const char highByte = bytes[2 * pair + high];
            highBytes += highByte == '\0' || highByte == '\x04';
            lowNuls += bytes[2 * pair + 1 - high] == '\0';
        }
        if (highBytes * 10 >= pairs * 9 && lowNuls * 10 <= pairs)
            return true;
    }
    return false;
}

// The number of continuation bytes a UTF-8 sequence starting with `lead`
// has, and the range its first continuation byte must lie in (no overlong
// forms, no surrogates, nothing above U+10FFFF); -1 for no lead byte.
int continuationBytes(uchar lead, uchar &low, uchar &high)
{
    low = 0x80;
    high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 1;
    if (lead >= 0xE0 && lead <= 0xEF) {
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
        return 2;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
        return 3;
    }
    return -1;
}

// Valid UTF-8 with at least one character beyond ASCII. Russian text in
// Windows-1251 is never that: its letters (C0-FF) do not follow one another
// in UTF-8.
bool isUtf8BeyondAscii(QByteArrayView bytes)
{
    bool beyondAscii = false;
    for (qsizetype i = 0; i < bytes.size();) {
        const uchar lead = uchar(bytes[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        uchar low = 0;
        uchar high = 0;
        const int follow = continuationBytes(lead, low, high);
        if (follow < 0 || i + follow >= bytes.size())
            return false;
        for (int k = 1; k <= follow; ++k) {
            const uchar next = uchar(bytes[i + k]);
            if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF))
                return false;
        }
        beyondAscii = true;
        i += follow + 1;
    }
    return beyondAscii;
}

// Control bytes, line lengths and the number of lines, in one pass.
std::optional<QString> layoutRefusal(QByteArrayView bytes)
{
    qsizetype line = 1;
    qsizetype lineStart = 0;
    const auto tooLong = [&](qsizetype end) {
        const qsizetype length =
                end - lineStart - (end > lineStart && bytes[end - 1] == '\r' ? 1 : 0);
        return length > maximumLineBytes;
    };
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const uchar byte = uchar(bytes[i]);
        if (byte == '\n') {
            if (tooLong(i))
                return longLine.arg(line).arg(maximumLineBytes);
            lineStart = i + 1;
            if (++line > maximumLines && lineStart < bytes.size())
                return manyLines.arg(maximumLines);
            continue;
        }
        if (i - lineStart > maximumLineBytes) // no need to read on to its end
            return longLine.arg(line).arg(maximumLineBytes);
        if (byte < 0x20 && !allowedControl(byte)) {
            if (looksLikeUtf16(bytes))
                return wrongEncoding.arg(QStringLiteral("UTF-16"));
            return binaryData.arg(byte, 2, 16, QLatin1Char('0')).arg(line);
        }
    }
    if (tooLong(bytes.size()))
        return longLine.arg(line).arg(maximumLineBytes);
    return std::nullopt;
}

} // namespace

Verdict judge(QByteArrayView bytes)
{
    if (bytes.startsWith(QByteArrayView("\xFF\xFE\x00\x00", 4))
        || bytes.startsWith(QByteArrayView("\x00\x00\xFE\xFF", 4)))
        return refused(wrongEncoding.arg(QStringLiteral("UTF-32")));
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return refused(wrongEncoding.arg(QStringLiteral("UTF-16")));
    Verdict verdict;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        verdict.byteOrderMarkLength = 3;
        verdict.encoding = Encoding::Utf8;
    }
    const QByteArrayView text = bytes.sliced(verdict.byteOrderMarkLength);
    if (std::optional<QString> refusal = layoutRefusal(text))
        return refused(*refusal);
    if (verdict.encoding == Encoding::Windows1251 && isUtf8BeyondAscii(text))
        verdict.encoding = Encoding::Utf8;
    return verdict;
}

} // namespace miv::IniBytes

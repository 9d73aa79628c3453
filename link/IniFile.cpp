#include "link/IniFile.h"

#include "core/FileErrorReason.h"
#include "core/FileReplacement.h"
#include "core/Windows1251.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

namespace miv {

namespace {

std::optional<QStringView> sectionName(QStringView line)
{
    line = line.trimmed();
    if (!line.startsWith(u'['))
        return std::nullopt;
    const qsizetype close = line.indexOf(u']');
    if (close < 0)
        return std::nullopt;
    return line.mid(1, close - 1).trimmed();
}

// A "key=value" line split at its first '='; comments and lines without a key are none.
struct KeyLine
{
    QStringView key;
    QStringView value;
};

std::optional<KeyLine> keyLine(QStringView line)
{
    line = line.trimmed();
    if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#') || line.startsWith(u'['))
        return std::nullopt;
    const qsizetype equals = line.indexOf(u'=');
    if (equals <= 0)
        return std::nullopt;
    const QStringView key = line.first(equals).trimmed();
    if (key.isEmpty())
        return std::nullopt;
    return KeyLine{key, line.mid(equals + 1).trimmed()};
}

bool sameName(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString withoutLineBreaks(QString value)
{
    value.replace(u'\r', u' ');
    value.replace(u'\n', u' ');
    return value;
}

} // namespace

IniFile::IniFile(const QString &path) : m_path(path) { }

bool IniFile::load(QString *error)
{
    m_lines.clear();
    m_lineEnd = "\r\n";
    m_encoding = IniBytes::Encoding::Windows1251;
    m_byteOrderMark.clear();
    m_notices.clear();
    const QFileInfo info(m_path);
    if (!info.exists() && !info.isSymLink())
        return true;

    const auto fail = [&](const QString &reason) {
        if (error)
            *error = QStringLiteral("Не удалось прочитать файл %1: %2").arg(m_path, reason);
        return false;
    };
    QFile file(m_path);
    if (info.isDir())
        return fail(QStringLiteral("это каталог"));
    if (!file.open(QIODevice::ReadOnly))
        return fail(fileErrorReason(file, lastSystemError()));
    // A settings file or "front.ini" is a few kilobytes: anything far larger
    // (a wrong file, one that arrived damaged) is refused before it is read,
    // so that memory stays bounded and the program answers at once.
    const QString tooLarge =
            QStringLiteral("он больше %1 байт, это не файл настроек").arg(maximumBytes);
    if (file.size() > maximumBytes)
        return fail(tooLarge);
    // Read in pieces: asking for the whole limit at once would set aside
    // 16 MiB for a file of a few kilobytes on every read. A file that grows
    // past the limit while it is read (or a device file) is refused as well.
    constexpr qint64 pieceBytes = 64 * 1024;
    QByteArray bytes;
    int systemError = 0;
    while (bytes.size() <= maximumBytes) {
        const QByteArray piece = file.read(pieceBytes);
        if (piece.isEmpty()) {
            systemError = lastSystemError();
            break;
        }
        bytes += piece;
    }
    if (file.error() != QFileDevice::NoError)
        return fail(fileErrorReason(file, systemError));
    if (bytes.size() > maximumBytes)
        return fail(tooLarge);
    const IniBytes::Verdict verdict = IniBytes::judge(bytes);
    if (verdict.refusal)
        return fail(*verdict.refusal);

    m_encoding = verdict.encoding;
    m_byteOrderMark = bytes.first(verdict.byteOrderMarkLength);
    splitLines(QByteArrayView(bytes).sliced(verdict.byteOrderMarkLength));
    noteRepeats();
    return true;
}

QString IniFile::decoded(QByteArrayView bytes) const
{
    return m_encoding == IniBytes::Encoding::Utf8 ? QString::fromUtf8(bytes)
                                                  : Windows1251::decode(bytes);
}

void IniFile::splitLines(QByteArrayView bytes)
{
    const qsizetype firstBreak = bytes.indexOf('\n');
    if (firstBreak > 0 && bytes[firstBreak - 1] != '\r')
        m_lineEnd = "\n";

    qsizetype start = 0;
    while (start < bytes.size()) {
        const qsizetype lineBreak = bytes.indexOf('\n', start);
        Line line;
        if (lineBreak < 0) {
            line.original = bytes.sliced(start).toByteArray();
            line.ending = "";
            start = bytes.size();
        } else {
            const bool crlf = lineBreak > start && bytes[lineBreak - 1] == '\r';
            line.original = bytes.sliced(start, lineBreak - start - (crlf ? 1 : 0)).toByteArray();
            line.ending = crlf ? "\r\n" : "\n";
            start = lineBreak + 1;
        }
        if (line.original.isNull())
            line.original = QByteArray(""); // an empty line read is still an original one
        line.text = decoded(line.original);
        m_lines.append(std::move(line));
    }
}

void IniFile::noteRepeats()
{
    // Names compare without regard to case, as value() matches them.
    QHash<QString, qsizetype> sectionLines;
    QHash<QString, qsizetype> keyLines; // "section\nkey"
    std::optional<QString>
            section; // lowered; before any header, keys belong to none and are never read
    QString sectionShown;
    qsizetype repeats = 0;
    const auto note = [&](const QString &text) {
        if (++repeats <= maximumNotices)
            m_notices << text;
    };
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const QString &text = m_lines[i].text;
        if (const std::optional<QStringView> name = sectionName(text)) {
            sectionShown = name->toString();
            section = sectionShown.toLower();
            if (const auto first = sectionLines.constFind(*section); first != sectionLines.cend())
                note(QStringLiteral(
                             "Раздел [%1] повторяется (строки %2 и %3): его ключи читаются вместе.")
                             .arg(sectionShown, QString::number(*first + 1),
                                  QString::number(i + 1)));
            else
                sectionLines.insert(*section, i);
            continue;
        }
        const std::optional<KeyLine> line = keyLine(text);
        if (!line || !section)
            continue;
        const QString name = *section + u'\n' + line->key.toString().toLower();
        if (const auto first = keyLines.constFind(name); first != keyLines.cend())
            note(QStringLiteral(
                         "Ключ «%1» в разделе [%2] повторяется (строки %3 и %4): действует первое значение.")
                         .arg(line->key.toString(), sectionShown, QString::number(*first + 1),
                              QString::number(i + 1)));
        else
            keyLines.insert(name, i);
    }
    if (repeats > maximumNotices)
        m_notices << QStringLiteral("И ещё повторов: %1.").arg(repeats - maximumNotices);
}

bool IniFile::save(QString *error) const
{
    QByteArray bytes = m_byteOrderMark;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const Line &line = m_lines[i];
        if (line.original.isNull() && m_encoding == IniBytes::Encoding::Utf8) {
            bytes += line.text.toUtf8();
        } else if (line.original.isNull()) {
            // A character the code page lacks is refused, never dropped or replaced.
            QChar bad;
            const std::optional<QByteArray> encoded = Windows1251::encode(line.text, &bad);
            if (!encoded) {
                if (error)
                    *error = fileWriteError(
                            m_path,
                            QStringLiteral(
                                    "символ «%1» (U+%2) нельзя записать в кодировке Windows-1251")
                                    .arg(QString(bad))
                                    .arg(bad.unicode(), 4, 16, QLatin1Char('0')));
                return false;
            }
            bytes += *encoded;
        } else {
            bytes += line.original;
        }
        // A last line that had no line end gets one when lines follow it now.
        bytes += line.ending.isEmpty() && i + 1 < m_lines.size() ? m_lineEnd : line.ending;
    }
    // A file that loading would refuse (a hand-made one at the limits that
    // grew by a key) is not written: the earlier file stays, still readable.
    if (const std::optional<QString> refusal = IniBytes::judge(bytes).refusal) {
        if (error)
            *error = fileWriteError(m_path,
                                    QStringLiteral("он не прочитался бы снова (%1)").arg(*refusal));
        return false;
    }
    return replaceFile(m_path, bytes, error);
}

QList<IniFile::Block> IniFile::blocksOf(const QString &section) const
{
    QList<Block> blocks;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const std::optional<QStringView> name = sectionName(m_lines[i].text);
        if (!name)
            continue;
        if (!blocks.isEmpty() && blocks.last().end < 0)
            blocks.last().end = i;
        if (sameName(*name, section))
            blocks.append({i, -1});
    }
    if (!blocks.isEmpty() && blocks.last().end < 0)
        blocks.last().end = m_lines.size();
    return blocks;
}

std::optional<qsizetype> IniFile::lineOf(const QString &section, const QString &key) const
{
    for (const Block &block : blocksOf(section)) {
        for (qsizetype i = block.header + 1; i < block.end; ++i) {
            const std::optional<KeyLine> line = keyLine(m_lines[i].text);
            if (line && sameName(line->key, key))
                return i;
        }
    }
    return std::nullopt;
}

IniFile::Line IniFile::newLine(const QString &text) const
{
    return Line{text, QByteArray(), m_lineEnd};
}

bool IniFile::hasSection(const QString &section) const
{
    return !blocksOf(section).isEmpty();
}

bool IniFile::hasKey(const QString &section, const QString &key) const
{
    return lineOf(section, key).has_value();
}

QString IniFile::value(const QString &section, const QString &key,
                       const QString &defaultValue) const
{
    const std::optional<qsizetype> index = lineOf(section, key);
    if (!index)
        return defaultValue;
    return keyLine(m_lines[*index].text)->value.toString();
}

void IniFile::setValue(const QString &section, const QString &key, const QString &value)
{
    const QString cleanValue = withoutLineBreaks(value);
    const QString text = key + u'=' + cleanValue;

    if (const std::optional<qsizetype> index = lineOf(section, key)) {
        // An unchanged value keeps its line as it was written.
        if (keyLine(m_lines[*index].text)->value != QStringView(cleanValue).trimmed())
            m_lines[*index] = newLine(text);
        return;
    }

    const QList<Block> blocks = blocksOf(section);
    if (blocks.isEmpty()) {
        m_lines.append(newLine(u'[' + section + u']'));
        m_lines.append(newLine(text));
        return;
    }
    // After the section's last non-blank line, so that a blank line that
    // separates it from the next section stays where it is.
    const Block &block = blocks.first();
    qsizetype position = block.end;
    while (position - 1 > block.header && m_lines[position - 1].text.trimmed().isEmpty())
        --position;
    m_lines.insert(position, newLine(text));
}

QStringList IniFile::keys(const QString &section) const
{
    QStringList result;
    for (const Block &block : blocksOf(section)) {
        for (qsizetype i = block.header + 1; i < block.end; ++i) {
            const std::optional<KeyLine> line = keyLine(m_lines[i].text);
            if (line && !result.contains(line->key.toString(), Qt::CaseInsensitive))
                result.append(line->key.toString());
        }
    }
    return result;
}

QStringList IniFile::lines() const
{
    QStringList result;
    result.reserve(m_lines.size());
    for (const Line &line : m_lines)
        result.append(line.text);
    return result;
}

} // namespace miv

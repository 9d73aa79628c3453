#pragma once

#include "link/IniBytes.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace miv {

// An INI text file in Windows-1251 (or UTF-8, see below): "[section]" lines open a section,
// "key=value" lines hold values. Keys and sections are matched without regard
// to letter case and values are read with the blanks around them dropped.
// Writing a key replaces its line in place or appends it to the end of its
// section (a missing section goes to the end of the file); every other line is
// kept as it was, byte for byte (also bytes that are no Windows-1251 text).
// save() replaces the file atomically: a failed save leaves the earlier file
// as it was.
//
// Details a reader of a hand-edited file may meet:
// - a line is "[name]" (a section), "key=value", a comment (";" or "#" first)
//   or anything else, which is kept and ignored;
// - a key that appears twice counts with its first value, and a section that
//   appears twice is read as one (its blocks in file order); notices() tells
//   the operator of both;
// - a file saved in UTF-8 (with its byte order mark, or valid UTF-8 with
//   letters beyond ASCII) is read as UTF-8 and keeps that encoding (and its
//   mark) when saved, so that an edited copy stays one file in one encoding;
// - anything that is no such text (UTF-16, binary data, a line over 4 KiB,
//   over 10 000 lines, over 16 MiB) is refused whole: see IniBytes;
// - lines end as the file's first line ends (CRLF or LF); a new file uses
//   CRLF, as INI files on Windows do;
// - a value written with a line break in it gets blanks instead, so that it
//   can never add lines of its own.
class IniFile
{
public:
    explicit IniFile(const QString &path);

    const QString &path() const { return m_path; }

    // Reads the file. A missing file is an empty one and not an error; an
    // unreadable one, one larger than maximumBytes or one IniBytes refuses
    // is (error set, naming the file and the reason; contents empty).
    bool load(QString *error = nullptr);
    static constexpr qint64 maximumBytes = 16 * 1024 * 1024;
    // What the operator should know about the file read last: each key and
    // section that appears more than once, with its lines and what counts
    // (at most maximumNotices, then how many more). Empty for a plain file.
    const QStringList &notices() const { return m_notices; }
    static constexpr int maximumNotices = 10;
    IniBytes::Encoding encoding() const { return m_encoding; }
    // Writes the lines back; false (with error) when the file could not be replaced.
    bool save(QString *error = nullptr) const;

    bool hasSection(const QString &section) const;
    bool hasKey(const QString &section, const QString &key) const;
    QString value(const QString &section, const QString &key,
                  const QString &defaultValue = {}) const;
    void setValue(const QString &section, const QString &key, const QString &value);
    QStringList keys(const QString &section) const;

    // The file as text lines, as save() would write them.
    QStringList lines() const;

private:
    struct Line
    {
        QString text;
        QByteArray original; // the bytes read, without the line end; null for a written line
        QByteArray ending; // "\r\n", "\n" or "" (a last line without one)
    };
    // Where a section's blocks start and end in m_lines: [header, end).
    struct Block
    {
        qsizetype header;
        qsizetype end;
    };

    QList<Block> blocksOf(const QString &section) const;
    std::optional<qsizetype> lineOf(const QString &section, const QString &key) const;
    Line newLine(const QString &text) const;
    QString decoded(QByteArrayView bytes) const;
    void splitLines(QByteArrayView bytes);
    void noteRepeats();

    QString m_path;
    QList<Line> m_lines;
    QByteArray m_lineEnd = "\r\n"; // for lines the program adds
    IniBytes::Encoding m_encoding = IniBytes::Encoding::Windows1251;
    QByteArray m_byteOrderMark; // written back before the first line
    QStringList m_notices;
};

} // namespace miv

#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace miv {

// An INI text file in Windows-1251: "[section]" lines open a section,
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
//   appears twice is read as one (its blocks in file order);
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
    // unreadable one, or one larger than maximumBytes, is (error set,
    // contents empty).
    bool load(QString *error = nullptr);
    static constexpr qint64 maximumBytes = 16 * 1024 * 1024;
    // Writes the lines back; false (with error) when the file could not be replaced.
    bool save(QString *error = nullptr) const;

    bool hasSection(const QString &section) const;
    bool hasKey(const QString &section, const QString &key) const;
    QString value(const QString &section, const QString &key, const QString &defaultValue = {}) const;
    void setValue(const QString &section, const QString &key, const QString &value);
    QStringList keys(const QString &section) const;

    // The file as text lines, as save() would write them.
    QStringList lines() const;

private:
    struct Line {
        QString text;
        QByteArray original; // the bytes read, without the line end; null for a written line
        QByteArray ending;   // "\r\n", "\n" or "" (a last line without one)
    };
    // Where a section's blocks start and end in m_lines: [header, end).
    struct Block {
        qsizetype header;
        qsizetype end;
    };

    QList<Block> blocksOf(const QString &section) const;
    std::optional<qsizetype> lineOf(const QString &section, const QString &key) const;
    Line newLine(const QString &text) const;

    QString m_path;
    QList<Line> m_lines;
    QByteArray m_lineEnd = "\r\n"; // for lines the program adds
};

} // namespace miv

#pragma once

#include <QString>
#include <QStringList>

// An INI text file in Windows-1251: "[section]" lines open a section,
// "key=value" lines hold values. Keys and sections are matched without regard
// to letter case and values are read with the blanks around them dropped.
// Writing a key replaces its line in place or appends it to the end of its
// section (a missing section goes to the end of the file); every other line is
// kept as it was. save() replaces the file atomically: a failed save leaves
// the earlier file as it was.
class IniFile
{
public:
    explicit IniFile(const QString &path);

    const QString &path() const { return m_path; }

    // Reads the file. A missing file is an empty one and not an error; an
    // unreadable one is (error set, contents empty).
    bool load(QString *error = nullptr);
    // Writes the lines back; false (with error) when the file could not be replaced.
    bool save(QString *error = nullptr) const;

    bool hasSection(const QString &section) const;
    bool hasKey(const QString &section, const QString &key) const;
    QString value(const QString &section, const QString &key, const QString &defaultValue = {}) const;
    void setValue(const QString &section, const QString &key, const QString &value);
    QStringList keys(const QString &section) const;

    // The file as text lines, as save() would write them.
    QStringList lines() const { return m_lines; }

private:
    QString m_path;
    QStringList m_lines;
};

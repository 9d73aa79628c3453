#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// What every fuzz target shares: the input read front to back, a check that
// stops the run as a crash, a scratch folder for targets that read files, and
// a core application for code that asks for one.

// A property that must hold for every input: when it does not, the run ends
// as a crash, so that libFuzzer keeps the input.
#define FUZZ_EXPECT(condition)                                                              \
  do {                                                                                      \
    if (!(condition)) {                                                                     \
      std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                         \
    }                                                                                       \
  } while (false)

// The input taken from its start: numbers and byte strings. Past its end
// every number reads 0 and every string is empty, so each input, however
// short, makes one whole run.
class FuzzInput
{
public:
    FuzzInput(const uint8_t *data, size_t size)
        : m_data(reinterpret_cast<const char *>(data)), m_size(qsizetype(size))
    { }

    bool atEnd() const { return m_at >= m_size; }
    qsizetype remaining() const { return m_size - m_at; }

    quint8 byte() { return atEnd() ? 0 : quint8(m_data[m_at++]); }
    quint16 word()
    {
        const quint16 high = byte();
        return quint16(high << 8 | byte());
    }
    bool flag() { return byte() & 1; }

    // Up to `count` bytes (fewer at the end).
    QByteArray bytes(qsizetype count)
    {
        count = std::min(count, remaining());
        const QByteArray taken(m_data + m_at, count);
        m_at += count;
        return taken;
    }
    // A length byte, then that many bytes.
    QByteArray shortBytes() { return bytes(byte()); }
    QByteArray rest() { return bytes(remaining()); }

private:
    const char *m_data;
    qsizetype m_size;
    qsizetype m_at = 0;
};

// One core application for the whole process, for code that asks for it
// (the application's folder, serial ports, sockets).
inline void ensureCoreApplication()
{
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
}

// A file in a folder of its own that lives as long as the process, for
// targets that hand their input to code that reads files.
// It lies in memory where the system offers that: the program replaces
// files with a flush to disk, which on a disk would take most of each run.
inline QString scratchPath(const QString &fileName)
{
    static const QString memory = QStringLiteral("/dev/shm");
    static QTemporaryDir folder((QFileInfo(memory).isWritable() ? memory : QDir::tempPath())
                                + QStringLiteral("/miv-fuzz-XXXXXX"));
    return folder.filePath(fileName);
}

inline void writeScratchFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    FUZZ_EXPECT(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_EXPECT(file.write(bytes) == bytes.size());
}

inline QByteArray readScratchFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

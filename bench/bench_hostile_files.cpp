// bench_hostile_files: how long a settings file ("*.miv", loaded into the
// grid) and "front.ini" (read for the port settings) take to be refused or
// read when they are no such file or a hostile one: 100 MB, binary, UTF-16,
// NUL bytes, a line of megabytes, 16 MiB of empty lines, the largest file
// still read, UTF-8, ten thousand repeated keys. Each is loaded 5 times;
// prints the slowest load in milliseconds, the peak of resident memory
// above the process's before the case (VmHWM, reset per case where Linux
// allows) and the outcome. Goal: every one well under a second.
//   bench_hostile_files
#include "ProcessMemory.h"
#include "config/SettingsFile.h"
#include "link/RelaySession.h"
#include "link/FrontIni.h"
#include "link/IniBytes.h"
#include "link/IniFile.h"
#include "link/RelayBus.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>

using namespace miv;

namespace {

constexpr int runs = 5;
constexpr qint64 mib = 1024 * 1024;

QByteArray cp1251(const QString &text)
{
    QStringEncoder encoder("windows-1251");
    return encoder.encode(text);
}

// A settings file as the program writes it, in Windows-1251.
QString settingsText()
{
    QString text = QStringLiteral("[Параметры]\r\n");
    RelayBus idle;
    RelaySession session(idle);
    session.configGrid.fillFromCatalogue(session.catalogue);
    for (int row = 0; row <= ConfigRow::lastSwitch; ++row)
        text += session.configGrid.text(row, ConfigGrid::Name) + QStringLiteral("=1\r\n");
    return text + QStringLiteral("[Таймеры]\r\nМетка1=07:30:00\r\nТаймер=вкл.\r\n");
}

struct Case
{
    const char *name;
    std::function<bool(const QString &path)> make; // writes the file
};

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool sparseFile(const QString &path, qint64 size)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.resize(size);
}

QByteArray pseudoRandom(qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 state = 12345;
    for (char &byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = char(state >> 24);
    }
    return bytes;
}

QList<Case> cases()
{
    const QString text = settingsText();
    return {
            {"100 MB, sparse", [](const QString &p) { return sparseFile(p, 100 * mib); }},
            {"100 MB, written",
             [](const QString &p) { return writeFile(p, QByteArray(100 * mib, 'x')); }},
            {"16 MiB binary",
             [](const QString &p) { return writeFile(p, pseudoRandom(16 * mib)); }},
            {"16 MiB UTF-16 (BOM)",
             [text](const QString &p) {
                 QStringEncoder encoder(QStringConverter::Utf16LE,
                                        QStringConverter::Flag::WriteBom);
                 const QByteArray once = encoder.encode(text);
                 QByteArray bytes = once;
                 while (bytes.size() < 16 * mib - 4096)
                     bytes += once.mid(2); // the mark once
                 bytes.truncate(16 * mib - 4096);
                 return writeFile(p, bytes);
             }},
            {"16 MiB UTF-16 (no BOM)",
             [text](const QString &p) {
                 QStringEncoder encoder(QStringConverter::Utf16LE);
                 const QByteArray once = encoder.encode(text);
                 QByteArray bytes;
                 while (bytes.size() < 16 * mib - 4096)
                     bytes += once;
                 bytes.truncate(16 * mib - 4096);
                 return writeFile(p, bytes);
             }},
            {"settings + NUL tail (1 MiB)",
             [text](const QString &p) {
                 return writeFile(p, cp1251(text) + QByteArray(mib, '\0'));
             }},
            {"a line of 16 MiB - 1",
             [](const QString &p) {
                 return writeFile(p, "[p]\r\nPort=" + QByteArray(16 * mib - 20, 'x'));
             }},
            {"16 MiB of empty lines",
             [](const QString &p) { return writeFile(p, QByteArray(16 * mib - 1, '\n')); }},
            {"largest still read (10000 x 1.6 KB)",
             [text](const QString &p) {
                 QByteArray bytes = cp1251(text);
                 const QByteArray comment = "; " + QByteArray(1600, '-') + "\r\n";
                 while (bytes.count('\n') < IniBytes::maximumLines - 1)
                     bytes += comment;
                 return writeFile(p, bytes);
             }},
            {"settings in UTF-8 (BOM)",
             [text](const QString &p) { return writeFile(p, "\xEF\xBB\xBF" + text.toUtf8()); }},
            {"settings in Windows-1251",
             [text](const QString &p) { return writeFile(p, cp1251(text)); }},
            {"9000 repeated keys",
             [text](const QString &p) {
                 QByteArray bytes = cp1251(text);
                 for (int i = 0; i < 9000; ++i)
                     bytes += cp1251(QStringLiteral("Коэффициент трансформации=%1\r\n").arg(i));
                 return writeFile(p, bytes);
             }},
    };
}

// The peak resident memory in KiB (VmHWM); -1 where there is none.
long peakKib()
{
    return processMemoryKib("VmHWM");
}

// Lets the next peakKib() count from now (Linux 4.0 and later).
void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// The slowest of `runs` calls in milliseconds.
double slowestMs(const std::function<void()> &load)
{
    double slowest = 0;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        load();
        slowest = std::max(slowest, double(timer.nsecsElapsed()) / 1e6);
    }
    return slowest;
}

QString shortened(QString text)
{
    text.replace(u'\n', u' ');
    return text.size() > 110 ? text.left(107) + QStringLiteral("...") : text;
}

} // namespace

int main()
{
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    const QString path = dir.filePath(QStringLiteral("hostile.miv"));
    RelayBus idle; // no port: loading never talks to a relay
    RelaySession session(idle);
    session.configGrid.fillFromCatalogue(session.catalogue);
    session.decimalSeparator = u',';

    std::printf("%-38s %12s %12s %12s  %s\n", "file", "miv ms", "front ms", "peak +KiB", "outcome");
    double slowestOfAll = 0;
    for (const Case &c : cases()) {
        if (!c.make(path)) {
            std::fprintf(stderr, "%s: cannot write %s\n", c.name, qPrintable(path));
            return 1;
        }
        resetPeak();
        const long before = peakKib();
        SettingsFile::LoadResult result;
        const double settingsMs = slowestMs([&] { result = SettingsFile::load(path, session); });
        QString frontError;
        const double frontMs = slowestMs([&] {
            PortSettings settings;
            frontError.clear();
            loadPortSettings(path, settings, &frontError);
        });
        const long peak = peakKib() - before;
        QFile::remove(path);
        slowestOfAll = std::max({slowestOfAll, settingsMs, frontMs});
        QString outcome = result.loaded() ? QStringLiteral("read")
                                          : result.error.section(QStringLiteral(": "), 1);
        if (result.loaded() && !result.notices.isEmpty())
            outcome += QStringLiteral(", %1 notices: %2")
                               .arg(result.notices.size())
                               .arg(result.notices.last());
        std::printf("%-38s %12.1f %12.1f %12ld  %s\n", c.name, settingsMs, frontMs, peak,
                    qPrintable(shortened(outcome)));
    }
    std::printf("slowest load: %.1f ms (goal: well under 1000 ms)\n", slowestOfAll);
    return 0;
}

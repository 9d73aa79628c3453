// The INI reader ("front.ini", settings files), with the port settings read
// from it: the fuzz input is the file. Checked besides not crashing:
// - a file read and saved without a change is written back byte for byte;
// - the port settings read from the file, stored into it and read back are
//   the same settings (but for a line break in the port name, stored as a blank);
// - a value set is read back as set (without its line breaks and blanks);
//   these two when storing left the file's encoding as it was judged;
// - a file refused as no INI text is refused with its reason by every reader,
//   leaves the port settings as they were and is never overwritten.
#include "FuzzInput.h"
#include "link/FrontIni.h"
#include "link/IniBytes.h"
#include "link/IniFile.h"
#include "link/PortSettings.h"
#include "link/RelayBus.h"

using namespace miv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString path = scratchPath(QStringLiteral("front.ini"));
    const QString copyPath = scratchPath(QStringLiteral("copy.ini"));
    writeScratchFile(path, bytes);

    IniFile file(path);
    QString refusal;
    if (!file.load(&refusal)) {
        FUZZ_EXPECT(IniBytes::judge(bytes).refusal && !refusal.isEmpty() && file.lines().isEmpty());
        PortSettings untouched;
        FUZZ_EXPECT(!loadPortSettings(path, untouched) && untouched == PortSettings());
        FUZZ_EXPECT(!storePortSettings(path, untouched) && readScratchFile(path) == bytes);
        return 0;
    }
    (void)file.lines();
    for (const QString &section :
         {QStringLiteral("p"), QStringLiteral("bus"), QStringLiteral("Параметры")}) {
        for (const QString &key : file.keys(section)) {
            FUZZ_EXPECT(file.hasKey(section, key));
            (void)file.value(section, key);
        }
    }

    IniFile unchanged(copyPath);
    writeScratchFile(copyPath, bytes);
    FUZZ_EXPECT(unchanged.load() && unchanged.save());
    FUZZ_EXPECT(readScratchFile(copyPath) == bytes);

    PortSettings settings;
    FUZZ_EXPECT(loadPortSettings(path, settings));
    (void)InterfaceWord::applyTo(settings, InterfaceWord::fromSettings(settings));
    (void)settings.lineName();
    RelayBus bus;
    settings.applyTo(bus);

    QString error;
    if (!storePortSettings(copyPath, settings, &error)) {
        // Only a port name rewritten with the unassigned byte 0x98 in it
        // (read as U+FFFD, which Windows-1251 cannot write) is refused.
        FUZZ_EXPECT(settings.portName.contains(QChar::ReplacementCharacter)
                    && error.contains(QStringLiteral("U+fffd")));
        return 0;
    }
    // A Windows-1251 file whose only bytes that are not UTF-8 stood in a line
    // storing replaced reads as UTF-8 from then on, the rest of it differently
    // (it happens only to files no editor wrote: Russian text in
    // Windows-1251 is never valid UTF-8). Such a file is not compared.
    const IniBytes::Encoding encoding = IniBytes::judge(bytes).encoding;
    if (IniBytes::judge(readScratchFile(copyPath)).encoding != encoding)
        return 0;
    PortSettings readBack;
    FUZZ_EXPECT(loadPortSettings(copyPath, readBack));
    // The one change storing makes: a line break inside a value (a lone CR
    // within a line) is written as a blank.
    PortSettings stored = settings;
    stored.portName.replace(u'\r', u' ');
    FUZZ_EXPECT(readBack == stored);

    // A value taken from the file's own text, set under a key of its own.
    const QString text = file.lines().value(0).left(40);
    IniFile edited(copyPath);
    FUZZ_EXPECT(edited.load());
    edited.setValue(QStringLiteral("fuzz"), QStringLiteral("Value"), text);
    if (edited.save() && IniBytes::judge(readScratchFile(copyPath)).encoding == encoding) {
        IniFile reread(copyPath);
        FUZZ_EXPECT(reread.load());
        QString expected = text;
        expected.replace(u'\r', u' ').replace(u'\n', u' ');
        FUZZ_EXPECT(reread.value(QStringLiteral("fuzz"), QStringLiteral("Value"))
                    == expected.trimmed());
    }
    return 0;
}

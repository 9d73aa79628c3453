#include "link/IniFile.h"
#include "support/Superuser.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QStringEncoder>
#include <QTemporaryDir>

using namespace miv;

namespace {

QByteArray cp1251(const QString &text)
{
    QStringEncoder encoder("windows-1251");
    return encoder.encode(text);
}

class IniFileTest : public ::testing::Test
{
protected:
    QString path(const QString &name = QStringLiteral("front.ini")) const
    {
        return dir.filePath(name);
    }

    void write(const QByteArray &bytes, const QString &name = QStringLiteral("front.ini")) const
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QByteArray read(const QString &name = QStringLiteral("front.ini")) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    IniFile loaded(const QString &name = QStringLiteral("front.ini")) const
    {
        IniFile ini(path(name));
        QString error;
        EXPECT_TRUE(ini.load(&error)) << error.toStdString();
        return ini;
    }

    QTemporaryDir dir;
};

// A settings file of the configurator: Cyrillic sections and keys in Windows-1251.
const QString settingsText = QStringLiteral("[Параметры]\r\n"
                                            "Коэффициент трансформации=10\r\n"
                                            "Алгоритм накачки/выкачки резервуара=[фукнк. откл.]\r\n"
                                            "\r\n"
                                            "[Таймеры]\r\n"
                                            "Метка1=08:30\r\n"
                                            "Таймер=вкл.\r\n");

TEST_F(IniFileTest, cyrillicFileRoundTripsByteForByte)
{
    const QByteArray bytes = cp1251(settingsText);
    write(bytes);
    IniFile ini = loaded();
    EXPECT_EQ(ini.value(QStringLiteral("Параметры"),
                        QStringLiteral("Алгоритм накачки/выкачки резервуара")),
              QStringLiteral("[фукнк. откл.]"));
    EXPECT_EQ(ini.value(QStringLiteral("таймеры"), QStringLiteral("МЕТКА1")),
              QStringLiteral("08:30"));
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(read(), bytes);
}

TEST_F(IniFileTest, writtenCyrillicValueIsWindows1251OnDisk)
{
    IniFile ini(path());
    ini.setValue(QStringLiteral("Таймеры"), QStringLiteral("Таймер"), QStringLiteral("откл."));
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(read(), cp1251(QStringLiteral("[Таймеры]\r\nТаймер=откл.\r\n")));
}

TEST_F(IniFileTest, writesInPlaceAppendToSectionAndNewSectionKeepingOtherLines)
{
    write("; made by hand\n"
          "[p]\n"
          "Port = COM3\n"
          "Parity=None\n"
          "\n"
          "[other]\n"
          "something without equals sign\n"
          "Key=kept\n");
    IniFile ini = loaded();
    ini.setValue(QStringLiteral("P"), QStringLiteral("port"), QStringLiteral("ttyUSB0"));
    ini.setValue(QStringLiteral("p"), QStringLiteral("DataBits"), QStringLiteral("8"));
    ini.setValue(QStringLiteral("bus"), QStringLiteral("ScanWaitMs"), QStringLiteral("120"));
    ASSERT_TRUE(ini.save());
    // The file used LF, so lines the program adds use LF too.
    EXPECT_EQ(read(),
              QByteArray("; made by hand\n"
                         "[p]\n"
                         "port=ttyUSB0\n"
                         "Parity=None\n"
                         "DataBits=8\n"
                         "\n"
                         "[other]\n"
                         "something without equals sign\n"
                         "Key=kept\n"
                         "[bus]\n"
                         "ScanWaitMs=120\n"));
}

TEST_F(IniFileTest, newFileUsesCrlfAndLastLineWithoutEndGetsOne)
{
    write("[p]\r\nPort=COM1");
    IniFile ini = loaded();
    ini.setValue(QStringLiteral("p"), QStringLiteral("Parity"), QStringLiteral("Odd"));
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(read(), QByteArray("[p]\r\nPort=COM1\r\nParity=Odd\r\n"));
}

TEST_F(IniFileTest, unchangedValueKeepsItsLineAsWritten)
{
    write("[p]\r\n  Port =  COM1  \r\n");
    IniFile ini = loaded();
    ini.setValue(QStringLiteral("p"), QStringLiteral("Port"), QStringLiteral("COM1"));
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(read(), QByteArray("[p]\r\n  Port =  COM1  \r\n"));
}

TEST_F(IniFileTest, readingRules)
{
    write("[p]\n"
          "Port=first\n"
          "PORT=second\n"
          "; Parity=Odd\n"
          "=nokey\n"
          "justtext\n"
          "  Baud Rate  =  9600  \n"
          "[q]\n"
          "Port=other section\n"
          "[P]\n"
          "Extra=in the second block\n");
    const IniFile ini = loaded();
    EXPECT_EQ(ini.value(QStringLiteral("p"), QStringLiteral("port")), QStringLiteral("first"));
    EXPECT_EQ(ini.value(QStringLiteral("p"), QStringLiteral("Baud Rate")), QStringLiteral("9600"));
    EXPECT_FALSE(ini.hasKey(QStringLiteral("p"), QStringLiteral("Parity")));
    EXPECT_EQ(ini.value(QStringLiteral("p"), QStringLiteral("Parity"), QStringLiteral("None")),
              QStringLiteral("None"));
    EXPECT_EQ(ini.value(QStringLiteral("p"), QStringLiteral("Extra")),
              QStringLiteral("in the second block"));
    EXPECT_EQ(ini.keys(QStringLiteral("p")),
              (QStringList{QStringLiteral("Port"), QStringLiteral("Baud Rate"),
                           QStringLiteral("Extra")}));
    EXPECT_FALSE(ini.hasSection(QStringLiteral("missing")));
    EXPECT_EQ(ini.value(QStringLiteral("missing"), QStringLiteral("Port"), QStringLiteral("dflt")),
              QStringLiteral("dflt"));
}

TEST_F(IniFileTest, duplicateKeyRewritesOnlyTheFirst)
{
    write("[p]\r\nPort=a\r\nPort=b\r\n");
    IniFile ini = loaded();
    ini.setValue(QStringLiteral("p"), QStringLiteral("Port"), QStringLiteral("c"));
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(read(), QByteArray("[p]\r\nPort=c\r\nPort=b\r\n"));
}

TEST_F(IniFileTest, lineBreakInValueCannotAddLines)
{
    IniFile ini(path());
    ini.setValue(QStringLiteral("p"), QStringLiteral("Port"),
                 QStringLiteral("COM1\r\n[p]\r\nParity=Odd"));
    ASSERT_TRUE(ini.save());
    IniFile again = loaded();
    EXPECT_FALSE(again.hasKey(QStringLiteral("p"), QStringLiteral("Parity")));
    EXPECT_EQ(again.lines().size(), 2);
}

TEST_F(IniFileTest, bytesThatAreNoWindows1251TextLoadAndSurvive)
{
    QByteArray bytes("\x98\xffgarbage\r\n");
    bytes += "[p]\r\n";
    bytes += QByteArray(4000, 'x') + "=y\r\n"; // a long line, within the limit
    bytes += "Port=COM9\r\n";
    bytes += "Parity=Even\r\n";
    bytes += QByteArray("\x98\x98 no end");
    write(bytes);

    IniFile ini = loaded();
    EXPECT_EQ(ini.value(QStringLiteral("p"), QStringLiteral("Parity")), QStringLiteral("Even"));
    EXPECT_EQ(ini.value(QStringLiteral("p"), QStringLiteral("Port")), QStringLiteral("COM9"));
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(read(), bytes); // even bytes that are no Windows-1251 text come back as they were

    ini.setValue(QStringLiteral("p"), QStringLiteral("Parity"), QStringLiteral("Odd"));
    ASSERT_TRUE(ini.save());
    QByteArray expected = bytes;
    expected.replace("Parity=Even", "Parity=Odd");
    EXPECT_EQ(read(), expected);
}

QByteArray utf16(const QString &text, QStringConverter::Encoding encoding, bool byteOrderMark)
{
    QStringEncoder encoder(encoding,
                           byteOrderMark ? QStringConverter::Flag::WriteBom
                                         : QStringConverter::Flag::Default);
    return encoder.encode(text);
}

// Files that arrive under a settings file's name but are none, or are one in
// an unexpected shape: each is refused whole with a reason naming the file,
// or read with what the operator should know. `bytes` empty: a sparse file
// of 100 MB, made at test time.
struct HostileFile
{
    const char *name;
    QByteArray bytes;
    QString refusal; // a part of the error; empty: the file is read
    IniBytes::Encoding encoding = IniBytes::Encoding::Windows1251;
    QString portValue = {}; // read: the value of [p] Port, or of [Параметры] Коэффициент
    QStringList notices = {};
};

class HostileIniFile : public IniFileTest, public ::testing::WithParamInterface<HostileFile>
{ };

TEST_P(HostileIniFile, isRefusedWithItsReasonOrReadWithWhatCounts)
{
    const HostileFile &c = GetParam();
    if (c.bytes.isEmpty()) {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(100 * 1024 * 1024)); // sparse: no time to write
    } else {
        write(c.bytes);
    }
    IniFile ini(path());
    QString error;
    const bool readOk = ini.load(&error);
    QFile::remove(path());
    if (!c.refusal.isEmpty()) {
        EXPECT_FALSE(readOk);
        EXPECT_TRUE(error.contains(path()) && error.contains(c.refusal)) << error.toStdString();
        EXPECT_TRUE(ini.lines().isEmpty());
        return;
    }
    ASSERT_TRUE(readOk) << error.toStdString();
    EXPECT_EQ(ini.encoding(), c.encoding);
    const QString value = ini.hasSection(QStringLiteral("p"))
            ? ini.value(QStringLiteral("p"), QStringLiteral("Port"))
            : ini.value(QStringLiteral("Параметры"), QStringLiteral("Коэффициент"));
    EXPECT_EQ(value, c.portValue);
    EXPECT_EQ(ini.notices(), c.notices);

    // Saved, the file keeps its encoding (and byte order mark): a Cyrillic
    // value added reads back, and the lines before it are kept byte for byte.
    ini.setValue(QStringLiteral("Таймеры"), QStringLiteral("Таймер"), QStringLiteral("вкл."));
    ASSERT_TRUE(ini.save());
    EXPECT_TRUE(read().startsWith(c.bytes));
    IniFile again = loaded();
    EXPECT_EQ(again.encoding(), c.encoding);
    EXPECT_EQ(again.value(QStringLiteral("Таймеры"), QStringLiteral("Таймер")),
              QStringLiteral("вкл."));
}

const QString cyrillicText = QStringLiteral("[Параметры]\r\nКоэффициент=10\r\n");

QByteArray pseudoRandomBytes(int count)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes.append(char((i * 73 + 11) % 256));
    return bytes;
}

QByteArray manyLines(int count)
{
    QByteArray bytes("[p]\r\nPort=COM1\r\n");
    for (int i = 0; i < count; ++i)
        bytes += "; line\r\n";
    return bytes;
}

using Enc = IniBytes::Encoding;

// Files at the limits: every line but the timer switch is ASCII, and the
// switch already reads "вкл.", so that saving them again changes nothing.
const QByteArray timerSwitch = cp1251(QStringLiteral("[Таймеры]\r\nТаймер=вкл.\r\n"));

// Exactly `lines` lines, with or without a line end after the last.
QByteArray linesFile(int lines, bool finalLineEnd)
{
    QByteArray bytes = manyLines(lines - 4) + timerSwitch;
    if (!finalLineEnd)
        bytes.chop(2);
    return bytes;
}

// Line 2, "Port=x...", is `lineBytes` long before its line end.
QByteArray longLineFile(int lineBytes, const QByteArray &lineEnd)
{
    QByteArray bytes =
            "[p]" + lineEnd + "Port=" + QByteArray(lineBytes - 5, 'x') + lineEnd + timerSwitch;
    return bytes.replace("\r\n", lineEnd);
}
const QString longestPort(IniBytes::maximumLineBytes - 5, u'x');
const QString tooManyLines = QStringLiteral("в нём больше 10000 строк, это не файл настроек");
const QString lineTooLong = QStringLiteral("строка 2 длиннее 4096 байт, это не файл настроек");

// Port given 15 times: ten notices, then how many more.
QByteArray repeatedPorts()
{
    QByteArray bytes("[p]\r\n");
    for (int i = 0; i < 15; ++i)
        bytes += "Port=COM" + QByteArray::number(i) + "\r\n";
    return bytes;
}
QStringList repeatedPortNotices()
{
    QStringList notices;
    for (int line = 3; line <= 12; ++line)
        notices << QStringLiteral(
                           "Ключ «Port» в разделе [p] повторяется (строки 2 и %1): действует первое значение.")
                           .arg(line);
    return notices << QStringLiteral("И ещё повторов: 4.");
}

INSTANTIATE_TEST_SUITE_P(
        Cases, HostileIniFile,
        ::testing::Values(
                HostileFile{"huge100MB",
                            {},
                            QStringLiteral("больше 16777216 байт, это не файл настроек")},
                HostileFile{
                        "utf16leBom", utf16(cyrillicText, QStringConverter::Utf16LE, true),
                        QStringLiteral(
                                "он в кодировке UTF-16, а файлы настроек читаются только в Windows-1251 или UTF-8")},
                HostileFile{"utf16beBom", utf16(cyrillicText, QStringConverter::Utf16BE, true),
                            QStringLiteral("кодировке UTF-16")},
                HostileFile{"utf16leNoBom", utf16(cyrillicText, QStringConverter::Utf16LE, false),
                            QStringLiteral("кодировке UTF-16")},
                HostileFile{"utf16beNoBom", utf16(cyrillicText, QStringConverter::Utf16BE, false),
                            QStringLiteral("кодировке UTF-16")},
                HostileFile{"utf32Bom", utf16(cyrillicText, QStringConverter::Utf32LE, true),
                            QStringLiteral("кодировке UTF-32")},
                HostileFile{"binary", pseudoRandomBytes(4096),
                            QStringLiteral("в нём двоичные данные (байт 0x")},
                HostileFile{
                        "nulInALine", QByteArray("[p]\r\nPort=CO\0M9\r\n", 18),
                        QStringLiteral(
                                "в нём двоичные данные (байт 0x00 в строке 2), это не файл настроек")},
                HostileFile{"megabyteLine", "[p]\r\nPort=" + QByteArray(1024 * 1024, 'x') + "\r\n",
                            QStringLiteral("строка 2 длиннее 4096 байт, это не файл настроек")},
                HostileFile{"tooManyLines", manyLines(20000), tooManyLines},
                HostileFile{"mostLines", linesFile(10000, true), {}, Enc::Windows1251, "COM1"},
                HostileFile{"mostLinesLastWithoutEnd",
                            linesFile(10000, false),
                            {},
                            Enc::Windows1251,
                            "COM1"},
                HostileFile{"oneLineTooMany", linesFile(10001, true), tooManyLines},
                HostileFile{"oneLineTooManyLastWithoutEnd", linesFile(10001, false), tooManyLines},
                HostileFile{
                        "longestLine", longLineFile(4096, "\n"), {}, Enc::Windows1251, longestPort},
                HostileFile{"longestLineCrLf",
                            longLineFile(4096, "\r\n"),
                            {},
                            Enc::Windows1251,
                            longestPort},
                HostileFile{"lineOneByteTooLong", longLineFile(4097, "\n"), lineTooLong},
                HostileFile{"lineOneByteTooLongCrLf", longLineFile(4097, "\r\n"), lineTooLong},
                HostileFile{"utf8Bom",
                            "\xEF\xBB\xBF" + cyrillicText.toUtf8(),
                            {},
                            Enc::Utf8,
                            QStringLiteral("10")},
                HostileFile{
                        "utf8NoBom", cyrillicText.toUtf8(), {}, Enc::Utf8, QStringLiteral("10")},
                HostileFile{"windows1251",
                            cp1251(cyrillicText),
                            {},
                            Enc::Windows1251,
                            QStringLiteral("10")},
                HostileFile{
                        "repeatedKey",
                        "[p]\r\nPort=COM1\r\nparity=Odd\r\nPORT=COM2\r\n",
                        {},
                        Enc::Windows1251,
                        QStringLiteral("COM1"),
                        {QStringLiteral(
                                "Ключ «PORT» в разделе [p] повторяется (строки 2 и 4): действует первое значение.")}},
                HostileFile{
                        "repeatedSection",
                        "[p]\r\nPort=COM1\r\n[bus]\r\nRetries=1\r\n[P]\r\nPort=COM2\r\n",
                        {},
                        Enc::Windows1251,
                        QStringLiteral("COM1"),
                        {QStringLiteral(
                                 "Раздел [P] повторяется (строки 1 и 5): его ключи читаются вместе."),
                         QStringLiteral(
                                 "Ключ «Port» в разделе [P] повторяется (строки 2 и 6): действует первое значение.")}},
                HostileFile{"manyRepeats",
                            repeatedPorts(),
                            {},
                            Enc::Windows1251,
                            QStringLiteral("COM0"),
                            repeatedPortNotices()}),
        [](const ::testing::TestParamInfo<HostileFile> &param) {
            return std::string(param.param.name);
        });

TEST_F(IniFileTest, missingFileIsEmptyAndDirectoryIsAnError)
{
    IniFile missing(path(QStringLiteral("none.ini")));
    EXPECT_TRUE(missing.load());
    EXPECT_TRUE(missing.lines().isEmpty());

    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.ini")));
    IniFile folder(path(QStringLiteral("folder.ini")));
    QString error;
    EXPECT_FALSE(folder.load(&error));
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(IniFileTest, failedSaveKeepsTheEarlierFile)
{
    if (runsAsSuperuser())
        GTEST_SKIP() << "root may write into a read-only folder";
    const QByteArray before("[p]\r\nPort=COM1\r\n");
    write(before);
    IniFile ini = loaded();
    ini.setValue(QStringLiteral("p"), QStringLiteral("Port"), QStringLiteral("COM2"));

    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    QString error;
    EXPECT_FALSE(ini.save(&error));
    QFile::setPermissions(dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(read(), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("front.ini")});
}

TEST_F(IniFileTest, aSaveThatCannotBeWrittenOrReadAgainIsRefusedAndTheFileKept)
{
    const struct
    {
        const char *what;
        QByteArray before;
        QString key;
        QString value;
        QString reasonPart;
    } cases[] = {
            {"a character without a Windows-1251 byte", "[p]\r\nPort=COM1\r\n",
             QStringLiteral("Port"), QStringLiteral("COM\u03A9"), QStringLiteral("U+03a9")},
            {"a key more than the lines a file may have", linesFile(10000, true),
             QStringLiteral("Parity"), QStringLiteral("Odd"), tooManyLines},
    };
    for (const auto &c : cases) {
        write(c.before);
        IniFile ini = loaded();
        ini.setValue(QStringLiteral("p"), c.key, c.value);
        QString error;
        EXPECT_FALSE(ini.save(&error)) << c.what;
        EXPECT_TRUE(error.contains(QStringLiteral("front.ini")) && error.contains(c.reasonPart))
                << error.toStdString();
        EXPECT_EQ(read(), c.before) << c.what;
    }
}

TEST_F(IniFileTest, aFileFarLargerThanSettingsIsRefusedUnread)
{
    QByteArray huge("[p]\r\nPort=COM1\r\n");
    huge.append(QByteArray(IniFile::maximumBytes, 'x'));
    write(huge);
    IniFile ini(path());
    QString error;
    EXPECT_FALSE(ini.load(&error));
    EXPECT_TRUE(ini.lines().isEmpty());
    EXPECT_TRUE(error.contains(QStringLiteral("front.ini"))) << error.toStdString();
}

TEST_F(IniFileTest, saveIntoAMissingFolderFails)
{
    IniFile ini(dir.filePath(QStringLiteral("no/such/folder/front.ini")));
    ini.setValue(QStringLiteral("p"), QStringLiteral("Port"), QStringLiteral("COM2"));
    QString error;
    EXPECT_FALSE(ini.save(&error));
    EXPECT_TRUE(error.contains(QStringLiteral("front.ini")));
}

TEST_F(IniFileTest, saveOverADirectoryFailsAndLeavesIt)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("front.ini/inner")));
    IniFile ini(path());
    ini.setValue(QStringLiteral("p"), QStringLiteral("Port"), QStringLiteral("COM2"));
    QString error;
    EXPECT_FALSE(ini.save(&error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(QDir(path()).exists(QStringLiteral("inner")));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{});
}

} // namespace

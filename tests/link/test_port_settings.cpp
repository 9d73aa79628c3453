#include "link/IniFile.h"
#include "link/PortOverride.h"
#include "link/FrontIni.h"
#include "link/InterfaceWordChange.h"
#include "link/PortSettings.h"
#include "support/LoopbackLink.h"

#include <QFile>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace miv;

namespace {

IniFile iniWith(const QTemporaryDir &dir, const QByteArray &bytes)
{
    const QString path = dir.filePath(QStringLiteral("front.ini"));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    file.close();
    IniFile ini(path);
    ini.load();
    return ini;
}

TEST(PortSettings, missingSectionKeepsEveryDefault)
{
    QTemporaryDir dir;
    PortSettings settings;
    settings.loadFrom(iniWith(dir, "[other]\r\nPort=COM7\r\nParity=Odd\r\n"));
    EXPECT_EQ(settings, PortSettings());
    EXPECT_EQ(settings.baudRate, QStringLiteral("9600"));
    EXPECT_EQ(settings.dataBits, QStringLiteral("8"));
    EXPECT_EQ(settings.stopBits, QStringLiteral("1"));
    EXPECT_EQ(settings.parity, QStringLiteral("None"));
    EXPECT_EQ(settings.flowControl, QStringLiteral("None"));
}

TEST(PortSettings, unknownValuesKeepTheCurrentOnes)
{
    QTemporaryDir dir;
    PortSettings settings;
    settings.parity = QStringLiteral("Even");
    settings.loadFrom(iniWith(dir,
                              "[p]\r\nPort=\r\nBaudRate=9601\r\nStopBits=3\r\nDataBits=9\r\n"
                              "Parity=Often\r\nFlowControl=\xff\xfe\r\n"));
    PortSettings expected;
    expected.parity = QStringLiteral("Even");
    EXPECT_EQ(settings, expected);
}

TEST(PortSettings, loadsEveryKey)
{
    QTemporaryDir dir;
    PortSettings settings;
    settings.loadFrom(iniWith(
            dir,
            "[P]\r\nport=/dev/serial/by-id/usb-x\r\nBaudRate=19200\r\nStopBits=1.5\r\n"
            "DataBits=7\r\nParity=mark\r\nFlowControl=Hardware\r\nCustomBaudRate=1234\r\n"));
    EXPECT_EQ(settings.portName, QStringLiteral("/dev/serial/by-id/usb-x"));
    EXPECT_EQ(settings.baudRate, QStringLiteral("19200"));
    EXPECT_EQ(settings.customBaudRate, 9600); // read only with BaudRate=Custom
    EXPECT_EQ(settings.stopBits, QStringLiteral("1.5"));
    EXPECT_EQ(settings.dataBits, QStringLiteral("7"));
    EXPECT_EQ(settings.parity, QStringLiteral("Mark"));
    EXPECT_EQ(settings.flowControl, QStringLiteral("Hardware"));
    EXPECT_EQ(settings.effectiveBaudRate(), 19200);
    EXPECT_EQ(settings.bitsPerCharacter(), 1 + 7 + 1 + 2);
}

TEST(PortSettings, customBaudRate)
{
    QTemporaryDir dir;
    PortSettings settings;
    settings.loadFrom(iniWith(dir, "[p]\r\nBaudRate=Custom\r\nCustomBaudRate=250000\r\n"));
    EXPECT_EQ(settings.baudRate, QStringLiteral("Custom"));
    EXPECT_EQ(settings.effectiveBaudRate(), 250000);

    PortSettings bad;
    bad.loadFrom(iniWith(dir, "[p]\r\nBaudRate=Custom\r\nCustomBaudRate=-5\r\n"));
    EXPECT_EQ(bad.effectiveBaudRate(), 9600);
}

TEST(PortSettings, scanWaitComesFromItsOwnSectionWithinBounds)
{
    QTemporaryDir dir;
    const struct
    {
        const char *text;
        int wait;
    } cases[] = {
            {"[bus]\r\nScanWaitMs=300\r\n", 300},
            {"[p]\r\nScanWaitMs=300\r\n",
             PortSettings::defaultScanWaitMs}, // not a key of the port's section
            {"[bus]\r\nScanWaitMs=5\r\n", PortSettings::defaultScanWaitMs},
            {"[bus]\r\nScanWaitMs=99999\r\n", PortSettings::defaultScanWaitMs},
            {"[bus]\r\nScanWaitMs=fast\r\n", PortSettings::defaultScanWaitMs},
    };
    for (const auto &c : cases) {
        PortSettings settings;
        settings.loadFrom(iniWith(dir, c.text));
        EXPECT_EQ(settings.scanWaitMs, c.wait) << c.text;
    }
}

TEST(PortSettings, storeWritesExactlyTheKeysOfFrontIni)
{
    QTemporaryDir dir;
    IniFile ini = iniWith(dir, "");
    PortSettings settings;
    settings.portName = QStringLiteral("COM3");
    settings.stopBits = QStringLiteral("1.5");
    settings.storeTo(ini);
    // Section "p" holds the port's keys only; the scan's wait lives apart.
    EXPECT_EQ(ini.lines(),
              (QStringList{"[p]", "Port=COM3", "BaudRate=9600", "StopBits=1.5", "DataBits=8",
                           "Parity=None", "FlowControl=None", "[bus]", "ScanWaitMs=120",
                           "Retries=2", "Transport=serial"}));

    settings.baudRate = QStringLiteral("Custom");
    settings.customBaudRate = 31250;
    settings.storeTo(ini);
    EXPECT_EQ(ini.keys(QStringLiteral("p")),
              (QStringList{"Port", "BaudRate", "StopBits", "DataBits", "Parity", "FlowControl",
                           "CustomBaudRate"}));
    EXPECT_EQ(ini.value(QStringLiteral("p"), QStringLiteral("CustomBaudRate")),
              QStringLiteral("31250"));

    PortSettings loaded;
    loaded.loadFrom(ini);
    EXPECT_EQ(loaded, settings);
}

TEST(FrontIni, theFileDialogsFolderIsKeptBesideThePortSettings)
{
    QTemporaryDir dir;
    const QString frontIni = dir.filePath(QStringLiteral("front.ini"));
    PortSettings settings;
    settings.portName = QStringLiteral("COM3");
    ASSERT_TRUE(storePortSettings(frontIni, settings));
    EXPECT_TRUE(lastFileFolder(frontIni).isEmpty());

    const QString folder = dir.filePath(QStringLiteral("отчёты"));
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(storeLastFileFolder(frontIni, folder));
    EXPECT_EQ(lastFileFolder(frontIni), folder);
    PortSettings loaded;
    ASSERT_TRUE(loadPortSettings(frontIni, loaded));
    EXPECT_EQ(loaded.portName, QStringLiteral("COM3")) << "the port settings stay";

    QDir(folder).removeRecursively();
    EXPECT_TRUE(lastFileFolder(frontIni).isEmpty()) << "a folder that is gone is no start";

    // A "front.ini" that is no settings file is not overwritten.
    QFile binary(frontIni);
    ASSERT_TRUE(binary.open(QIODevice::WriteOnly));
    binary.write(QByteArray("\x00\x01binary", 8));
    binary.close();
    EXPECT_FALSE(storeLastFileFolder(frontIni, dir.path()));
    ASSERT_TRUE(binary.open(QIODevice::ReadOnly));
    EXPECT_EQ(binary.readAll(), QByteArray("\x00\x01binary", 8));
}

TEST(PortSettings, theGatewayIsHostColonPort)
{
    using Address = PortSettings::GatewayAddress;
    const std::pair<const char *, std::optional<Address>> cases[] = {
            {"192.168.0.7:4001", Address{QStringLiteral("192.168.0.7"), 4001}},
            {" gw.local:502 ", Address{QStringLiteral("gw.local"), 502}},
            {"[::1]:502", Address{QStringLiteral("::1"), 502}},
            {"127.0.0.1:65535", Address{QStringLiteral("127.0.0.1"), 65535}},
            {"127.0.0.1", std::nullopt},
            {":502", std::nullopt},
            {"host:", std::nullopt},
            {"host:0", std::nullopt},
            {"host:65536", std::nullopt},
            {"host:+5", std::nullopt},
            {"host:port", std::nullopt},
            {"::1:502", std::nullopt}, // IPv6 wants its brackets
            {"[::1:502", std::nullopt},
            {"tcp://host:502", std::nullopt},
            {"gw\rlocal:502", std::nullopt}, // a blank or control character in the host
            {"gw\x01local:502", std::nullopt},
            {"host: 502", std::nullopt}, // the port in digits only
            {"host:00502", Address{QStringLiteral("host"), 502}},
            {"", std::nullopt},
    };
    for (const auto &[text, expected] : cases)
        EXPECT_EQ(PortSettings::parseGateway(QString::fromLatin1(text)), expected) << text;
}

// A port given for one run (--port) is never stored: where the settings
// still hold it, the file's port and transport take its place; what the
// operator chose in the port setup meanwhile is stored.
TEST(PortOverride, isNeverStored)
{
    using Transport = PortSettings::Transport;
    PortSettings inFile;
    inFile.portName = QStringLiteral("ttyUSB3");
    inFile.gateway = QStringLiteral("10.0.0.9:4001");
    struct Case
    {
        const char *name;
        const char *given;
        std::optional<Transport> chosenTransport; // in the port setup during the run
        const char *chosenPort; // "" none
        Transport storedTransport;
        const char *storedPortName;
        const char *storedGateway;
    };
    const Case cases[] = {
            {"a serial port", "ttyS5", {}, "", Transport::Serial, "ttyUSB3", "10.0.0.9:4001"},
            {"a gateway", "tcp://gw:502", {}, "", Transport::Serial, "ttyUSB3", "10.0.0.9:4001"},
            {"a serial port chosen over the gateway", "tcp://gw:502", Transport::Serial, "ttyS7",
             Transport::Serial, "ttyS7", "10.0.0.9:4001"},
            {"another gateway chosen", "tcp://gw:502", Transport::Tcp, "other:1", Transport::Tcp,
             "ttyUSB3", "other:1"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<PortOverride> given = PortOverride::parse(QString::fromLatin1(c.given));
        ASSERT_TRUE(given);
        PortSettings run = inFile;
        given->applyTo(run);
        if (c.chosenTransport) {
            run.transport = *c.chosenTransport;
            (run.transport == Transport::Tcp ? run.gateway : run.portName) =
                    QString::fromLatin1(c.chosenPort);
        }
        const PortSettings stored = given->storable(run, inFile);
        EXPECT_EQ(stored.transport, c.storedTransport);
        EXPECT_EQ(stored.portName, QString::fromLatin1(c.storedPortName));
        EXPECT_EQ(stored.gateway, QString::fromLatin1(c.storedGateway));
    }
}

TEST(PortSettings, theTransportAndGatewayLiveInSectionBus)
{
    struct Case
    {
        const char *text;
        PortSettings::Transport transport;
        const char *gateway;
    };
    const Case cases[] = {
            {"", PortSettings::Transport::Serial, ""},
            {"[bus]\r\nTransport=tcp\r\nGateway=10.0.0.2:4001\r\n", PortSettings::Transport::Tcp,
             "10.0.0.2:4001"},
            {"[bus]\r\nTransport=TCP\r\n", PortSettings::Transport::Tcp, ""},
            {"[bus]\r\nTransport=serial\r\nGateway=10.0.0.2:4001\r\n",
             PortSettings::Transport::Serial, "10.0.0.2:4001"},
            {"[bus]\r\nTransport=pigeon\r\n", PortSettings::Transport::Serial, ""}, // unknown: kept
            {"[bus]\r\nGateway=10.0.0.2\r\n", PortSettings::Transport::Serial, ""}, // no port: kept
            {"[p]\r\nTransport=tcp\r\n", PortSettings::Transport::Serial,
             ""}, // not a key of the port's section
    };
    for (const Case &c : cases) {
        QTemporaryDir dir;
        PortSettings settings;
        settings.loadFrom(iniWith(dir, c.text));
        EXPECT_EQ(settings.transport, c.transport) << c.text;
        EXPECT_EQ(settings.gateway, QString::fromLatin1(c.gateway)) << c.text;
    }

    // Written and read back; section "p" keeps its keys as they were.
    QTemporaryDir dir;
    IniFile ini = iniWith(dir, "");
    PortSettings settings;
    settings.transport = PortSettings::Transport::Tcp;
    settings.gateway = QStringLiteral("[fe80::1]:4001");
    settings.storeTo(ini);
    EXPECT_EQ(ini.keys(QStringLiteral("p")),
              (QStringList{"Port", "BaudRate", "StopBits", "DataBits", "Parity", "FlowControl"}));
    EXPECT_EQ(ini.value(QStringLiteral("bus"), QStringLiteral("Transport")), QStringLiteral("tcp"));
    EXPECT_EQ(ini.value(QStringLiteral("bus"), QStringLiteral("Gateway")),
              QStringLiteral("[fe80::1]:4001"));
    PortSettings loaded;
    loaded.loadFrom(ini);
    EXPECT_EQ(loaded, settings);
    EXPECT_EQ(loaded.lineName(), QStringLiteral("tcp://[fe80::1]:4001"));
}

PortSettings make(const char *baud, const char *parity, const char *stopBits)
{
    PortSettings settings;
    settings.baudRate = QString::fromLatin1(baud);
    settings.parity = QString::fromLatin1(parity);
    settings.stopBits = QString::fromLatin1(stopBits);
    return settings;
}

constexpr quint16 bit(int n)
{
    return quint16(1u << n);
}

TEST(InterfaceWord, fromSettings)
{
    struct Case
    {
        PortSettings settings;
        quint16 word;
    };
    const Case cases[] = {
            {make("9600", "None", "1"), bit(2) | bit(6) | bit(13)},
            {make("19200", "Even", "2"), bit(3) | bit(7) | bit(14)},
            {make("38400", "Odd", "1"), bit(4) | bit(8) | bit(13)},
            // No bit of their own: 4800, mark, space, 1.5 stop bits.
            {make("4800", "Mark", "1.5"), 0},
            {make("115200", "Space", "2"), bit(14)},
    };
    for (const Case &c : cases)
        EXPECT_EQ(InterfaceWord::fromSettings(c.settings), c.word)
                << c.settings.baudRate.toStdString() << ' ' << c.settings.parity.toStdString();

    PortSettings sevenBits = make("9600", "None", "1");
    sevenBits.dataBits = QStringLiteral("7"); // data bits never set a bit
    EXPECT_EQ(InterfaceWord::fromSettings(sevenBits), bit(2) | bit(6) | bit(13));
}

TEST(InterfaceWord, applyToTestsTheBitsInOrderAndLeavesGroupsWithoutBits)
{
    const PortSettings start = make("4800", "Mark", "1.5");
    struct Case
    {
        quint16 word;
        const char *baud;
        const char *parity;
        const char *stopBits;
    };
    const Case cases[] = {
            {0, "4800", "Mark", "1.5"},
            {bit(2) | bit(6) | bit(13), "9600", "None", "1"},
            {bit(2) | bit(4), "38400", "Mark", "1.5"}, // a later speed bit wins
            {bit(3) | bit(7) | bit(8), "19200", "Odd", "1.5"}, // odd is tested after even
            {bit(13) | bit(14), "4800", "Mark", "2"},
            {bit(1) | bit(10) | bit(11), "4800", "Mark",
             "1.5"}, // 4800 and data-bit bits are not applied
            {bit(0) | bit(5) | bit(9) | bit(12) | bit(15), "4800", "Mark", "1.5"},
    };
    for (const Case &c : cases) {
        const PortSettings result = InterfaceWord::applyTo(start, c.word);
        EXPECT_EQ(result, make(c.baud, c.parity, c.stopBits)) << "word " << c.word;
    }
}

// The relay's own word with only the port's groups replaced, or refused
// when the relay would then run at anything else than the port.
TEST(InterfaceWord, changeKeepsTheRelaysOwnBitsAndRefusesWhatTheWordCannotSay)
{
    struct Case
    {
        quint16 relayWord;
        PortSettings chosen;
        quint16 word; // 0: refused
    };
    PortSettings sevenBits = make("9600", "None", "1");
    sevenBits.dataBits = QStringLiteral("7");
    PortSettings custom = make("Custom", "None", "1");
    custom.customBaudRate = 19200;
    PortSettings oddCustom = custom;
    oddCustom.customBaudRate = 31250;
    const Case cases[] = {
            {0x2844, make("19200", "None", "1"), 0x2848}, // 8 data bits kept
            {0x2844, make("38400", "Even", "2"), bit(4) | bit(7) | bit(11) | bit(14)},
            {0x2842, make("9600", "None", "1"), 0x2844}, // one speed: the 4800 bit cleared
            {0x2842, make("4800", "None", "1"), 0x2842}, // a relay at 4800 may stay there
            {0x9E23 | bit(2), make("19200", "Odd", "2"),
             0x9E21 | bit(3) | bit(8) | bit(14)}, // the bits that carry nothing kept
            {0x2844, custom, 0x2848},
            {0x2844, make("4800", "None", "1"), 0},
            {0x2844, make("115200", "None", "1"), 0},
            {0x2844, oddCustom, 0},
            {0x2844, make("9600", "Mark", "1"), 0},
            {0x2844, make("9600", "None", "1.5"), 0},
            {0x2844, sevenBits, 0},
            {0x0000, sevenBits, bit(2) | bit(6) | bit(13)}, // a word without data bits
    };
    for (const Case &c : cases) {
        const InterfaceWord::Change change = InterfaceWord::change(c.relayWord, c.chosen);
        SCOPED_TRACE(InterfaceWord::hex(c.relayWord).toStdString() + " "
                     + c.chosen.baudRate.toStdString() + " " + c.chosen.parity.toStdString() + " "
                     + c.chosen.stopBits.toStdString() + " " + c.chosen.dataBits.toStdString());
        EXPECT_EQ(change.expressible(), c.word != 0) << change.reasons.join(u'|').toStdString();
        if (c.word != 0)
            EXPECT_EQ(change.word, c.word) << InterfaceWord::hex(change.word).toStdString();
        else
            EXPECT_EQ(change.reasons.size(), 1);
    }
}

TEST(PortLink, anOpenPortThatRefusesASettingKeepsWhatItUses)
{
    RelayLine line;
    LoopbackLink link(line);
    PortSettings first;
    first.baudRate = QStringLiteral("9600");
    first.scanWaitMs = 150;
    ASSERT_TRUE(link.setSettings(first));
    ASSERT_TRUE(link.open());
    link.refuseBaudRate(115200);

    PortSettings refused = first;
    refused.baudRate = QStringLiteral("115200");
    refused.scanWaitMs = 300;
    QString error;
    EXPECT_FALSE(link.setSettings(refused, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(link.settings(), first) << "the next setup shows what the port really uses";
    EXPECT_EQ(link.bus().timing().baudRate, 9600);
    EXPECT_EQ(link.bus().timing().scanTimeoutMs, 150);
}

} // namespace

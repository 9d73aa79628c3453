#include "core/Texts.h"
#include "link/FrontIni.h"
#include "link/IniFile.h"
#include "link/PortLatency.h"
#include "link/PresentPorts.h"
#include "link/SerialLink.h"
#include "support/PseudoTerminal.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <QCoreApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <stdlib.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace miv;

namespace {

PortSettings on(const QString &portName)
{
    PortSettings settings;
    settings.portName = portName;
    return settings;
}

TEST(SerialLink, opensAPseudoTerminalDespiteItsMissingControlLines)
{
    PseudoTerminal pty;
    ASSERT_FALSE(pty.slavePath().isEmpty());
    SerialLink link;
    QSignalSpy opened(&link, &SerialLink::afterOpen);
    link.setSettings(on(pty.slavePath()));
    QString error;
    ASSERT_TRUE(link.open(&error)) << error.toStdString();
    EXPECT_TRUE(error.isEmpty());
    EXPECT_TRUE(link.isOpen());
    EXPECT_EQ(opened.count(), 1);
    EXPECT_EQ(link.port().error(), QSerialPort::NoError);
    EXPECT_FALSE(requestLowLatency(link.port().handle())); // a pty has no such setting

    // Bytes go both ways through the bus's port.
    link.port().write("\x01\x07", 2);
    link.port().waitForBytesWritten(1000);
    EXPECT_EQ(pty.receive(2), QByteArray("\x01\x07", 2));
    ASSERT_TRUE(pty.send("ok"));
    ASSERT_TRUE(link.port().waitForReadyRead(2000));
    EXPECT_EQ(link.port().readAll(), QByteArray("ok"));
}

TEST(SerialLink, nameRelativeToDevIsTheSameDevice)
{
    PseudoTerminal pty;
    SerialLink link;
    link.setSettings(on(pty.slavePath().mid(5))); // "pts/N"
    QString error;
    EXPECT_TRUE(link.open(&error)) << error.toStdString();
}

TEST(SerialLink, missingPortFailsWithAMessageAndStaysClosed)
{
    SerialLink link;
    QSignalSpy opened(&link, &SerialLink::afterOpen);
    link.setSettings(on(QStringLiteral("ttyNoSuchPort42")));
    QString error;
    EXPECT_FALSE(link.open(&error));
    EXPECT_FALSE(link.isOpen());
    EXPECT_TRUE(error.startsWith(Texts::portOpenError)) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("ttyNoSuchPort42")));
    EXPECT_EQ(opened.count(), 0);
}

// Run as a user outside the port's group to see it: as root every port opens.
TEST(SerialLink, portWithoutPermissionNamesTheGroupNeeded)
{
    const char *device = "/dev/ttyS0";
    struct stat status
    { };
    if (::stat(device, &status) != 0 || ::access(device, R_OK | W_OK) == 0
        || (status.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP))
        GTEST_SKIP() << "needs a serial port this user may not open but its group may";
    const group *owner = ::getgrgid(status.st_gid);
    ASSERT_NE(owner, nullptr);
    SerialLink link;
    link.setSettings(on(QStringLiteral("ttyS0")));
    QString error;
    EXPECT_FALSE(link.open(&error));
    EXPECT_TRUE(error.contains(QString::fromLocal8Bit(owner->gr_name))) << error.toStdString();
}

TEST(SerialLink, settingsReachTheBusTiming)
{
    SerialLink link;
    PortSettings settings = on(QStringLiteral("ttyS0"));
    settings.baudRate = QStringLiteral("Custom");
    settings.customBaudRate = 250000;
    settings.parity = QStringLiteral("Even");
    settings.stopBits = QStringLiteral("2");
    link.setSettings(settings);
    EXPECT_EQ(link.bus().timing().baudRate, 250000);
    EXPECT_EQ(link.bus().timing().bitsPerCharacter, 1 + 8 + 1 + 2);
    EXPECT_EQ(link.port().baudRate(), 250000);
    EXPECT_EQ(link.port().parity(), QSerialPort::EvenParity);
    EXPECT_EQ(link.port().stopBits(), QSerialPort::TwoStop);
}

TEST(SerialLink, settingsApplyToTheOpenPort)
{
    PseudoTerminal pty;
    SerialLink link;
    link.setSettings(on(pty.slavePath()));
    ASSERT_TRUE(link.open());
    PortSettings settings = link.settings();
    settings.baudRate = QStringLiteral("19200");
    settings.parity = QStringLiteral("Mark");
    settings.stopBits = QStringLiteral("1.5");
    settings.flowControl = QStringLiteral("Software");
    QString error;
    EXPECT_TRUE(link.setSettings(settings, &error)) << error.toStdString();
    EXPECT_TRUE(link.isOpen());
    EXPECT_EQ(link.port().parity(), QSerialPort::MarkParity);
    EXPECT_EQ(link.port().stopBits(), QSerialPort::OneAndHalfStop);
    EXPECT_EQ(link.port().flowControl(), QSerialPort::SoftwareControl);
    EXPECT_EQ(link.bus().timing().baudRate, 19200);
}

TEST(SerialLink, pseudoTerminalRefusingLineSettingsIsNoFailure)
{
    PseudoTerminal pty;
    SerialLink link;
    link.setSettings(on(pty.slavePath()));
    ASSERT_TRUE(link.open());
    PortSettings settings = link.settings();
    settings.dataBits =
            QStringLiteral("7"); // Linux keeps a pseudo-terminal at 8 data bits, no parity
    settings.parity = QStringLiteral("Even");
    QString error;
    EXPECT_TRUE(link.setSettings(settings, &error)) << error.toStdString();
    EXPECT_EQ(link.settings(), settings);
    EXPECT_EQ(link.bus().timing().bitsPerCharacter, 1 + 7 + 1 + 1);
    EXPECT_TRUE(link.isOpen());
    EXPECT_EQ(link.port().error(), QSerialPort::NoError);
    link.bus().setReplyTimeoutMs(20);
    EXPECT_EQ(link.bus().askStatus(1).kind,
              BusReply::Kind::NoAnswer); // no relay, but no port failure either
}

TEST(SerialLink, busTimingFollowsTheSettings)
{
    SerialLink link;
    PortSettings settings;
    settings.baudRate = QStringLiteral("19200");
    settings.parity = QStringLiteral("Even");
    settings.scanWaitMs = 250;
    link.setSettings(settings);
    EXPECT_EQ(link.bus().timing().baudRate, 19200);
    EXPECT_EQ(link.bus().timing().bitsPerCharacter, 11);
    EXPECT_EQ(link.bus().timing().scanTimeoutMs, 250);
}

TEST(SerialLink, changedNameWhileOpenClosesAndReopens)
{
    PseudoTerminal first;
    PseudoTerminal second;
    SerialLink link;
    link.setSettings(on(first.slavePath()));
    ASSERT_TRUE(link.open());
    QSignalSpy opened(&link, &SerialLink::afterOpen);
    QSignalSpy closing(&link, &SerialLink::beforeClose);

    ASSERT_TRUE(link.setSettings(on(second.slavePath())));
    EXPECT_EQ(closing.count(), 1);
    EXPECT_EQ(opened.count(), 1);
    link.port().write("x", 1);
    link.port().waitForBytesWritten(1000);
    EXPECT_EQ(second.receive(1), QByteArray("x"));

    QString error;
    EXPECT_FALSE(link.setSettings(on(QStringLiteral("ttyNoSuchPort42")), &error));
    EXPECT_FALSE(link.isOpen());
    EXPECT_TRUE(error.startsWith(Texts::portOpenError));
    EXPECT_EQ(closing.count(), 2);

    // Reopening on a port that is present again works.
    EXPECT_TRUE(link.setSettings(on(first.slavePath())));
    EXPECT_FALSE(link.isOpen()); // a closed link only takes the settings
    EXPECT_TRUE(link.reopen());
    EXPECT_EQ(opened.count(), 2);
}

TEST(SerialLink, portGoneBeforeAnExchangeIsAPortFailure)
{
    auto pty = std::make_unique<PseudoTerminal>();
    SerialLink link;
    link.setSettings(on(pty->slavePath()));
    ASSERT_TRUE(link.open());
    link.bus().setReplyTimeoutMs(300);
    pty.reset();
    const BusReply reply = link.bus().askRegisters(1, 0, 7);
    EXPECT_EQ(reply.kind, BusReply::Kind::PortFailure) << reply.text.toStdString();
}

TEST(SerialLink, portGoneWhileTheBusWaitsIsAPortFailure)
{
    PseudoTerminal pty;
    SerialLink link;
    link.setSettings(on(pty.slavePath()));
    ASSERT_TRUE(link.open());
    link.bus().setReplyTimeoutMs(5000);
    // The line goes away once the request is on it, while the bus waits for the reply.
    std::thread unplug([&pty] {
        pty.receive(8);
        pty.closeMaster();
    });
    const BusReply reply = link.bus().askRegisters(1, 0, 7);
    EXPECT_EQ(reply.kind, BusReply::Kind::PortFailure) << reply.text.toStdString();
    unplug.join();
}

// An adapter pulled out and plugged in again comes back as another device;
// its stable name (a link, as in /dev/serial/by-id) leads to the new one.
TEST(SerialLink, aStableNameOpensTheDeviceThatCameBackUnderIt)
{
    QTemporaryDir byId;
    const QString stableName = byId.filePath(QStringLiteral("usb-Maker_RS485_A1B2-if00-port0"));
    auto first = std::make_unique<PseudoTerminal>();
    ASSERT_TRUE(QFile::link(first->slavePath(), stableName));
    EXPECT_EQ(stableNameOf(QStringLiteral("pts"), first->slavePath(), byId.path()), stableName);
    EXPECT_EQ(stableNameOf(QStringLiteral("ttyS9"), QStringLiteral("/dev/ttyS9"), byId.path()),
              QString());

    SerialLink link;
    link.setSettings(on(stableName));
    ASSERT_TRUE(link.open());
    PseudoTerminal second; // made now, so that it has another device name
    // Pulled out: the device and its stable name go. (Left in place, the name
    // would lead the reopening to whatever pseudo-terminal another program
    // was given under the freed number meanwhile.)
    first.reset();
    ASSERT_TRUE(QFile::remove(stableName));
    QSignalSpy lost(&link, &PortLink::lost);
    QString error;
    EXPECT_FALSE(link.reopen(&error));
    EXPECT_FALSE(link.isOpen());
    // The loss is told once, after the call that found it has returned.
    EXPECT_EQ(lost.count(), 0);
    EXPECT_FALSE(link.reopen()); // no longer held: no second loss
    QCoreApplication::processEvents();
    EXPECT_EQ(lost.count(), 1);

    // Plugged in again: the stable name leads to the new device.
    ASSERT_TRUE(QFile::link(second.slavePath(), stableName));
    ASSERT_TRUE(link.open(&error)) << error.toStdString();
    EXPECT_EQ(link.settings().portName, stableName);
    EXPECT_EQ(link.bus().askStatus(1, 50).kind,
              BusReply::Kind::NoAnswer); // the new device carries the exchange: nobody answers
}

// The adapter's latency timer from a device tree laid out as Linux mounts
// it: the tty's class entry links to the adapter's port, which holds the
// timer, or to a device below the one that does.
TEST(PortLatency, theTimerIsReadWhereTheSystemShowsIt)
{
    QTemporaryDir sysfs;
    ASSERT_TRUE(sysfs.isValid());
    const auto device = [&](const QString &name, const QString &where, const QByteArray &timer,
                            const QString &timerWhere) {
        const QString port = sysfs.filePath(QStringLiteral("devices/usb1/1-1/") + where);
        ASSERT_TRUE(QDir().mkpath(port));
        ASSERT_TRUE(QDir().mkpath(sysfs.filePath(QStringLiteral("class/tty/") + name)));
        ASSERT_TRUE(
                QFile::link(port, sysfs.filePath(QStringLiteral("class/tty/%1/device").arg(name))));
        if (timer.isNull())
            return;
        QFile file(sysfs.filePath(QStringLiteral("devices/usb1/1-1/") + timerWhere
                                  + QStringLiteral("/latency_timer")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(timer);
    };
    device(QStringLiteral("ttyUSB0"), QStringLiteral("1-1:1.0/ttyUSB0"), "1\n",
           QStringLiteral("1-1:1.0/ttyUSB0"));
    device(QStringLiteral("ttyUSB1"), QStringLiteral("1-1:1.1/ttyUSB1"), "16\n",
           QStringLiteral("1-1:1.1/ttyUSB1"));
    device(QStringLiteral("ttyUSB2"), QStringLiteral("1-1:1.2/tty/ttyUSB2"), "16",
           QStringLiteral("1-1:1.2"));
    device(QStringLiteral("ttyACM0"), QStringLiteral("1-1:1.3/tty/ttyACM0"), {}, {});
    device(QStringLiteral("ttyUSB3"), QStringLiteral("1-1:1.4/ttyUSB3"), "fast\n",
           QStringLiteral("1-1:1.4/ttyUSB3"));
    const struct
    {
        QString port;
        std::optional<int> ms;
    } cases[] = {
            {QStringLiteral("ttyUSB0"), 1},
            {QStringLiteral("/dev/ttyUSB1"), 16},
            {QStringLiteral("ttyUSB2"), 16},
            {QStringLiteral("ttyACM0"), std::nullopt},
            {QStringLiteral("ttyUSB3"), std::nullopt},
            {QStringLiteral("ttyS9"), std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(latencyTimerMs(c.port, sysfs.path()), c.ms) << c.port.toStdString();
}

TEST(FrontIni, storeKeepsOtherSectionsAndLoadReadsThemBack)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("front.ini"));
    IniFile seed(path);
    seed.setValue(QStringLiteral("window"), QStringLiteral("Left"), QStringLiteral("80"));
    ASSERT_TRUE(seed.save());

    PortSettings settings = on(QStringLiteral("/dev/serial/by-id/usb-FTDI-if00-port0"));
    ASSERT_TRUE(storePortSettings(path, settings));
    PortSettings loaded;
    ASSERT_TRUE(loadPortSettings(path, loaded));
    EXPECT_EQ(loaded, settings);
    IniFile check(path);
    ASSERT_TRUE(check.load());
    EXPECT_EQ(check.value(QStringLiteral("window"), QStringLiteral("Left")), QStringLiteral("80"));

    EXPECT_TRUE(frontIniPath().endsWith(QStringLiteral("/front.ini")));
    EXPECT_TRUE(frontIniPath().startsWith(QCoreApplication::applicationDirPath()));
}

// An installed program's "front.ini" lies in the user's configuration
// folder, which does not exist before the first store.
TEST(FrontIni, storeMakesAMissingFolder)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("config/mivconf/front.ini"));
    ASSERT_TRUE(storePortSettings(path, on(QStringLiteral("ttyUSB1"))));
    PortSettings loaded;
    ASSERT_TRUE(loadPortSettings(path, loaded));
    EXPECT_EQ(loaded.portName, QStringLiteral("ttyUSB1"));
}

TEST(FrontIni, unreadableFileIsNotOverwritten)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("front.ini")));
    const QString path = dir.filePath(QStringLiteral("front.ini"));
    PortSettings settings;
    QString error;
    EXPECT_FALSE(loadPortSettings(path, settings, &error));
    EXPECT_FALSE(storePortSettings(path, settings, &error));
    EXPECT_TRUE(QFileInfo(path).isDir());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

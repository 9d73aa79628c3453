#include "link/SerialLink.h"

#include "core/Texts.h"
#include "link/PortLatency.h"

#include <QFileInfo>

#ifdef Q_OS_UNIX
#  include <grp.h>
#  include <sys/stat.h>
#endif
#ifdef Q_OS_LINUX
#  include <sys/sysmacros.h>
#endif

namespace miv {
namespace {

// The port's input buffer. A relay's longest reply is 256 bytes, so a reply
// always fits; Qt has no output buffer size to set.
constexpr qint64 bufferBytes = 1024;

QSerialPort::DataBits dataBitsOf(const PortSettings &settings)
{
    switch (settings.dataBits.toInt()) {
    case 5:
        return QSerialPort::Data5;
    case 6:
        return QSerialPort::Data6;
    case 7:
        return QSerialPort::Data7;
    default:
        return QSerialPort::Data8;
    }
}

QSerialPort::Parity parityOf(const PortSettings &settings)
{
    if (settings.parity == QLatin1String("Odd"))
        return QSerialPort::OddParity;
    if (settings.parity == QLatin1String("Even"))
        return QSerialPort::EvenParity;
    if (settings.parity == QLatin1String("Mark"))
        return QSerialPort::MarkParity;
    if (settings.parity == QLatin1String("Space"))
        return QSerialPort::SpaceParity;
    return QSerialPort::NoParity;
}

QSerialPort::StopBits stopBitsOf(const PortSettings &settings)
{
    if (settings.stopBits == QLatin1String("1.5"))
        return QSerialPort::OneAndHalfStop;
    if (settings.stopBits == QLatin1String("2"))
        return QSerialPort::TwoStop;
    return QSerialPort::OneStop;
}

// "Custom" flow control names single lines the settings file does not keep;
// the relay line uses none of them.
QSerialPort::FlowControl flowControlOf(const PortSettings &settings)
{
    if (settings.flowControl == QLatin1String("Hardware"))
        return QSerialPort::HardwareControl;
    if (settings.flowControl == QLatin1String("Software"))
        return QSerialPort::SoftwareControl;
    return QSerialPort::NoFlowControl;
}

// The device file a port name stands for, as QSerialPort resolves it.
QString devicePath(const QString &portName)
{
#ifdef Q_OS_UNIX
    return portName.startsWith(u'/') ? portName : QStringLiteral("/dev/") + portName;
#else
    return portName;
#endif
}

// A pseudo-terminal (the simulated line) has no line settings of its own:
// Linux forces 8 data bits and no parity on it, so its refusals mean nothing.
bool isPseudoTerminal(const QString &path)
{
#ifdef Q_OS_UNIX
    if (path.startsWith(QLatin1String("/dev/pts/")))
        return true;
#  ifdef Q_OS_LINUX
    // A link to one (a stable name the simulator made) is told by the
    // device's major number, which only Linux fixes.
    struct stat status
    { };
    if (::stat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISCHR(status.st_mode))
        return false;
    const unsigned int majorNumber = major(status.st_rdev); // Unix98 pty slaves: 136 to 143
    return majorNumber >= 136 && majorNumber <= 143;
#  else
    return false;
#  endif
#else
    Q_UNUSED(path);
    return false;
#endif
}

// Which group may open the device; empty when it cannot be told or when the
// group may not read and write it either (then joining it would not help).
QString deviceGroup(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat status
    { };
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return {};
    if ((status.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP))
        return {};
    if (const group *entry = ::getgrgid(status.st_gid))
        return QString::fromLocal8Bit(entry->gr_name);
    return QString::number(status.st_gid);
#else
    Q_UNUSED(path);
    return {};
#endif
}

QString openFailureReason(const QSerialPort &port, const QString &portName)
{
    if (port.error() == QSerialPort::PermissionError) {
        const QString group = deviceGroup(devicePath(portName));
        if (!group.isEmpty())
            return QStringLiteral(
                           "нет прав на порт %1; пользователю нужно состоять в группе \"%2\" "
                           "(sudo usermod -aG %2 $USER, затем войти в систему заново)")
                    .arg(portName, group);
        return QStringLiteral("нет прав на порт %1 (%2)").arg(portName, port.errorString());
    }
    if (port.error() == QSerialPort::DeviceNotFoundError)
        return QStringLiteral("порт %1 не найден").arg(portName);
    return QStringLiteral("%1: %2").arg(portName, port.errorString());
}

} // namespace

SerialLink::SerialLink(QObject *parent) : PortLink(parent), m_bus(&m_port)
{
    applyLineSettings();
}

bool SerialLink::applySettings(const PortSettings &settings, QString *error)
{
    const bool nameChanged = settings.portName != m_settings.portName;
    m_settings = settings;
    if (nameChanged && isOpen()) {
        close();
        return open(error);
    }
    const QStringList refused = applyLineSettings();
    if (refused.isEmpty()
        || isPseudoTerminal(QFileInfo(devicePath(m_settings.portName)).canonicalFilePath()))
        return true;
    if (error)
        *error = QStringLiteral("Порт %1 не принял настройки: %2")
                         .arg(m_settings.portName, refused.join(QStringLiteral(", ")));
    return false;
}

QStringList SerialLink::applyLineSettings()
{
    // QSerialPort keeps these for a closed port and applies them on opening.
    // An open port may refuse one; it then keeps its earlier value, and the
    // refusal is no port failure.
    QStringList refused;
    const auto apply = [&refused](bool accepted, const QString &what) {
        if (!accepted)
            refused.append(what);
    };
    apply(m_port.setBaudRate(m_settings.effectiveBaudRate()),
          QStringLiteral("Baud rate ") + m_settings.baudRate);
    apply(m_port.setDataBits(dataBitsOf(m_settings)),
          QStringLiteral("Data bits ") + m_settings.dataBits);
    apply(m_port.setParity(parityOf(m_settings)), QStringLiteral("Parity ") + m_settings.parity);
    apply(m_port.setStopBits(stopBitsOf(m_settings)),
          QStringLiteral("Stop bits ") + m_settings.stopBits);
    apply(m_port.setFlowControl(flowControlOf(m_settings)),
          QStringLiteral("Flow control ") + m_settings.flowControl);
    if (m_port.isOpen()) {
        releaseControlLines();
        if (!refused.isEmpty() && m_port.error() == QSerialPort::UnsupportedOperationError)
            m_port.clearError();
    }
    m_settings.applyTo(m_bus);
    return refused;
}

// DTR and RTS stay off, as the relay line wants them. A pseudo-terminal has
// no such lines and refuses with UnsupportedOperationError: the port is still
// perfectly usable, so that refusal is forgotten rather than reported. Under
// hardware flow control RTS belongs to the driver and is left alone.
void SerialLink::releaseControlLines()
{
    m_port.setDataTerminalReady(false);
    if (m_port.flowControl() != QSerialPort::HardwareControl)
        m_port.setRequestToSend(false);
    if (m_port.error() == QSerialPort::UnsupportedOperationError)
        m_port.clearError();
}

bool SerialLink::open(QString *error)
{
    if (isOpen())
        return true;
    m_port.setPortName(m_settings.portName);
    applyLineSettings();
    if (!m_port.open(QIODevice::ReadWrite)) {
        if (error)
            *error = Texts::portOpenError + QStringLiteral(": ")
                    + openFailureReason(m_port, m_settings.portName);
        m_port.clearError();
        return false;
    }
    m_port.setReadBufferSize(bufferBytes);
#ifdef Q_OS_LINUX
    // A reply is handed on as soon as it is in, where the driver can; one
    // that cannot (a pseudo-terminal) works as it is, and nothing is said.
    requestLowLatency(m_port.handle());
#endif
    releaseControlLines();
    m_port.clear();
    Q_EMIT afterOpen();
    return true;
}

void SerialLink::close()
{
    if (!isOpen())
        return;
    Q_EMIT beforeClose();
    m_port.close();
    m_port.clearError();
}

bool SerialLink::isOpen() const
{
    return m_port.isOpen();
}

} // namespace miv

#include "support/PtySerialPort.h"

std::unique_ptr<QSerialPort> openPtySerialPort(const QString &path, int baudRate, QString *error)
{
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(path);
    port->setBaudRate(baudRate);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);
    if (!port->open(QIODevice::ReadWrite)) {
        if (error)
            *error = port->errorString();
        return nullptr;
    }
    if (port->error() == QSerialPort::UnsupportedOperationError)
        port->clearError();
    return port;
}

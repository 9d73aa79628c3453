#pragma once

#include <QSerialPort>
#include <QString>
#include <memory>

// Opens a QSerialPort on a device path (a pseudo-terminal in tests) with the
// given speed and 8N1. A pseudo-terminal refuses DTR and RTS; that error is
// cleared and the port kept. nullptr with `error` set when it cannot be opened.
std::unique_ptr<QSerialPort> openPtySerialPort(const QString &path, int baudRate = 9600,
                                               QString *error = nullptr);

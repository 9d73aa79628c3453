#pragma once

#include "link/PortSettings.h"

#include <QObject>

namespace miv {

class RelayBus;

// The data module's port `p`: the line to the relays with its settings, and
// the relay bus that talks through it. The program opens a serial port
// (SerialLink); a test may put an in-process line in its place.
class PortLink : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~PortLink() override;

    virtual RelayBus &bus() = 0;

    virtual const PortSettings &settings() const = 0;
    // Applies the settings, to the open port as well. False (with error) when
    // the port did not take them. An open port that refuses a setting keeps
    // working with the earlier ones, and so do settings() and the bus's
    // timing: what the program believes is what the port uses.
    bool setSettings(const PortSettings &settings, QString *error = nullptr);

    // False leaves the link closed, with a message for the operator in error.
    virtual bool open(QString *error = nullptr) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Close, then open: what a failing bus call asks for.
    bool reopen(QString *error = nullptr);

protected:
    // Puts the settings in force as far as the port takes them; false (with
    // error) when it refused one.
    virtual bool applySettings(const PortSettings &settings, QString *error) = 0;

Q_SIGNALS:
    void afterOpen(); // pAfterOpen
    void beforeClose(); // pBeforeClose
};

} // namespace miv

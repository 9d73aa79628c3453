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
    explicit PortLink(QObject *parent = nullptr);
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
    // Close, then open: what a failing bus call asks for. A port held open
    // that will not open again is lost: lost() tells it.
    bool reopen(QString *error = nullptr);
    // Whether the program holds the port open: from an open that succeeded
    // to the next close. A device that failed under it (an adapter pulled
    // out, a gateway that hung up) leaves it held, so that the failure is
    // looked after; a port the operator closed, or one that would not open
    // again, is not held, and no operation opens it behind the operator's back.
    bool heldOpen() const { return m_heldOpen; }

protected:
    // Puts the settings in force as far as the port takes them; false (with
    // error) when it refused one.
    virtual bool applySettings(const PortSettings &settings, QString *error) = 0;

Q_SIGNALS:
    void afterOpen(); // pAfterOpen
    void beforeClose(); // pBeforeClose
    // The port held open failed and would not open again. Told once for each
    // loss, queued: it comes once the exchange that lost the port has
    // returned, never in the middle of one.
    void lost();

private:
    bool m_heldOpen = false;
};

} // namespace miv

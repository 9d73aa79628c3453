#pragma once

#include "link/FrontIni.h"
#include "link/PortSettings.h"
#include "link/WriteOutcome.h"

#include <QString>
#include <functional>
#include <optional>

namespace miv {

class AuditLog;
class Operator;
class PortLink;
class RelayBus;
struct RelaySession;

// "Настройка порта": the operator edits the port settings, they are stored,
// and the selected relay is told its new interface word over the old line
// settings before the port follows (changeRelayInterface: checked, written,
// confirmed, then the port switched and the settings stored). A setting the
// word cannot say is refused before anything is written or stored. No relay
// selected (address 0) means no word is written: address 0 is the broadcast
// address and would reconfigure every relay on the line.

// What the setup needs of the port, so that it runs on the serial link as on
// a test line.
struct PortSetupPort
{
    std::function<PortSettings()> settings;
    // Puts settings in force (on the open port as well). False with the
    // serial layer's message when a changed port name cannot be opened or
    // the open port refuses a setting.
    std::function<bool(const PortSettings &, QString *error)> apply;
};

// Asks the operator for the port settings, showing the current ones (the
// window's setup dialog): the chosen ones on OK, none on Cancel.
using PortSetupAsk = std::function<std::optional<PortSettings>(const PortSettings &current)>;
// Stores the settings ("front.ini"); false with a message when it could not.
using PortSettingsStore = std::function<bool(const PortSettings &, QString *error)>;

struct PortSetupResult
{
    bool accepted = false; // OK was pressed
    // The port did not take the choice, or would not be able to follow the
    // relay: nothing stored or written.
    bool portFailed = false;
    bool stored = false;
    // The relay holds the new interface word and the port runs at the new
    // settings. Whatever else happened, the port and the stored settings are
    // the same.
    bool wordWritten = false;
    WriteOutcome wordWrite; // what became of the interface word's write
    // The relay's interface word after the setup, when it was read or written:
    // what its details show without a new identification.
    std::optional<quint16> relayWord;
};

// The interface word's write leaves its line in `audit` (with the relay's
// factory number) when one is given.
PortSetupResult runPortSetup(RelayBus &bus, const PortSetupPort &port, quint8 relayAddress,
                             const PortSetupAsk &ask, const PortSettingsStore &store, Operator &op,
                             AuditLog *audit = nullptr, quint16 factoryNumber = 0);

// The same for the relay of `session` at relayAddress (0: none), with the
// session's bus, audit log and the relay's factory number. The session's
// CurrentDevice keeps the interface word the relay holds afterwards, so that
// the relay's details show the new settings without a new identification.
PortSetupResult runPortSetup(RelaySession &session, quint8 relayAddress, const PortSetupPort &port,
                             const PortSetupAsk &ask, const PortSettingsStore &store, Operator &op);

// The same on a port link (the data module's serial port), storing to the
// "front.ini" at iniPath.
PortSetupResult runPortSetup(PortLink &link, quint8 relayAddress, const PortSetupAsk &ask,
                             Operator &op, const QString &iniPath = frontIniPath(),
                             AuditLog *audit = nullptr, quint16 factoryNumber = 0);

} // namespace miv

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

// "Настройка порта": the operator edits the port settings, they are stored,
// and the selected relay is told its new interface word over the old line
// settings before the port follows. No relay selected (address 0) means no
// word is written: address 0 is the broadcast address and would reconfigure
// every relay on the line.

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
    bool portFailed = false; // the port did not take the choice: nothing stored or written
    bool stored = false;
    // The relay took the interface word. One it refused leaves the port and
    // the stored settings with those the relay keeps.
    bool wordWritten = false;
    WriteOutcome wordWrite; // what became of the interface word's write
};

// The interface word's write leaves its line in `audit` (with the relay's
// factory number) when one is given.
PortSetupResult runPortSetup(RelayBus &bus, const PortSetupPort &port, quint8 relayAddress,
                             const PortSetupAsk &ask, const PortSettingsStore &store, Operator &op,
                             AuditLog *audit = nullptr, quint16 factoryNumber = 0);

// The same on a port link (the data module's serial port), storing to the
// "front.ini" at iniPath.
PortSetupResult runPortSetup(PortLink &link, quint8 relayAddress, const PortSetupAsk &ask,
                             Operator &op, const QString &iniPath = frontIniPath(),
                             AuditLog *audit = nullptr, quint16 factoryNumber = 0);

} // namespace miv

#pragma once

#include "config/SettingsCompare.h"
#include "device/PortSetup.h"
#include "link/PortLink.h"
#include "link/PortOverride.h"

#include <functional>
#include <memory>
#include <optional>
#include <QList>
#include <QString>

namespace miv {

// What differs between the program and a test run of the data module.
struct DataModuleEnvironment
{
    // The program's folder with its trailing separator: the about library
    // is looked for there (and in the installed library folder reached from it).
    QString programDir;
    // The "front.ini" to read and write; empty means the one in programDir.
    QString frontIni;
    // A port (serial, or a TCP gateway) used for this run instead of the
    // one in "front.ini" and never stored there.
    std::optional<miv::PortOverride> portOverride;
    // The port setup dialog; empty means the real one.
    miv::PortSetupAsk portSetupDialog;
    // Makes the port link `p`; empty means the program's own, the serial
    // port or the TCP gateway as the settings' transport says (LineLink).
    std::function<std::unique_ptr<miv::PortLink>()> portLink;
    // Opens a written report with the program the desktop associates
    // with it; empty means the desktop's own.
    std::function<void(const QString &path)> openFile;
    // Shows the differences of "Сравнить с файлом..."; empty means the
    // real dialog.
    std::function<void(const QString &path, const QList<miv::SettingsDifference> &)>
            showDifferences;

    // programDir with its trailing separator, however it was given.
    QString programFolder() const;
    // The "front.ini" in force.
    QString frontIniPath() const;
};

} // namespace miv

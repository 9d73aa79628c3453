#pragma once

#include "link/PortOverride.h"
#include "link/PortSettings.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace miv::cli {

// The options that come before the command:
//   mivctl [--port NAME|tcp://HOST:PORT] [--baud N] [--parity none|odd|even|mark|space]
//          [--data-bits 5..8] [--stop-bits 1|1.5|2] [--timeout MS]
//          [--scan-wait MS] [--retries N] [--registry FILE|postgresql://USER@HOST[:PORT]/DB]
//          [--trace] [--yes] COMMAND [ARGUMENTS...]
// Everything after the command belongs to the command, options included.
struct GlobalOptions
{
    std::optional<miv::PortOverride> port; // a serial port, or a gateway: the line settings kept
    std::optional<int> baudRate;
    std::optional<QString> parity; // as "front.ini" writes it: "None", "Odd", ...
    std::optional<QString> dataBits; // "5" .. "8"
    std::optional<QString> stopBits; // "1", "1.5", "2"
    std::optional<int> replyTimeoutMs;
    std::optional<int> scanWaitMs;
    std::optional<int> retries;
    // Where the relay register is kept: a file or postgresql://USER@HOST[:PORT]/DB.
    std::optional<QString> registry;
    bool trace = false;
    bool assumeYes = false; // questions are answered Ok/Yes instead of Cancel/No
    QString command;
    QStringList commandArguments;

    // Puts the given port options over settings (read from "front.ini").
    void applyTo(miv::PortSettings &settings) const;
};

// The usage lines of the global options, for "mivctl help".
QString globalOptionsUsage();

// Parses the program's arguments (without the program name). None, with a
// message in error, for an unknown option, a missing or bad value.
// A missing command is not an error here: command stays empty.
std::optional<GlobalOptions> parseGlobalOptions(const QStringList &arguments, QString *error);

} // namespace miv::cli

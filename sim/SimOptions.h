#pragma once

#include "sim/RelayLine.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <map>
#include <optional>

namespace miv::sim {

// The command line of the relay simulator `mivsim`: which relays are on the
// line, how fast it is, where requests are logged, and the faults to make.
struct SimOptions
{
    struct Relay
    {
        quint8 address = 0;
        int typeCode = 0;
    };

    QList<Relay> relays;
    int baudRate = 0; // 0: replies are not paced
    int bitsPerCharacter = 10; // 8N1
    int latencyMinMs = 0;
    int latencyMaxMs = 0;
    QString logPath;
    std::optional<int> journalLength;
    std::map<quint8, RelayLine::Faults> faults; // address 0: every relay
    std::map<quint8, int> duplicates; // a second relay at the address, answering this many ms later
    quint32 seed = 0; // moving values, journals, random faults
    double faultRatePercent = 0;
    unsigned faultKinds = RelayLine::AllFaultKinds;
    int lateFaultMs = 1500;
    std::map<quint8, quint16> statusBits; // register 39; address 0: every relay
    std::map<quint8, quint16> inputs; // register 41; address 0: every relay
    std::map<quint8, quint16> interfaceWords; // register 65; address 0: every relay
    bool strictLine = false; // relays answer only at their own line settings
    QList<int> flakyJournalSlots; // of every relay
    std::map<quint8, int> journalRates; // new events a minute; address 0: every relay
    std::optional<quint16> tcpPort; // also served over TCP on 127.0.0.1 (0: any free port)
    bool stopWithParent = false;
    QString linkPath; // a stable name for the line: a link to the pseudo-terminal
    bool help = false;

    // Puts the relays, their journals and status, latency and faults on a line.
    void applyTo(RelayLine &line) const;
};

// Reads the arguments (without the program name). nullopt with `error` set
// when an option is unknown, lacks its value or has a value out of range.
std::optional<SimOptions> parseSimOptions(const QStringList &arguments, QString *error);

// The text printed by --help.
QString simUsage();

} // namespace miv::sim

#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class Operator;
class RelayBus;
struct CurrentDevice;

// What the scan needs from its surroundings.
struct DiscoveryHooks {
    // Close and open the port again after a failing status query; false (with
    // the reason in *error) when the port cannot be opened.
    std::function<bool(QString *error)> reopenPort;
    // The bar's position, address − 1, after each address.
    std::function<void(int position)> progress;
    // Each list line as soon as it is known.
    std::function<void(const QString &line)> lineAdded;
};

struct DiscoveryResult {
    QStringList lines;        // always 32: line k for address k + 1
    QList<quint8> answering;  // the addresses listed as "в сети"
    bool portLost = false;    // the port could not be reopened; the scan stopped
};

// The bus scan of "Опрос": asks addresses 1 to 32 in turn with the status
// query and its short scan wait, one list line per address. Sets the
// CurrentDevice address to 0 and leaves the rest of CurrentDevice alone. The
// operator's keepAlive runs before each address so the window repaints.
//
// A status query that fails on the port resets the port and lists that
// address as not answering (its answer is unknown). When the port cannot be
// opened again, the scan stops: the addresses not asked are listed as not
// answering, so the list still has 32 lines, and the operator is told the
// reason and from which address on nothing was asked.
DiscoveryResult a_poolingExecute(RelayBus &bus, CurrentDevice &device, Operator &op,
                                 const DiscoveryHooks &hooks);

// The two list texts of an address.
QString answeringLine(int address);
QString silentLine(int address);

constexpr int firstScanAddress = 1;
constexpr int lastScanAddress = 32;

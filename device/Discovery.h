#pragma once

#include <functional>
#include <QList>
#include <QString>
#include <QStringList>

namespace miv {

class Operator;
struct RelaySession;

// What the scan shows on its way.
struct DiscoveryHooks
{
    // The bar's position, address − 1, after each address.
    std::function<void(int position)> progress;
    // Each list line as soon as it is known.
    std::function<void(const QString &line)> lineAdded;
    // Line `index` (address − 1) changed: a slow relay answered when asked again.
    std::function<void(int index, const QString &line)> lineReplaced;
};

struct DiscoveryResult
{
    QStringList lines; // always 32: line k for address k + 1
    QList<quint8> answering; // the addresses listed as "в сети"
    bool portLost = false; // the port could not be reopened; the scan stopped
};

// The bus scan of "Опрос": asks addresses 1 to 32 in turn with the status
// query and its short scan wait, one list line per address. A relay that
// answers after the short wait (within the reply time-out) is heard late:
// such addresses are asked once more with the patient wait at the end, and
// their lines replaced. Sets the
// CurrentDevice address to 0 and leaves the rest of CurrentDevice alone; the
// values on screen belong to no relay until the next identification
// (RelaySession::releaseRelayValues).
// A failing port is reset through the session's reopenPort. The
// operator's keepAlive runs before each address so the window repaints.
//
// A status query that fails on the port resets the port and lists that
// address as not answering (its answer is unknown). When the port cannot be
// opened again, the scan stops: the addresses from there on are listed as
// not asked (never as not answering: a relay may well be there), so the list
// still has 32 lines, and one message tells from which address on nothing
// was asked and that the port is lost.
DiscoveryResult scanBus(RelaySession &session, Operator &op, const DiscoveryHooks &hooks = {});

// The two list texts of an address.
QString answeringLine(int address);
QString silentLine(int address);
QString notAskedLine(int address);

constexpr int firstScanAddress = 1;
constexpr int lastScanAddress = 32;
// The addresses a scan asks, in its order: 1 to 32.
QList<quint8> scanAddresses();

} // namespace miv

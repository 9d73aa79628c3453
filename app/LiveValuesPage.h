#pragma once

#include "device/LiveRead.h"

#include <array>
#include <QObject>
#include <QTimer>

namespace miv {

class LiveValuesView;
class BusWorkGate;
class Operator;
struct RelaySession;

// The pages that show and command the relay's present state: "Текущие
// значения" (the value labels, the lamps with lamp 7's blink `lt`, the
// command buttons), "Управление реле" (the outputs switched by hand) and
// "Техническая" (the service values). Every exchange is marked in the bus
// gate, so that a refresh tick under one of its boxes is skipped. The page
// keeps what its output buttons offer; it shows through its view.
class LiveValuesPage : public QObject
{
    Q_OBJECT
public:
    LiveValuesPage(LiveValuesView &view, RelaySession &session, Operator &op, BusWorkGate &gate,
                   QObject *parent = nullptr);

    QTimer &blinkTimer() { return m_blinkTimer; }

    // Reads both blocks and shows them when they came whole; the failure
    // was told, but for a port failure, which the caller decides about.
    // `beforeMessage` runs before any message.
    LiveReadResult readLiveValues(const std::function<void()> &beforeMessage);
    // The service page's read, shown when it came; a failure was told.
    void readServiceValues();
    // show_values: the last read as labels, lamps and buttons.
    void show();
    // ltTimer: one tick of lamp 7's blink.
    void blink();

    // SetCommand's tag 1..7; true when a read of the page follows it.
    bool runCommand(int tag);
    // SetCommand2's tag 1..6: an output switched by hand, only with the
    // motor at rest; a check that keeps it back leaves the page as the
    // page's entry check would.
    void runOutputCommand(int tag);
    // The entry check of "Управление реле"; true when the page may stay.
    // Moves to "Текущие значения" or "Связь с устройствами" otherwise.
    bool enterRelayControl();
    // The page was left: its outputs are offered again only after its check.
    void leaveRelayControl();

Q_SIGNALS:
    // A read was shown (its point is in the session's trend).
    void shown();

private:
    // Output button `tag` offered (register 40) and shown enabled only
    // while the page "Управление реле" may be used.
    void offerOutputButton(int tag, bool offered);
    void setOutputControl(bool enabled);
    bool outputButtonOffered(int tag) const { return m_outputsOffered[std::size_t(tag - 1)]; }

    LiveValuesView &m_view;
    RelaySession &m_session;
    Operator &m_op;
    BusWorkGate &m_gate;
    QTimer m_blinkTimer;
    int m_blinkTag = 0; // lt's Tag: flips at every blink
    std::array<bool, 6> m_outputsOffered{true, true, true, true, true, true};
    bool m_outputControl = false; // the page's check passed
};

} // namespace miv

#pragma once

#include "device/LiveRead.h"
#include "device/RelayCommands.h"

#include <functional>

namespace miv {

class Operator;
struct LiveValues;
struct RelaySession;

// Switching the relay's output relays by hand: the page "Управление реле" and
// `mivctl command output`. The outputs drive the motor's contactor and its
// alarm circuits, so they are switched by hand only with the motor at rest:
// no phase carrying LiveValues::restCurrentLimit or more, judged from values
// read from the relay on the line just before. Stopping the motor ("Работа"
// off) is the one switch always allowed, as the live page's "Стоп" is: it
// only ever brings the motor to rest.

// Every switch but stopping the motor needs the motor at rest.
bool needsMotorAtRest(RelayOutput output, bool on);
// The rule itself: whether this switch may be sent with the motor as `live` shows it.
bool handSwitchAllowed(RelayOutput output, bool on, const LiveValues &live);

enum class OutputControlCheck {
    Allowed, // the motor is at rest, by values read just now
    CurrentsFlowing, // "Есть токи! Отключите двигатель!" was told
    NoLink, // a closed port, no relay selected, a silent or refusing relay, a lost port: told
};
// Reads the live values afresh (block A as a link test, then a whole refresh)
// and judges them; every outcome but Allowed has been told. `refreshed` runs
// after the whole refresh, so that a window can show the values read.
OutputControlCheck checkOutputControl(RelaySession &session, Operator &op,
                                      const std::function<void()> &refreshed = {});

// How the page's entry check ended.
enum class RelayControlEntry {
    Stay, // the motor is at rest: the page offers its outputs
    BackToLiveValues, // the operator declined, or a phase carries current
    BackToDevices, // the check could not run: no port, no relay, no answer
};
// The page's entry: the warning the operator must accept, then the check.
// Only Stay lets the session offer the outputs of the relay selected now.
RelayControlEntry enterRelayControl(RelaySession &session, Operator &op,
                                    const std::function<void()> &refreshed = {});
// The page was left, or its relay is gone: its outputs are offered no more.
void leaveRelayControl(RelaySession &session);
// Whether the page may offer its output buttons: its check passed for the
// relay selected now, and the port is still held open.
bool outputControlOffered(const RelaySession &session);

// What became of a switch by hand.
struct HandSwitchResult
{
    // Allowed when the coil was sent; otherwise the check that kept it back
    // (told), and nothing was sent.
    OutputControlCheck check = OutputControlCheck::Allowed;
    // The coil's outcome; for a check that kept it back Refused (currents),
    // NoAnswer, or PortFailed when the port is closed or was lost.
    BusOutcome outcome = BusOutcome::Done;
};
// One output switched by hand: the check first (but for stopping the motor),
// then the coil.
HandSwitchResult switchOutputByHand(RelaySession &session, Operator &op, RelayOutput output,
                                    bool on, const std::function<void()> &refreshed = {});

} // namespace miv

#pragma once

namespace miv {

class Operator;
class TimerSchedule;
struct RelaySession;

enum class TimerWriteResult {
    NothingRead, // no schedule read yet (bu07 without caption): nothing happened
    Unlocked, // the password was right; nothing written (the caller runs pcChange)
    StillLocked, // the prompt was cancelled or the password wrong; nothing written
    InvalidMarks, // marks that are no time of day: refused, the operator was told
    OtherRelay, // the schedule belongs to another relay than the selected one: refused, told
    LinkFailed, // a write got no answer or a refusal: later ones not sent, lock unchanged
    Written, // all six written, lock set, read back (the caller runs pcChange)
    WrittenNotReadBack, // all six written, lock set; the read back failed and was told
};

// Whether the window refreshes its actions (pcChange) after this outcome.
bool needsActionRefresh(TimerWriteResult result);

// "Записать" on the timer tab: with editing locked only the password is asked
// for; otherwise marks 1-5 go to 0x76..0x7A (hour × 256 + minute) and the
// switch word to 0x82, one after another, then the lock is set and the
// configuration and the schedule are read back.
//
// A mark that came from the relay as no time of day shows 00:00; writing it
// would silently set a time nobody chose, so the write is refused until the
// operator has set every such mark.
TimerWriteResult writeTimerSchedule(RelaySession &session, Operator &op);

// The schedule a settings file brought, written to a type-6 relay right
// after its configuration (config write --load, a batch), whose password
// that write already took: the marks and the switch word as
// writeTimerSchedule writes them, then everything read back. The lock is
// not asked again and stays as it is. NothingRead for a relay with no
// timer; the refusals and failures as writeTimerSchedule's.
TimerWriteResult writeLoadedTimer(RelaySession &session, Operator &op);

// toggleTimerButton for button 1..7 (bu01..bu06 the intervals, bu07 the timer): an
// empty caption stays empty, "вкл." becomes "откл.", anything else "вкл.".
// No bus traffic and no change flag.
void toggleTimerButton(TimerSchedule &timer, int button);

} // namespace miv

#pragma once

#include <QList>
#include <QtGlobal>

namespace miv {

class ConfigGrid;
class Operator;
struct RelaySession;

struct ConfigWriteResult
{
    enum class Outcome {
        Written, // everything was sent; the lock is on and the grid was re-read
        Refused, // a marked row holds no valid value: nothing was sent, nothing changed
        LinkFailed // a write got no answer: stopped there, flags unchanged, nothing re-read
    };
    Outcome outcome = Outcome::Refused;
    QList<int> writtenRows; // rows whose value (or switch word) the relay took, in order
    QList<int> refusedRows; // Refused: the rows that failed the check; Written: the
                            // marked rows the relay refused (they keep their marks)
    QList<int> unchangedRows; // marked rows that still show what the relay reported:
                              // not checked, not sent (the relay holds them)
    QList<int> switchedOffRows; // rows whose function is off: left as the relay holds them
    bool readBack = false; // Written: the re-read was complete

    // The window runs pcChange after a write that went through.
    bool needsTabRefresh() const { return outcome == Outcome::Written; }
};

// The write of "Записать" on the tab "Конфигурация". A marked row that still
// shows what the relay reported at the last read is left alone (the relay
// holds it; a relay's own value never blocks a write). Every other marked
// row is checked first (a number of the row's step within its limits, rows
// 1 and 2 by the ratio in row 0; a switch text), and when row 0 brings a new
// ratio rows 1 and 2 are checked against it whether marked or not; if any
// fails, nothing at all is sent, every mark stays and one message names the
// rows. Then the checked numeric rows 0-22 in order, each to its register;
// then the word of 0x80 when a row of 23-28 is to be sent, then of 0x81 when
// a row of 29-31 is, both built from all their rows' texts. A row whose write the relay refuses (an
// exception reply of any code) keeps its mark, and one message names those
// rows. A write that gets no answer (or whose port fails) stops at once: one
// message tells why (see writeFailureText), which rows were not written or
// not confirmed and which were; rows written before have lost their marks,
// the rest keep theirs, unwrittenChanges and editingLocked stay, nothing is re-read. Otherwise
// unwrittenChanges := false, editingLocked := true and the configuration is read
// back; this happens also when no row is marked.
ConfigWriteResult writeConfiguration(RelaySession &session, Operator &op);

// The word of switch register 0x80 (group 0) or 0x81 (group 1) from the
// grid's texts: a bit is 1 exactly when its row reads "вкл.".
quint16 switchWord(const ConfigGrid &grid, int group);

} // namespace miv

#pragma once

#include "core/RelayRecorder.h"

namespace miv {

class Operator;
struct RelaySession;

enum class ConfigReadResult {
    Complete, // every read was accepted
    Failed, // a read was not accepted or the port failed; the operator was told
};

// The configuration read of "Получить": six reads in a fixed order, each
// tested for a full answer, decoded into column 2 of the grid (and, for a
// relay of type 6, into the timer schedule).
//
// On a failure "Ошибка связи с устройством!" is shown and the read stops:
// rows decoded before keep their fresh texts, later rows keep what they showed.
// Never touches the change marks, unwrittenChanges or editingLocked.
//
// A row that is disabled when its value arrives keeps showing the disabled
// text and takes the fresh value into column 5. Once the switch words are in,
// rows whose switch is on come back with the fresh value, and rows whose
// switch is off are disabled; so the grid shows what the relay holds.
// It works on the session's relay, catalogue (the resolution of rows 1 and 2),
// grid and timer schedule; the operator is told about a failure.
//
// A complete read is recorded in the session's relay register, if it has one,
// as `kind` (as found; as left for the read-back after a write) with the raw
// values read (see config/SettingsRecording.h).
ConfigReadResult readConfiguration(RelaySession &session, Operator &op,
                                   SettingsKind kind = SettingsKind::AsFound);

// Shortest reply string each read accepts. A reply string is the frame
// without CRC: address, function, byte count, then 2 bytes per register.
namespace ConfigReadThreshold {
constexpr int firstBlock = 10; // 0x50/32
constexpr int secondBlock = 10; // 0x60/32
constexpr int motorHours = 10; // 0x70/8
constexpr int switchWords = 7; // 0x80/2: 3 + 2 × 2, the whole reply; no answer is shorter
constexpr int timerMarks = 5; // 0x70/11
constexpr int timerSwitches = 5; // 0x82/1
} // namespace ConfigReadThreshold

} // namespace miv

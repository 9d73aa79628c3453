#pragma once

#include "core/RelayRecorder.h"
#include "core/Texts.h"

#include <QString>

namespace miv {

class Operator;
struct RelaySession;

// What the operator is told about the relay register after a configuration
// read or write; the operation itself has done its work whatever they say.
namespace RecordingTexts {
// %1: why.
inline const QString &notUpdated = Texts::registerNotUpdated;
// %1: factory number, %2: the differing items, one a line.
inline const QString differsFromApproved =
        QStringLiteral("Уставки реле №%1 отличаются от утверждённых:\n%2");
// After a write, from its read-back (%1, %2 as above): allowed, but said.
inline const QString leftDifferentFromApproved =
        QStringLiteral("Реле №%1 оставлено с уставками, отличными от утверждённых:\n%2");
// %1: address, %2: the factory number seen there before, %3: the one there now.
inline const QString relayReplaced = QStringLiteral("По адресу %1 вместо реле №%2 теперь реле №%3");
} // namespace RecordingTexts

// Hands a complete configuration read of the session's relay (its identity,
// port and the raw values read) to the session's recorder as `kind`, keeps
// the outcome in session.lastRecord and tells the operator, as a note, that
// the register was not updated and why; that the settings differ from the
// approved ones, or that another relay was seen at this address before, in
// one warning the operator closes (it must not pass unread).
// With no recorder nothing is recorded or told and lastRecord is cleared.
void recordSettingsRead(RelaySession &session, Operator &op, SettingsKind kind,
                        const SettingsRegisters &registers);

} // namespace miv

#pragma once

#include "core/CurrentDevice.h"
#include "core/Operator.h"
#include "core/SessionFlags.h"

#include <QChar>

namespace miv {

class RelayBus;
struct RelaySession;

// The relay password guards changes made from the PC. The program compares
// what the operator types with the copy read from the relay; the relay itself
// is never asked to check it.
namespace PasswordAccess {

// Password fields take capital Latin letters only (and Backspace).
bool isPasswordCharacter(QChar c);

enum class Unlock { Unlocked, WrongPassword, Cancelled };

// The password prompt: on the right password editingLocked is cleared (the
// caller then refreshes the enabled actions); a wrong one shows
// "Ошибка ввода пароля!" and leaves the lock on.
Unlock unlock(Operator &op, const CurrentDevice &device, SessionFlags &flags);

enum class Change { Changed, WrongOldPassword, NotConfirmed, LinkFailed, Cancelled };

// The password change ("Изменить пароль"): checks the three fields, writes the
// first four letters of the new password to registers 0x42 and 0x43, tells the
// operator the outcome, and in every case re-reads registers 0x40..0x53 into
// the device record, so that the prompt compares with what the relay holds.
// A write that gets no answer or a refusal is reported as a link error, never
// as success. Each write leaves its audit line, without the password.
Change change(RelaySession &session, Operator &op);

// Registers 0x42/0x43 as the four password characters (high byte first).
QString passwordFromWords(quint16 first, quint16 second);

// Re-reads configured address, interface word and password (20 registers
// from 0x40). A reply without register data clears them, so no typed
// password matches until the relay is identified again. False when the relay
// did not answer.
bool rereadAccessRegisters(RelayBus &bus, CurrentDevice &device);

} // namespace PasswordAccess

} // namespace miv

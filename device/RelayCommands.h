#pragma once

#include "core/RelayWords.h"
#include "device/LiveRead.h"
#include "link/ReplyString.h"
#include "link/WriteOutcome.h"

#include <optional>
#include <QDateTime>
#include <QString>

namespace miv {

class Operator;
struct RelaySession;

// The commands to the selected relay. Each is sent at once and its answer is
// checked: a refusal ("Устройство отказалось выполнить запрос ...") or no
// answer ("Ошибка связи с устройством!") is told to the operator then and
// there, and a command of several writes stops at the first that failed, so
// that nothing half-done is reported as done. A port failure is told with
// the port's reason. What the relay really does is shown by the refresh that
// the caller runs after the command.

// The three output relays and their coils.
enum class RelayOutput { Work, Alarm, Overload };

// Switches an output relay's coil (768 to 770) on (0xFF00) or off (0x0000).
// "Работа" on starts the motor, off stops it.
BusOutcome switchOutput(RelaySession &session, Operator &op, RelayOutput output, bool on);

// "Квитирование": asks the operator to accept the warning that it starts the
// motor; only then switches coil 771 on. nullopt when the operator declined:
// nothing was sent.
std::optional<BusOutcome> acknowledgeAlarm(RelaySession &session, Operator &op);

// The relay's clock words for a date and time.
struct ClockWords
{
    quint16 yearMonth; // register 115: year within the century × 256 + month
    quint16 dayHour; // register 116: day × 256 + hour
    quint16 minuteSecond; // register 117: minute × 256 + second
};
ClockWords clockWords(const QDateTime &when);

// Writes the clock words of `when` to registers 115, 116, 117 in this order
// (sync_time passes the PC's clock, set_time the pickers').
BusOutcome setRelayClock(RelaySession &session, Operator &op, const QDateTime &when);
// The same, with the write's whole outcome (a refusal's code); `before`, the
// relay's time as read just before where it was, is the old value of the
// three lines in the audit log.
WriteOutcome writeRelayClock(RelaySession &session, Operator &op, const QDateTime &when,
                             const std::optional<QDateTime> &before = std::nullopt);

// A command's write outcome as a bus step's: a failed port and a stop by the
// operator both end the command as PortFailed, its text told.
BusOutcome busOutcomeOf(const WriteOutcome &outcome);

// Writes the motor resource: registers 114, 112, 113, in this order.
BusOutcome setMotorResource(RelaySession &session, Operator &op, quint32 hours, quint32 minutes);

// Writes the serial (factory) number to register 6; above 65535 it is 65535.
BusOutcome setSerialNumber(RelaySession &session, Operator &op, quint32 number);

// Reads `count` registers from `first` of the selected relay: the whole reply,
// or nullopt with the failure told (the refusal, no answer, the port's).
std::optional<ReplyString> readWholeOrTell(RelaySession &session, Operator &op, quint16 first,
                                           quint16 count);

// The service page's values as the relay holds them.
struct ServiceValues
{
    // Shown as the unsigned count it is, so that any value shown can be written back.
    quint32 hours = 0;
    int minutes = 0;
    quint16 serialNumber = 0;
};
// The service read: registers 112 to 119 (hours and minutes), then 0 to 6
// (the serial number). nullopt when either read failed; the operator was told
// (a port failure with its reason). Automatic refresh is not touched.
std::optional<ServiceValues> readServiceValues(RelaySession &session, Operator &op);

} // namespace miv

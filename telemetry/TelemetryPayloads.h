#pragma once

#include <optional>
#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace miv {
struct CurrentDevice;
struct LiveDisplay;
struct LiveValues;
class JournalGrid;
} // namespace miv

namespace miv::telemetry {

// The JSON of each topic, compact, keys in alphabetical order. Numbers are
// numbers at the resolution the live page shows them; times of this PC are
// ISO 8601 UTC with milliseconds ("2025-03-03T08:04:00.125Z").

QString isoUtc(const QDateTime &time);

// P/L/A/info: {"address", "factory", "name" (trailing spaces dropped),
// "type", "version" (the memo's text, "v3 от 15.6.2010")}.
QByteArray infoPayload(const CurrentDevice &device);

// P/L/A/state: {"online", "time"}.
QByteArray statePayload(bool online, const QDateTime &time);

// P/L/A/live: {"alarms" (the captions of the lit alarm lamps), "asymmetry",
// "cos_phi", "currents" [Ia, Ib, Ic], "frequency", "insulation", "leakage",
// "motor_hours", "motor_minutes", "powers" {"active", "reactive",
// "apparent"}, "running", "state" ("Работа", "Стоп", "Авария", "Перегрузка"
// as the output relays say), "temperature" (null while switched off), "time",
// "voltages" [Ua, Ub, Uc]}; the alarms as the relay type's lamps show them.
QByteArray livePayload(const LiveValues &live, quint16 typeCode, const QDateTime &time);

// One journal entry as the journal grid holds it.
struct JournalEntry
{
    QString date; // the grid's text, "2025.03.03 08:04:00"
    int code = 0;
    QString event;
    QString info;

    // The entry's own time, ISO 8601 without zone (the relay's clock has
    // none); nullopt when the relay's date is no date (day 0, month 13, ...).
    std::optional<QString> isoTime() const;
};

// Row `row` of the journal grid; the code is the one of the event's name.
JournalEntry journalEntryOfRow(const JournalGrid &journal, int row);

// P/L/A/journal: {"code", "event", "info", "time" (null when the relay's
// date is no date)}.
QByteArray journalPayload(const JournalEntry &entry);

} // namespace miv::telemetry

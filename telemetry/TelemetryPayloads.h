#pragma once

#include "device/JournalReader.h"

#include <optional>
#include <QByteArray>
#include <QDateTime>
#include <QList>
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

// One journal entry as the journal grid holds it, with its numbers.
struct JournalEntry
{
    QString date; // the grid's text, "2025.03.03 08:04:00"
    int code = 0;
    QString event;
    QString info; // the column "Информация", numbers with a decimal point
    JournalFigures figures;

    // The entry's own time, ISO 8601 without zone (the relay's clock has
    // none); nullopt when the relay's date is no date (day 0, month 13, ...).
    std::optional<QString> isoTime() const;
    // What the entry says, made of its date, code and numbers as the relay
    // sent them: the same in every locale, never a formatted text.
    QString identity() const;
};

// Row `row` of the journal grid; the code is the one of the event's name.
// The grid keeps texts only: no numbers.
JournalEntry journalEntryOfRow(const JournalGrid &journal, int row);
// The entry of one journal read's reply (see requestJournalEntry); nullopt
// when its code is no known event (the journal's end).
std::optional<JournalEntry> journalEntryOfReply(const ReplyString &reply);

// P/L/A/journal: {"code", "event", "info", "time" (null when the relay's
// date is no date)} and the entry's numbers where its code carries them:
// "currents" [Ia, Ib, Ic] in A, "asymmetry" in %, "voltages" [Ua, Ub, Uc]
// in V, "insulation" in MΩ, "temperature" in °C, "motor_hours",
// "motor_minutes". The same bytes in every locale.
QByteArray journalPayload(const JournalEntry &entry);

// P/L/meta: {"client", "discovery" (the prefix, or null), "host", "pid",
// "port", "baud", "prefix", "line", "relays" [addresses], "time", "version"}.
struct LineMetadata
{
    QString client;
    QString host;
    qint64 pid = 0;
    QString version;
    QString port;
    int baud = 0;
    QString prefix;
    QString line;
    QList<int> relays;
    std::optional<QString> discovery;
};
QByteArray metadataPayload(const LineMetadata &metadata, const QDateTime &time);
// nullopt when the payload is no metadata (an empty retained message, say).
std::optional<LineMetadata> parseMetadata(const QByteArray &payload);

} // namespace miv::telemetry

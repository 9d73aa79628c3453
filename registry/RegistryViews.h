#pragma once

#include "registry/RegistryStore.h"

#include <optional>
#include <QList>
#include <QString>
#include <QStringList>

namespace miv {

// What `mivctl registry list|history` print and the window's register
// windows show: one rule for both.
namespace RegistryViews {

// The columns of the list: FACTORY, TYPE, NAME, TAG, LAST_SEEN, PORT, ADDR,
// VERSION, APPROVAL ("approved", "differs", "none").
QStringList relayListHeader();
QStringList relayListFields(const RegistryRelay &relay);

// A snapshot of the history with the items changed against the one before
// it (none for the first).
struct HistoryEntry
{
    RegistrySnapshot snapshot;
    QList<SettingsChange> changes;
    bool first = false;
};
QList<HistoryEntry> withChanges(const QList<RegistrySnapshot> &snapshots, QChar decimalSeparator);

// The columns of the history: ID, TIME, KIND, USER, PORT, ADDR, VERSION,
// APPROVAL, NOTE, CHANGES ("name: before → after; ...", "(первая запись)"
// for the first).
QStringList historyHeader();
QStringList historyFields(const HistoryEntry &entry);

// A relay as a window's title names it: "№1001", then "(TAG)" when it has one.
QString relayTitle(const RegistryRelay &relay);

// Times as the program shows them: the PC's local time, "dd.MM.yyyy HH:mm:ss".
QString timeText(const QDateTime &time);
// "name: before → after".
QString changeText(const SettingsChange &change);
// The row of a change as the grid numbers it ("01" to "32"), "таймер" for the timer schedule.
QString rowText(const SettingsChange &change);

// The relay a command names: "FACTORY", or "FACTORY:TYPE" where two relays
// of different types share the factory number. nullopt with the reason in
// *error for a wrong key, a relay not on record, an ambiguous number, or a
// register that cannot be read (then *storeFailed is set).
std::optional<RegistryRelay> findRelay(RegistryStore &store, const QString &key, QString *error,
                                       bool *storeFailed = nullptr);

} // namespace RegistryViews

} // namespace miv

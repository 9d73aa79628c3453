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

// A relay as a command names it: "FACTORY", or "FACTORY:TYPE" where two
// relays of different types share the factory number.
struct RelayKey
{
    quint16 factoryNumber = 0;
    std::optional<quint16> typeCode;
};
// The key; nullopt for a text that is none.
std::optional<RelayKey> parseRelayKey(const QString &key);
// The relays on record that `key` names, of both types where it gives none.
QList<RegistryRelay> relaysOf(const QList<RegistryRelay> &relays, const RelayKey &key);
// "Реле №KEY нет в реестре".
QString notOnRecordText(const QString &key);

// Why findRelay found no relay.
enum class RelayLookupFailure {
    NotAKey, // the text is no factory number
    NotOnRecord, // no such relay on record
    Ambiguous, // two relays share the number and no type was given
    RegisterFailed, // the register could not be read
};

// The relay a command names by `key`. nullopt with the reason in *error and
// its kind in *failure.
std::optional<RegistryRelay> findRelay(RegistryStore &store, const QString &key, QString *error,
                                       RelayLookupFailure *failure = nullptr);

} // namespace RegistryViews

} // namespace miv

#pragma once

#include "config/SettingsFile.h"

#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>

namespace miv {

class Operator;
struct RelaySession;

// A settings file edited with no relay at hand. The session's grid and timer
// schedule hold the file's values for the relay type chosen, and edit exactly
// as with a relay (ConfigEditor: the same editor, limits, switch rows and
// rows 1 and 2 following the ratio) with no password, since no relay is
// touched; the change marks show what changed since the file was opened.
// Saving writes the file as SettingsFile::save does. When a relay is
// identified the values are offered to it (see SettingsCarryOver.h).
namespace OfflineSettings {

struct OpenResult
{
    SettingsFile::LoadResult load; // the outcome; rejectedKeys: values not taken (rows empty)
    QStringList missingKeys; // rows 0-31 the file gives no value for: empty until given
};

// Opens `path` for a relay of `typeCode` into the session, which then holds
// the file: no relay, editing open, no marks, the values as the load checks
// them for that type (a rejected or missing value leaves its row empty; row
// 31 of a type without it shows "[фукнк. откл.]"; on type 6 an interval or
// timer switch the file leaves empty reads "откл.", as a relay's bit 0
// would). A file that cannot be read changes nothing.
OpenResult open(RelaySession &session, const QString &path, quint16 typeCode);
// The same, telling the operator what was not taken, missing or repeated,
// or why the file could not be read.
OpenResult open(RelaySession &session, const QString &path, quint16 typeCode, Operator &op);

// Rows 0-31 holding a value that may not be saved: the checks of loading
// would refuse it (rows 1 and 2 that no longer fit the ratio). Rows without
// a value are not saved and not checked.
QList<int> unsavableRows(const RelaySession &session);

// Saves the held file's values to `path` (rows without a value keep the
// line the file has): refused, with nothing written, while unsavableRows()
// is not empty. The held file is then `path`, saved as it stands, and
// unwrittenChanges is cleared. False with `error` when refused or failed.
bool save(RelaySession &session, const QString &path, QString *error = nullptr);
bool save(RelaySession &session, const QString &path, Operator &op);

// "Загрузить из файла...": with a relay's values in the grid the load of
// SettingsFile::askAndLoad; with none, after asking about unsaved changes of
// a file held, asks for the relay type (RelayTypeChoice, kept in
// `frontIni`) and the file and opens it.
SettingsFile::LoadResult loadExecute(RelaySession &session, Operator &op, const QString &frontIni);
// "Сохранить в файл...": the held file saved where the operator says, else
// SettingsFile::askAndSave. True when a file was written.
bool saveExecute(RelaySession &session, Operator &op);

// What the window's title or status bar says while the grid holds a file
// ("Файл настроек «NAME» для МИВ-06, без устройства", and whether it is
// saved); empty while it holds a relay's values or nothing.
QString stateText(const RelaySession &session);

// The decimal separator the file's numbers use (the first number with
// decimals in section "Параметры" tells), else `fallback`; so that saving
// a file back keeps its own separator.
QChar decimalSeparatorOf(const QString &path, QChar fallback);

} // namespace OfflineSettings

} // namespace miv

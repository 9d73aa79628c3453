#pragma once

#include "config/SettingsTypeFit.h"

#include <optional>
#include <QString>
#include <QStringList>
#include <QTime>

namespace miv {

class ConfigGrid;
class Operator;
class TimerSchedule;
struct RelaySession;

// The settings file "*.miv": an INI file in Windows-1251 with the sections
// "Параметры" (one key per grid row 0-31, named by the row, holding its value
// text) and "Таймеры" (five time marks, six interval captions, the timer
// caption). Saving keeps every other line of an existing file; loading fills
// the grid and the timer schedule and marks the parameter rows as changed,
// so that the next write of the configuration sends them.
namespace SettingsFile {

// What the file dialogs offer.
inline const QString filter = QStringLiteral("Файл настроек (*.miv)");
inline const QString defaultSuffix = QStringLiteral("miv");

// The name as the dialog hands it back, with ".miv" added when the name has
// no extension of its own (a name typed without one).
QString withDefaultSuffix(const QString &path);

// Section and key names of the file.
inline const QString parametersSection = QStringLiteral("Параметры");
inline const QString timersSection = QStringLiteral("Таймеры");
QString markKey(int mark); // "Метка1".."Метка5", mark 1..5
QString intervalKey(int interval); // "Интервал1".."Интервал6", interval 1..6
inline const QString timerKey = QStringLiteral("Таймер");

// A time of day as the program's time parser reads it: "H:mm", "HH:mm",
// "H:mm:00" or "HH:mm:00" (the relay keeps no seconds); nullopt for anything
// else, seconds other than 00 too.
std::optional<QTime> parseTimeOfDay(const QString &text);

// ---- Saving ------------------------------------------------------------

// Writes rows 0-31 (column 5 of a disabled row, else column 2; a row with
// no value is not written) and the timer schedule into the file, creating it
// when missing. The file is replaced as
// a whole only when everything could be written, so a failed save leaves the
// earlier file as it was. Change marks and unwrittenChanges are not touched.
// False with `error` (naming the file and the reason) when it failed.
bool save(const QString &path, const ConfigGrid &grid, const TimerSchedule &timer,
          QString *error = nullptr);

// The same, telling the operator about a failure (nothing on success).
bool save(const QString &path, const ConfigGrid &grid, const TimerSchedule &timer, Operator &op);

// ---- Loading -----------------------------------------------------------

struct LoadResult
{
    enum class Outcome {
        Loaded, // the file was read; see rejectedKeys for values not taken
        Unreadable, // the file could not be read at all: nothing was changed
        Cancelled, // the operator cancelled the file dialog: nothing was changed
    };
    Outcome outcome = Outcome::Unreadable;
    QStringList rejectedKeys; // keys whose value was not taken, rows 0-31, then the timer keys
    QStringList rejectedValues; // the same, each with its value and what is allowed
    QString error; // Unreadable: the file and the reason
    QStringList notices; // Loaded: keys and sections that appear twice (the first value counts)
    bool timerGiven = false; // Loaded: the file has a timer section
    SettingsTypeFit::Content content; // Loaded: what it gives of the МИВ-06's own values

    bool loaded() const { return outcome == Outcome::Loaded; }
    bool complete() const { return loaded() && rejectedKeys.isEmpty(); }
};

// Fills the session's grid and timer schedule from the file (the relay's
// type decides what row 31 takes; rows 1 and 2 follow the file's ratio):
// - rows 0-31 take the value of their key when it passes the row's check
//   (step, limits, rows 1 and 2 by the ratio the file sets, switch texts);
//   the file's ratio, or the grid's when the file sets no valid one, also
//   sets the resolution of rows 1 and 2 from now on; a missing key leaves
//   the row's text (a row 1 or 2 whose text does not fit the ratio the
//   file sets is rejected instead); every row is marked "*" (a missing key's row too, so
//   that the next write sends the whole configuration) except a rejected
//   one, which keeps its text and its mark state;
// - rows disabled before the load whose switch the file turns on are
//   enabled first, so that the loaded value is shown, editable and saved;
//   then the switches that read "откл." disable their rows;
// - marks take "H:mm", "HH:mm", "H:mm:ss" or "HH:mm:ss" (00:00:00 when the
//   key is missing), captions "вкл.", "откл." or "" (empty when missing);
//   any other text is rejected and the mark or caption stays as it was.
// A file with neither section (no INI file) is refused as unreadable, and
// so is one IniFile refuses (UTF-16, binary data, far too large, a line over
// 4 KiB): nothing changes. A file saved in UTF-8 is read as UTF-8; a key that
// appears twice counts with its first value, and the operator is told.
// unwrittenChanges is not set.
LoadResult load(const QString &path, RelaySession &session);

// The same, telling the operator: one message with what of the file the
// session's relay has no place for (SettingsTypeFit), the rejected keys and
// the repeated ones, or the reason the file could not be read.
LoadResult load(const QString &path, RelaySession &session, Operator &op);

// ---- The window's handlers ----------------------------------------------

// askAndSave: asks for the file name (cancel ends it) and saves.
// True when a file was written.
bool askAndSave(Operator &op, const ConfigGrid &grid, const TimerSchedule &timer);

// Asks for a settings file to open: the name chosen, or a name typed without
// extension as the ".miv" file unless a file of exactly that name exists;
// empty when cancelled.
QString askFileToOpen(Operator &op);

// askAndLoad: asks for the file name (cancel ends it) and loads, telling
// the operator about rejected keys or an unreadable file.
LoadResult askAndLoad(RelaySession &session, Operator &op);

// The text of the message about rejected keys (one line per key).
QString rejectedKeysMessage(const QStringList &keys);

} // namespace SettingsFile

} // namespace miv

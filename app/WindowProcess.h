#pragma once

class QString;
class QTranslator;

namespace miv {

// What the window's process sets once its QApplication exists: the locale
// numbers follow, the program's name, version and icon, Qt's Russian texts
// for its own dialogs, and the bus trace asked for in the environment. The
// program and the soak's window share it, so the soak measures the process
// the operator runs.
void prepareWindowProcess();

// Qt's translation of its own dialogs and buttons into Russian ("qtbase_ru"),
// installed into the application: looked for beside the program, in the
// "translations" folder beside it (where windeployqt puts it on Windows), and
// in Qt's own translations folder (Debian's qt6-translations-l10n). The
// translator installed, or null when none was found (Qt's English stays).
QTranslator *installQtTranslation(const QString &programFolder);

} // namespace miv

#include "app/WindowProcess.h"

#include "core/Texts.h"
#include "link/BusTrace.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace miv {

QTranslator *installQtTranslation(const QString &programFolder)
{
    auto *translator = new QTranslator(QCoreApplication::instance());
    const QString folders[] = {
            programFolder,
            QDir(programFolder).filePath(QStringLiteral("translations")),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath),
    };
    for (const QString &folder : folders) {
        if (translator->load(QLocale(QLocale::Russian), QStringLiteral("qtbase"),
                             QStringLiteral("_"), folder)
            && QCoreApplication::installTranslator(translator))
            return translator;
    }
    delete translator;
    return nullptr;
}

void prepareWindowProcess()
{
    // Dates and times are shown in the fixed patterns of TextFormats; numbers
    // use the decimal separator the PC had when the program started, not
    // whatever the regional settings are changed to while it runs.
    QLocale::setDefault(QLocale::system());
    QApplication::setApplicationName(QStringLiteral("mivconf"));
    QApplication::setApplicationVersion(Texts::versionString);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/mivconf.svg")));
    installQtTranslation(QApplication::applicationDirPath());
    enableBusTraceFromEnvironment();
}

} // namespace miv

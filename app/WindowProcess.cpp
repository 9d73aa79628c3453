#include "app/WindowProcess.h"

#include "core/Texts.h"
#include "link/BusTrace.h"

#include <QApplication>
#include <QLocale>

namespace miv {

void prepareWindowProcess()
{
    // Dates and times are shown in the fixed patterns of TextFormats; numbers
    // use the decimal separator the PC had when the program started, not
    // whatever the regional settings are changed to while it runs.
    QLocale::setDefault(QLocale::system());
    QApplication::setApplicationName(QStringLiteral("mivconf"));
    QApplication::setApplicationVersion(Texts::versionString);
    enableBusTraceFromEnvironment();
}

} // namespace miv

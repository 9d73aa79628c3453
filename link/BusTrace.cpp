#include "link/BusTrace.h"

#include <QtGlobal>

namespace miv {

Q_LOGGING_CATEGORY(lcBus, "miv.bus", QtWarningMsg)

void enableBusTrace(bool on)
{
    const_cast<QLoggingCategory &>(lcBus()).setEnabled(QtDebugMsg, on);
}

void enableBusTraceFromEnvironment()
{
    const QByteArray value = qgetenv("MIV_TRACE");
    if (!value.isEmpty() && value != "0")
        enableBusTrace(true);
}

} // namespace miv

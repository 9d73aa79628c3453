#pragma once

#include <QLoggingCategory>

namespace miv {

// Every frame sent and received, in hex with a time stamp. Off by default;
// MIV_TRACE=1, QT_LOGGING_RULES="miv.bus.debug=true" or mivctl --trace turn it on.
Q_DECLARE_LOGGING_CATEGORY(lcBus)

void enableBusTrace(bool on);
// Honours MIV_TRACE in the environment; called once at start by each program.
void enableBusTraceFromEnvironment();

} // namespace miv

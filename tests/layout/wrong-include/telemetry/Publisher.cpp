// The publishing that reaches into mivctl: the include-order check must refuse it.
#include "telemetry/Publisher.h"
#include "device/LiveRead.h"
#include "cli/CliContext.h"

// The window that reaches into the publishing: only mivctl runs it.
#include "app/Window.h"
#include "telemetry/LinePublisher.h"

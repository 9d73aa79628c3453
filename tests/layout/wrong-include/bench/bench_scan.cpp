// A benchmark that is no window program but includes the window.
#include "app/Tmf.h"
#include "device/Discovery.h"
#include "support/RecordingOperator.h"

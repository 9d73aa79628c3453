// A bus that reaches into the device folder through a relative path.
#include "link/Bus.h"
#include "./ModbusFrame.h"
#include "../device/Discovery.h"

// A scan that reaches into the configuration through an angle-bracket include.
#include "device/Scan.h"
#include <config/ConfigWriter.h>
#include <QString>

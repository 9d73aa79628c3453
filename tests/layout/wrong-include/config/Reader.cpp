// A configuration file that reaches into the window: the include-order check must refuse it.
#include "config/Reader.h"
#include "core/Texts.h"
#include "app/Tdm.h"

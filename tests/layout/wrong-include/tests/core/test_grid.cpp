// A test of core/ that reaches into the configuration above it; its own
// folder, the simulator and the test support are allowed.
#include "core/ConfigGrid.h"
#include "config/RowPictures.h"
#include "sim/RelayModel.h"
#include "support/QtPrinters.h"

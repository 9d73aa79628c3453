// A file of the core that includes a folder above it: the core's library
// does not see that folder, so this must not compile.
#include "config/ConfigWriter.h"

#pragma once

namespace miv {

// What the window's process sets once its QApplication exists: the locale
// numbers follow, the program's name and version, and the bus trace asked
// for in the environment. The program and the soak's window share it, so the
// soak measures the process the operator runs.
void prepareWindowProcess();

} // namespace miv

#pragma once

namespace miv {

// The operator's wish that writes to relays stop: Ctrl+C or a request to
// end the program in mivctl, the window's close. A write asks it before its
// request goes out (auditedWrite), so that the exchange under way is always
// finished and recorded and the next one is never started. One for the
// process, as the signals that set it are.
namespace WriteStop {

// Safe to call from a signal handler.
void request();
bool requested();
// Before a new piece of work that the earlier wish does not concern.
void clear();

} // namespace WriteStop

} // namespace miv

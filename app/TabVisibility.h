#pragma once

#include <QtGlobal>
#include <array>

namespace miv {

// Which of the seven tabs are shown: the view without a relay (mode 1) and
// the view with an identified relay (mode 0).
namespace TabVisibility {

using TabSet = std::array<bool, 7>;

enum Mode { WithRelay = 0, WithoutRelay = 1 };

// The visibility after bts(mode), starting from `current`. Mode 1 hides tabs
// 1 and 3 to 6 and leaves tabs 0 and 2 as they were; mode 0 shows tabs 1 to 6.
// Then, in both modes, the service tab 5 is hidden and the timer tab 6 is
// shown exactly when the relay identified last has type code 6 (so it stays
// after a type-6 relay even in the view without a relay).
TabSet afterBts(int mode, TabSet current, quint16 lastTypeCode);

} // namespace TabVisibility

} // namespace miv

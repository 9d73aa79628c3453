// The bus whose name the session below must not take.
#pragma once

namespace miv {

class RelayBus
{ };

} // namespace miv

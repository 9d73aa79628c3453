// A session that names the bus of link/ without including it.
#pragma once

namespace miv {

class Operator;
class RelayBus;

} // namespace miv

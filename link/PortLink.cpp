#include "link/PortLink.h"

namespace miv {

PortLink::~PortLink() = default;

bool PortLink::reopen(QString *error)
{
    close();
    return open(error);
}

} // namespace miv

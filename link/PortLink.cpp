#include "link/PortLink.h"

namespace miv {

PortLink::~PortLink() = default;

bool PortLink::setSettings(const PortSettings &settings, QString *error)
{
    const PortSettings previous = this->settings();
    if (applySettings(settings, error))
        return true;
    // A port that could not be reopened under a new name is closed; an open
    // one that refused a setting goes on with the earlier settings.
    if (isOpen())
        applySettings(previous, nullptr);
    return false;
}

bool PortLink::reopen(QString *error)
{
    close();
    return open(error);
}

} // namespace miv

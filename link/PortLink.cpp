#include "link/PortLink.h"

namespace miv {

PortLink::PortLink(QObject *parent) : QObject(parent)
{
    // Every link tells its opening and closing by these two signals.
    connect(this, &PortLink::afterOpen, this, [this] { m_heldOpen = true; });
    connect(this, &PortLink::beforeClose, this, [this] { m_heldOpen = false; });
}

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
    const bool wasHeld = m_heldOpen;
    close();
    // A device that went away may have closed itself, so that close() had
    // nothing to tell: a port that would not open again is not held either way.
    if (open(error))
        return true;
    m_heldOpen = false;
    if (wasHeld)
        QMetaObject::invokeMethod(this, &PortLink::lost, Qt::QueuedConnection);
    return false;
}

} // namespace miv

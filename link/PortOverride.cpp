#include "link/PortOverride.h"

namespace miv {

namespace {

const QLatin1String gatewayScheme("tcp://");

} // namespace

std::optional<PortOverride> PortOverride::parse(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.startsWith(gatewayScheme, Qt::CaseInsensitive)) {
        const QString gateway = trimmed.mid(gatewayScheme.size());
        if (!PortSettings::parseGateway(gateway))
            return std::nullopt;
        return PortOverride{PortSettings::Transport::Tcp, gateway};
    }
    if (trimmed.isEmpty())
        return std::nullopt;
    return PortOverride{PortSettings::Transport::Serial, trimmed};
}

void PortOverride::applyTo(PortSettings &settings) const
{
    settings.transport = transport;
    if (transport == PortSettings::Transport::Tcp)
        settings.gateway = name;
    else
        settings.portName = name;
}

PortSettings PortOverride::storable(PortSettings settings, const PortSettings &inFile) const
{
    const bool tcp = transport == PortSettings::Transport::Tcp;
    QString &port = tcp ? settings.gateway : settings.portName;
    if (port != name)
        return settings;
    port = tcp ? inFile.gateway : inFile.portName;
    // The run's transport was the override's too.
    if (settings.transport == transport)
        settings.transport = inFile.transport;
    return settings;
}

} // namespace miv

#include "link/RelaySession.h"

#include "core/Operator.h"
#include "core/Texts.h"

namespace miv {

RelaySighting RelaySession::sighting() const
{
    RelaySighting relay;
    relay.port = audit.portName ? audit.portName() : QString();
    relay.address = device.networkAddress;
    relay.factoryNumber = device.factoryNumber;
    relay.typeCode = device.typeCode;
    relay.deviceName = device.deviceName;
    relay.softwareVersion = device.softwareVersion;
    return relay;
}

bool RelaySession::holdsUnwrittenChanges() const
{
    if (holdsFile())
        return SettingsSnapshot::of(configGrid, timer) != heldFile->asSaved;
    if (flags.unwrittenChanges || timer.changedSinceRead())
        return true;
    for (int row = 0; row < ConfigRow::count; ++row)
        if (configGrid.isMarked(row))
            return true;
    return false;
}

bool RelaySession::adoptSelectedRelay()
{
    const RelayIdentity selected = selectedRelay();
    if (!valuesOwner && !holdsFile())
        valuesOwner = ownerBeforeScan;
    ownerBeforeScan.reset();
    if (valuesOwner == selected && !holdsFile())
        return false;
    const bool dropped = valuesOwner && holdsUnwrittenChanges();
    if (heldFile && !heldFile->offered)
        heldFile->offered = SettingsSnapshot::of(configGrid, timer);
    if (valuesOwner || heldFile) {
        catalogue = ParameterCatalogue();
        configGrid.fillFromCatalogue(catalogue);
        timer = TimerSchedule();
        flags.unwrittenChanges = false;
    }
    valuesOwner = selected;
    return dropped;
}

bool RelaySession::forgetRelay()
{
    device.networkAddress = 0;
    if (holdsFile())
        return false;
    const bool dropped = (valuesOwner || ownerBeforeScan) && holdsUnwrittenChanges();
    device = CurrentDevice();
    valuesOwner.reset();
    ownerBeforeScan.reset();
    outputControlRelay.reset();
    lastRecord.reset();
    catalogue = ParameterCatalogue();
    configGrid.fillFromCatalogue(catalogue);
    timer = TimerSchedule();
    flags.unwrittenChanges = false;
    flags.editingLocked = true;
    return dropped;
}

void RelaySession::releaseRelayValues()
{
    if (valuesOwner)
        ownerBeforeScan = std::exchange(valuesOwner, std::nullopt);
}

void tellValuesOfAnotherRelay(const RelaySession &session, Operator &op)
{
    const RelayIdentity owner = session.valuesOwner.value_or(RelayIdentity{});
    op.message(Operator::Icon::Error,
               Texts::changesOfAnotherRelay.arg(owner.address)
                       .arg(owner.factoryNumber)
                       .arg(session.device.networkAddress));
}

} // namespace miv

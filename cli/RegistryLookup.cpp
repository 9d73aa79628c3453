#include "cli/RegistryLookup.h"

#include "cli/CliContext.h"
#include "cli/Commands.h"
#include "registry/ChangeControl.h"
#include "registry/RegistryRecorder.h"
#include "registry/RegistryViews.h"

namespace miv::cli {

RegistryStore *openStore(CliContext &context, RegisterUse use)
{
    QString error;
    RegistryStore *store = use == RegisterUse::Read ? context.recorder().storeForReading(&error)
                                                    : context.recorder().store(&error);
    if (!store)
        context.err() << error << Qt::endl;
    return store;
}

std::optional<RelayInRegister> openRelay(CliContext &context, const QString &key, RegisterUse use,
                                         const QString &usage, int *status)
{
    *status = ExitStatus::Refused;
    // A key that names no relay is told before the register is opened.
    if (!RegistryViews::parseRelayKey(key)) {
        *status = context.wrongUsage(QStringLiteral("not a factory number: ") + key, usage);
        return std::nullopt;
    }
    RegistryStore *store = openStore(context, use);
    if (!store)
        return std::nullopt;
    QString error;
    RegistryViews::RelayLookupFailure failure{};
    std::optional<RegistryRelay> relay = RegistryViews::findRelay(*store, key, &error, &failure);
    if (relay)
        return RelayInRegister{store, std::move(*relay)};
    if (failure == RegistryViews::RelayLookupFailure::Ambiguous)
        *status = context.wrongUsage(error, usage);
    else
        context.err() << error << Qt::endl;
    return std::nullopt;
}

namespace {

// Why a write to a relay in service is refused, naming the lock and who set
// it: "Реле №1001 в эксплуатации (ivanov, 08.12.2026 10:07:00): ...".
QString lockRefusalText(quint16 factoryNumber, const RegistrySignoff &lock)
{
    const QString who = lock.verified || lock.recordedBy.isEmpty()
            ? lock.recordedBy
            : lock.recordedBy + QStringLiteral(", не проверено");
    return QStringLiteral("Реле №%1 в эксплуатации (%2, %3): запись уставок, таймера, пароля и "
                          "моторесурса запрещена, кроме записи утверждённых уставок")
            .arg(factoryNumber)
            .arg(who, RegistryViews::timeText(lock.recordedAt));
}

} // namespace

std::optional<int> refuseWriteWhenLocked(CliContext &context, const CurrentDevice &device)
{
    QString error;
    RegistryStore *store = context.recorder().storeForReading(&error);
    if (!store)
        return std::nullopt;
    const auto relays = store->relays(device.factoryNumber);
    for (const RegistryRelay &relay : relays.value_or(QList<RegistryRelay>{})) {
        if (relay.typeCode != device.typeCode)
            continue;
        ChangeControl control(*store);
        const auto lock = control.lockOf(relay.id);
        if (!lock || !lock->has_value())
            return std::nullopt;
        context.err() << lockRefusalText(relay.factoryNumber, **lock) << Qt::endl;
        return ExitStatus::Refused;
    }
    return std::nullopt;
}

} // namespace miv::cli

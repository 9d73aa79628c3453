#include "cli/RegistryLookup.h"

#include "cli/CliContext.h"
#include "cli/Commands.h"
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

} // namespace miv::cli

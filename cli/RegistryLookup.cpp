#include "cli/RegistryLookup.h"

#include "cli/CliContext.h"
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

std::optional<RegistryRelay> findRelay(CliContext &context, RegistryStore &store,
                                       const QString &key)
{
    QString error;
    const std::optional<RegistryRelay> relay = RegistryViews::findRelay(store, key, &error);
    if (!relay)
        context.err() << error << Qt::endl;
    return relay;
}

std::optional<RelayInRegister> openRelay(CliContext &context, const QString &key, RegisterUse use)
{
    RegistryStore *store = openStore(context, use);
    if (!store)
        return std::nullopt;
    std::optional<RegistryRelay> relay = findRelay(context, *store, key);
    if (!relay)
        return std::nullopt;
    return RelayInRegister{store, std::move(*relay)};
}

} // namespace miv::cli

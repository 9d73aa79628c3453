#pragma once

#include "registry/RegistryStore.h"

#include <optional>
#include <QString>

namespace miv::cli {

class CliContext;

// The register the registry commands read: the open store, or null with the
// reason on stderr.
miv::RegistryStore *openStore(CliContext &context);

// The register opened and the relay that `key` (FACTORY or FACTORY:TYPE)
// names in it, as the commands about one relay begin. nullopt with the
// reason on stderr and the exit status in *status: wrong usage (with
// `usage`) for a key that is no factory number or names two relays, refused
// for a relay not on record (named) or a register that cannot be used.
struct RelayInRegister
{
    miv::RegistryStore *store = nullptr;
    miv::RegistryRelay relay;
};
std::optional<RelayInRegister> openRelay(CliContext &context, const QString &key,
                                         const QString &usage, int *status);

} // namespace miv::cli

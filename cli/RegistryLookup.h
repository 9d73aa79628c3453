#pragma once

#include "registry/RegistryStore.h"

#include <optional>
#include <QString>

namespace miv::cli {

class CliContext;

// What a command does with the register: only reads it (opened read-only,
// so that a register on a read-only or full disk is read all the same), or
// records into it.
enum class RegisterUse { Read, Record };

// The register the registry commands use: the open store, or null with the
// reason on stderr.
miv::RegistryStore *openStore(CliContext &context, RegisterUse use);

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
std::optional<RelayInRegister> openRelay(CliContext &context, const QString &key, RegisterUse use,
                                         const QString &usage, int *status);

} // namespace miv::cli

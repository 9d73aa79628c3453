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

// The relay a command's FACTORY (or FACTORY:TYPE) names; nullopt with the
// reason on stderr.
std::optional<miv::RegistryRelay> findRelay(CliContext &context, miv::RegistryStore &store,
                                            const QString &key);

// The register opened and the relay that `key` names in it, as the commands
// about one relay begin; nullopt with the reason on stderr.
struct RelayInRegister
{
    miv::RegistryStore *store = nullptr;
    miv::RegistryRelay relay;
};
std::optional<RelayInRegister> openRelay(CliContext &context, const QString &key, RegisterUse use);

} // namespace miv::cli

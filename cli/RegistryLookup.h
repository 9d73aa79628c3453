#pragma once

#include "core/CurrentDevice.h"
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

// Refuses a write of settings, timer, password or motor hours to the relay
// the session identified when the register has it in service ("в
// эксплуатации"): ExitStatus::Refused with the lock and who set it on
// stderr. nullopt when the write may go on: the relay is not locked or not
// on record, or the register cannot be read (the register never holds a
// write up).
std::optional<int> refuseWriteWhenLocked(CliContext &context, const miv::CurrentDevice &device);

// "registry approve" where four eyes are on: a proposal of the settings that
// another person confirms (CommandRegistryChange.cpp). The exit status.
int proposeApproval(CliContext &context, miv::RegistryStore &store, const miv::RegistryRelay &relay,
                    const miv::SettingsRegisters &registers, std::optional<qint64> sourceSnapshot,
                    const QString &source, const QString &note);

} // namespace miv::cli

#pragma once

#include <optional>
#include <QStringList>

namespace miv {

class RegistryStore;

// The roles of a PostgreSQL register, which an administrator grants to the
// people's login roles ("GRANT miv_approver TO ivanov"):
//   miv_reader    reads everything (lists, history, reports);
//   miv_engineer  and records snapshots and journals, proposes approvals,
//                 signs that settings were applied and verified;
//   miv_approver  and confirms or rejects proposals, locks and unlocks
//                 relays, through the register's functions only.
// Nobody is granted UPDATE or DELETE of a recorded row (and the triggers of
// the schema refuse it even to the owner); nobody but the owner inserts an
// approval, and the approver's sign-offs are made by the functions alone
// (row security on signoffs).
namespace RegistryRoles {

inline const QString reader = QStringLiteral("miv_reader");
inline const QString engineer = QStringLiteral("miv_engineer");
inline const QString approver = QStringLiteral("miv_approver");

// Makes the roles and their grants, as the register's owner, in one
// transaction. Each step is taken only where the database does not stand so
// already: what was done, one line a step, empty when nothing needed doing.
// nullopt with the reason in *error for a SQLite register (no roles there)
// or when the server refused (a caller who may not make roles or grant on
// the tables).
std::optional<QStringList> setUp(RegistryStore &store, QString *error);

} // namespace RegistryRoles

} // namespace miv

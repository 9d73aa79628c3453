#pragma once

#include <QStringList>

namespace miv::RegistrySchema {

// The PostgreSQL functions through which the steps an engineer may not take
// on his own are made: miv_confirm(proposal, os_user, program_version),
// miv_reject(proposal, reason, os_user), miv_lock(relay, note, os_user),
// miv_unlock(relay, note, os_user). They run as the register's owner
// (SECURITY DEFINER), so that an approval or a lock is never a row a caller
// inserts himself, and check the caller by session_user: a proposal is never
// confirmed by the role that proposed it or recorded the settings it
// proposes. Nobody may run them until `registry roles --setup` grants them
// to miv_approver. Statements of a migration, "{PG}" before each.
QStringList serverFunctions();

// The server's time as the register keeps times ("2026-12-08T10:01:00.000Z").
QString serverNowExpression();

} // namespace miv::RegistrySchema

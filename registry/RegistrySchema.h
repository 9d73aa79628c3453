#pragma once

#include <QList>
#include <QStringList>

namespace miv::RegistrySchema {

// One step of the schema: the statements that take a database from
// version - 1 to `version`. "{ID}" in a statement stands for the driver's
// auto-numbered primary key column type; a statement that begins with
// "{PG}" or "{SQLITE}" runs on that driver only.
struct Migration
{
    int version = 0;
    QStringList statements;
};

// Every step from version 1 on, in order. A later version appends its step;
// a step once released never changes.
const QList<Migration> &migrations();

} // namespace miv::RegistrySchema

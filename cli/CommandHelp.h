#pragma once

#include <QString>

namespace miv::cli {

// What `mivctl help COMMAND` tells about one command of the table, after its
// usage line: what it prints and does, its arguments and exit statuses. The
// manual page mivctl(1) carries the same text under the command's usage (a
// test holds the two together). Empty for a name that is no command.
QString commandHelp(const QString &name);

} // namespace miv::cli

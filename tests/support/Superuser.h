#pragma once

#include <QtGlobal>

#ifdef Q_OS_UNIX
#  include <unistd.h>
#endif

// Whether the tests run as the superuser, who writes into read-only folders
// all the same: tests of a refused write skip themselves then.
inline bool runsAsSuperuser()
{
#ifdef Q_OS_UNIX
    return ::geteuid() == 0;
#else
    return false;
#endif
}

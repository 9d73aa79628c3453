#include "core/ProgramVersion.h"

#include <cstdio>
#include <cstring>

// MIV_PROGRAM_VERSION comes from CMake for this file alone, so that a new
// version recompiles only it.
#ifndef MIV_PROGRAM_VERSION
#  error "MIV_PROGRAM_VERSION must be defined by the build"
#endif

namespace miv {

QString programVersion()
{
    return QStringLiteral(MIV_PROGRAM_VERSION);
}

bool printVersionWhenAsked(int argc, char *argv[], const char *programName)
{
    if (argc < 2 || std::strcmp(argv[1], "--version") != 0)
        return false;
    std::printf("%s %s\n", programName, MIV_PROGRAM_VERSION);
    std::fflush(stdout);
    return true;
}

} // namespace miv

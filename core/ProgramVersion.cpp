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

QString windowUsage()
{
    return QStringLiteral(
            "usage: mivconf [--port NAME | --port tcp://HOST:PORT]\n"
            "The configurator window of the МИВ-04 and МИВ-06 relays.\n"
            "  --port NAME            open this serial port for this run instead of the one\n"
            "                         in front.ini (COM3, /dev/ttyUSB0), without storing it\n"
            "  --port tcp://HOST:PORT a serial-to-Ethernet gateway instead\n"
            "  --version              print the version and exit\n"
            "  --help, -h             print this and exit\n"
            "Environment: MIV_TRACE=1 dumps every frame on standard error; MIV_DATA_DIR names\n"
            "the folder of the audit log.\n");
}

bool printHelpWhenAsked(int argc, char *argv[], const QString &usage)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") != 0 && std::strcmp(argv[i], "-h") != 0)
            continue;
        const QByteArray text = usage.toLocal8Bit();
        std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
        std::fflush(stdout);
        return true;
    }
    return false;
}

} // namespace miv

// mivsim: a simulated line of relays on a pseudo-terminal, and on request
// over TCP on 127.0.0.1 too.
#include "core/ProgramVersion.h"
#include "sim/PtyServer.h"
#include "sim/RequestLog.h"
#include "sim/SimOptions.h"
#include "sim/StableLink.h"

#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <unistd.h>
#ifdef __linux__
#  include <sys/prctl.h>
#endif

using namespace miv::sim;

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int)
{
    stopRequested = 1;
}

// SIGINT and SIGTERM are blocked except while the server waits; the returned
// mask is the one to wait with.
sigset_t installStopSignals()
{
    struct sigaction action
    { };
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigset_t waitMask;
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGTERM);
    return waitMask;
}

void stopWithParent()
{
#ifdef __linux__
    const pid_t parent = getppid();
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) // the parent ended before the request took effect
        stopRequested = 1;
#endif
}

} // namespace

int main(int argc, char *argv[])
{
    if (miv::printVersionWhenAsked(argc, argv, "mivsim"))
        return 0;
    QCoreApplication app(argc, argv);
    QString error;
    const auto options = parseSimOptions(app.arguments().mid(1), &error);
    if (!options) {
        std::fprintf(stderr, "mivsim: %s\nTry 'mivsim --help'.\n", qPrintable(error));
        return 2;
    }
    if (options->help) {
        std::fputs(simUsage().toLocal8Bit().constData(), stdout);
        return 0;
    }

    const sigset_t waitMask = installStopSignals();
    if (options->stopWithParent)
        stopWithParent();

    RelayLine line;
    options->applyTo(line);
    RequestLog log;
    if (!options->logPath.isEmpty() && !log.open(options->logPath)) {
        std::fprintf(stderr, "mivsim: cannot write %s: %s\n", qPrintable(options->logPath),
                     qPrintable(log.errorString()));
        return 1;
    }
    PtyServer server(line, log);
    server.setLineSpeed(options->baudRate, options->bitsPerCharacter);
    if (!server.open(&error)) {
        std::fprintf(stderr, "mivsim: cannot open a pseudo-terminal: %s\n", qPrintable(error));
        return 1;
    }
    if (options->tcpPort && !server.listenTcp(*options->tcpPort, &error)) {
        std::fprintf(stderr, "mivsim: cannot listen on 127.0.0.1:%u: %s\n",
                     unsigned(*options->tcpPort), qPrintable(error));
        return 1;
    }
    StableLink link;
    if (!options->linkPath.isEmpty()
        && !link.create(options->linkPath, server.slavePath(), &error)) {
        std::fprintf(stderr, "mivsim: cannot make the link %s: %s\n", qPrintable(options->linkPath),
                     qPrintable(error));
        return 1;
    }
    std::printf("PORT %s\n", qPrintable(server.slavePath()));
    if (options->tcpPort)
        std::printf("TCP %u\n", unsigned(server.tcpPort()));
    std::fflush(stdout);
    return server.run(stopRequested, waitMask);
}

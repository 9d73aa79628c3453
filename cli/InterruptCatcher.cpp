#include "cli/InterruptCatcher.h"

#include "core/WriteStop.h"

#include <csignal>

namespace miv::cli {

namespace {

void noteInterrupt(int signalNumber)
{
    WriteStop::request();
    // The next one is not caught: an operator who presses it again means it.
    std::signal(signalNumber, SIG_DFL);
}

void restore(int signalNumber, void (*previous)(int))
{
    std::signal(signalNumber, previous == SIG_ERR ? SIG_DFL : previous);
}

} // namespace

InterruptCatcher::InterruptCatcher()
{
    WriteStop::clear();
    m_previousInterrupt = std::signal(SIGINT, noteInterrupt);
    m_previousTerminate = std::signal(SIGTERM, noteInterrupt);
}

InterruptCatcher::~InterruptCatcher()
{
    restore(SIGINT, m_previousInterrupt);
    restore(SIGTERM, m_previousTerminate);
}

bool InterruptCatcher::interrupted() const
{
    return WriteStop::requested();
}

} // namespace miv::cli

#include "cli/InterruptCatcher.h"

#include <csignal>

namespace miv::cli {

namespace {

volatile std::sig_atomic_t interruptSeen = 0;

void noteInterrupt(int)
{
    interruptSeen = 1;
    // The next one is not caught: an operator who presses it again means it.
    std::signal(SIGINT, SIG_DFL);
}

} // namespace

InterruptCatcher::InterruptCatcher()
{
    interruptSeen = 0;
    m_previous = std::signal(SIGINT, noteInterrupt);
}

InterruptCatcher::~InterruptCatcher()
{
    std::signal(SIGINT, m_previous == SIG_ERR ? SIG_DFL : m_previous);
}

bool InterruptCatcher::interrupted() const
{
    return interruptSeen != 0;
}

} // namespace miv::cli

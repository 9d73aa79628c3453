#include "core/WriteStop.h"

#include <csignal>

namespace miv::WriteStop {

namespace {

volatile std::sig_atomic_t stopRequested = 0;

} // namespace

void request()
{
    stopRequested = 1;
}

bool requested()
{
    return stopRequested != 0;
}

void clear()
{
    stopRequested = 0;
}

} // namespace miv::WriteStop

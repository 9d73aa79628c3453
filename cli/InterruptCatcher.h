#pragma once

namespace miv::cli {

// Ctrl+C (SIGINT) or a request to end (SIGTERM) while an object of this
// lives does not end the program: interrupted() turns true and WriteStop is
// requested, so the exchange under way is finished and recorded and the
// work that asks stops at its next step (a write before its request). A
// second signal ends the program as usual. The earlier handling comes back
// when the object goes. One at a time.
class InterruptCatcher
{
public:
    InterruptCatcher();
    ~InterruptCatcher();
    InterruptCatcher(const InterruptCatcher &) = delete;
    InterruptCatcher &operator=(const InterruptCatcher &) = delete;

    bool interrupted() const;

private:
    void (*m_previousInterrupt)(int) = nullptr;
    void (*m_previousTerminate)(int) = nullptr;
};

} // namespace miv::cli

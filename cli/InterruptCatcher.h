#pragma once

namespace miv::cli {

// Ctrl+C (SIGINT) while an object of this lives does not end the program:
// interrupted() turns true, and the work that asks it stops at its next
// step. A second Ctrl+C ends the program as usual. The earlier handling
// comes back when the object goes. One at a time.
class InterruptCatcher
{
public:
    InterruptCatcher();
    ~InterruptCatcher();
    InterruptCatcher(const InterruptCatcher &) = delete;
    InterruptCatcher &operator=(const InterruptCatcher &) = delete;

    bool interrupted() const;

private:
    void (*m_previous)(int) = nullptr;
};

} // namespace miv::cli

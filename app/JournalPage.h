#pragma once

#include <functional>
#include <QString>

namespace miv {

class BusWorkGate;
class JournalView;
class Operator;
struct RelaySession;

// The page "Журнал событий": the journal read into the grid row by row with
// the progress bar, every other bus action waiting meanwhile, and "Отчёт".
class JournalPage
{
public:
    JournalPage(JournalView &view, RelaySession &session, Operator &op, BusWorkGate &gate,
                std::function<void(const QString &path)> openFile)
        : m_view(view), m_session(session), m_op(op), m_gate(gate), m_openFile(std::move(openFile))
    { }

    void read();
    // "Отчёт": the report written where the operator chooses, then opened
    // with the desktop's program when the operator asks for it.
    void makeReport();

private:
    JournalView &m_view;
    RelaySession &m_session;
    Operator &m_op;
    BusWorkGate &m_gate;
    std::function<void(const QString &path)> m_openFile;
};

} // namespace miv

#include "app/JournalPage.h"

#include "app/BusWorkGate.h"
#include "app/JournalView.h"
#include "link/RelaySession.h"
#include "device/JournalReader.h"
#include "report/JournalReport.h"

namespace miv {

void JournalPage::read()
{
    m_gate.begin();
    m_view.startJournalProgress();
    JournalReadHooks hooks;
    hooks.progress = [this](int position) { m_view.setJournalProgress(position); };
    readJournal(m_session, m_op, hooks);
    m_view.hideJournalProgress();
    m_gate.end();
}

void JournalPage::makeReport()
{
    const JournalReport::Outcome outcome = JournalReport::makeReport(m_session, m_op);
    // A file that cannot be opened is not reported: it was written.
    if (outcome.open)
        m_openFile(outcome.path);
}

} // namespace miv

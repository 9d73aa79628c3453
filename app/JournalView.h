#pragma once

namespace miv {

// What the journal page shows through: its progress bar pb2, shown from 0,
// moved while shown, hidden. The main window gives it.
class JournalView
{
public:
    virtual ~JournalView() = default;

    virtual void startJournalProgress() = 0;
    virtual void setJournalProgress(int position) = 0;
    virtual void hideJournalProgress() = 0;
};

} // namespace miv

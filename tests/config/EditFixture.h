#pragma once

#include "config/ConfigReader.h"
#include "support/RelayLineFixture.h"
#include "support/ScriptedOperator.h"

#include <gtest/gtest.h>

using namespace miv;

// A simulated relay of type 4 at address 1 and one of type 6 at address 6 on
// a loopback line, the program-wide state of the data module, and the grid
// as a read of the selected relay filled it. Editing starts unlocked.
class EditFixture : public RelayLineFixture
{
protected:
    static constexpr QChar comma = QChar(u',');
    using Write = RegisterWrite;

    void SetUp() override
    {
        RelayLineFixture::SetUp();
        select(1, 4);
    }

    // Reads the selected relay into the grid, forgets the requests, unlocks.
    void readRelay()
    {
        ASSERT_EQ(readConfiguration(session, op), ConfigReadResult::Complete);
        line.clearRequests();
        op.clearShown();
        flags.editingLocked = false;
        flags.unwrittenChanges = false;
    }

    // Puts a text into a row and marks it, as an accepted edit does.
    void set(int row, const QString &text)
    {
        grid.setText(row, ConfigGrid::Value, text);
        grid.mark(row);
        flags.unwrittenChanges = true;
    }

    // As if no read had reported the grid's values: each marked row counts
    // as brought by the operator and is sent.
    void forgetRelayValues()
    {
        for (int row = 0; row < ConfigRow::count; ++row)
            grid.setRelayText(row, QString());
    }

    QList<int> markedRows() const
    {
        QList<int> rows;
        for (int row = 0; row < ConfigRow::count; ++row)
            if (grid.isMarked(row))
                rows.append(row);
        return rows;
    }

    using RelayLineFixture::stopAnsweringAfter;
    // The selected relay answers this many more requests, then falls silent.
    void stopAnsweringAfter(int requests) { stopAnsweringAfter(device.networkAddress, requests); }
};

inline void PrintTo(const QList<int> &rows, std::ostream *os)
{
    for (int row : rows)
        *os << row << ' ';
}

#pragma once

#include "support/ProgramRun.h"
#include "support/QtPrinters.h"
#include "support/SimProcess.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

// mivctl run against a mivsim line on a pseudo-terminal, from a folder of the
// test's own (so no "front.ini" of another run is read). A test fixture
// derives and names the line: `Fixture() : MivctlOnSimulator({"--relays", "1:4"}) {}`.
class MivctlOnSimulator : public ::testing::Test
{
protected:
    explicit MivctlOnSimulator(const QStringList &simArguments) : sim(simArguments) { }

    void SetUp() override
    {
        ASSERT_TRUE(sim.isRunning()) << sim.errorText().toStdString();
        ASSERT_TRUE(folder.isValid());
    }

    ProgramResult mivctl(const QStringList &arguments)
    {
        return runMivctl(QStringList{QStringLiteral("--port"), sim.portPath()} + arguments, 60000,
                         {}, folder.path());
    }

    SimProcess sim;
    QTemporaryDir folder;
};

// The lines of a program's output, without the empty one after the last newline.
inline QStringList outputLines(const QString &output)
{
    QStringList list = output.split(u'\n');
    if (!list.isEmpty() && list.last().isEmpty())
        list.removeLast();
    return list;
}

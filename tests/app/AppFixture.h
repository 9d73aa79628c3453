#pragma once

#include "LoopbackLink.h"
#include "PtyBridge.h"
#include "ScriptedOperator.h"
#include "app/Tdm.h"
#include "app/Tmf.h"
#include "sim/SimOptions.h"

#include <QAction>
#include <QTabWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

using miv::sim::parseSimOptions;
using miv::sim::RelayLine;
using miv::sim::SimOptions;

using namespace miv;

// A main window and data module as the program builds them, with a scripted
// operator, a program folder of its own and, by default, a port that opens:
// the in-process loopback line with the simulator's default relays (1:4,
// 6:6, 17:4).
class AppFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        const std::optional<SimOptions> defaults = parseSimOptions({}, nullptr);
        ASSERT_TRUE(defaults);
        defaults->applyTo(line);
    }

    void TearDown() override
    {
        dm.reset();
        mf.reset();
    }

    QString programDir() const { return folder.path() + QLatin1Char('/'); }
    QString frontIni() const { return programDir() + QStringLiteral("front.ini"); }

    // Starts the window and data module on the loopback line, or with a
    // serial port of that name given for this run.
    void start(std::optional<QString> serialPortName = std::nullopt)
    {
        mf = std::make_unique<Tmf>();
        Tdm::Environment environment;
        environment.programDir = programDir();
        if (serialPortName)
            environment.portOverride =
                    PortOverride{PortSettings::Transport::Serial, *serialPortName};
        if (!serialPortName)
            environment.portLink = [this] { return std::make_unique<LoopbackLink>(line); };
        environment.portSetupDialog = [this](const PortSettings &) -> std::optional<PortSettings> {
            ++setupDialogs;
            return setupAnswer;
        };
        environment.openFile = [this](const QString &path) { openedFiles << path; };
        dm = std::make_unique<Tdm>(*mf, op, environment);
    }
    // Starts them on a serial port that opens: one end of a pair of pseudo-terminals.
    void startOnPty()
    {
        bridge = std::make_unique<PtyBridge>();
        ASSERT_TRUE(bridge->isOpen()) << bridge->errorText().toStdString();
        start(bridge->firstPath());
    }

    // A control of the window by its object name (every control has one).
    template<class Widget>
    Widget *child(const char *name) const
    {
        auto *found = mf->findChild<Widget *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QTabWidget *pc() const { return child<QTabWidget>("pc"); }

    QAction *act(ActionId id) const { return dm->action(id); }
    QStringList enabledToolbarActions() const
    {
        QStringList names;
        for (ActionId id : allActions)
            if (act(id)->isEnabled() && id != ActionId::a_exit && id != ActionId::a_about
                && id != ActionId::a_manual && id != ActionId::a_chpass)
                names << act(id)->objectName();
        return names;
    }
    // Makes a tab visible and current, as a later step of the program would.
    void enterTab(int tab)
    {
        pc()->setTabVisible(tab, true);
        if (pc()->currentIndex() == tab)
            mf->pcChange();
        else
            pc()->setCurrentIndex(tab);
    }

    QTemporaryDir folder;
    RelayLine line;
    std::unique_ptr<PtyBridge> bridge;
    ScriptedOperator op;
    int setupDialogs = 0;
    QStringList openedFiles; // reports the window handed to the desktop to open
    std::optional<PortSettings> setupAnswer;
    std::unique_ptr<Tmf> mf;
    std::unique_ptr<Tdm> dm;
};

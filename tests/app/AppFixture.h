#pragma once

#include "PtyBridge.h"
#include "ScriptedOperator.h"
#include "app/Tdm.h"
#include "app/Tmf.h"

#include <QAction>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

using namespace miv;

// A main window and data module as the program builds them, with a scripted
// operator, a program folder of its own and, by default, a port that opens:
// one end of a pair of pseudo-terminals.
class AppFixture : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }

    void TearDown() override
    {
        dm.reset();
        mf.reset();
    }

    QString programDir() const { return folder.path() + QLatin1Char('/'); }
    QString frontIni() const { return programDir() + QStringLiteral("front.ini"); }

    // Starts the window and data module; the port is the bridge's unless another name is given.
    void start(std::optional<QString> portName = std::nullopt)
    {
        if (!portName) {
            if (!bridge)
                bridge = std::make_unique<PtyBridge>();
            ASSERT_TRUE(bridge->isOpen()) << bridge->errorText().toStdString();
            portName = bridge->firstPath();
        }
        mf = std::make_unique<Tmf>();
        Tdm::Environment environment;
        environment.programDir = programDir();
        environment.portNameOverride = portName;
        environment.portSetupDialog = [this](const PortSettings &) -> std::optional<PortSettings> {
            ++setupDialogs;
            return setupAnswer;
        };
        dm = std::make_unique<Tdm>(*mf, op, environment);
    }

    QAction *act(ActionId id) const { return dm->action(id); }
    QStringList enabledToolbarActions() const
    {
        QStringList names;
        for (ActionId id : allActions)
            if (act(id)->isEnabled() && id != ActionId::a_exit && id != ActionId::a_about && id != ActionId::a_chpass)
                names << act(id)->objectName();
        return names;
    }
    // Makes a tab visible and current, as a later step of the program would.
    void enterTab(int tab)
    {
        mf->pc->setTabVisible(tab, true);
        if (mf->pc->currentIndex() == tab)
            mf->pcChange();
        else
            mf->pc->setCurrentIndex(tab);
    }

    QTemporaryDir folder;
    std::unique_ptr<PtyBridge> bridge;
    ScriptedOperator op;
    int setupDialogs = 0;
    std::optional<PortSettings> setupAnswer;
    std::unique_ptr<Tmf> mf;
    std::unique_ptr<Tdm> dm;
};

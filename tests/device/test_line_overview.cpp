#include "core/LineOverviewModel.h"
#include "device/LineOverview.h"
#include "device/RelayCommands.h"
#include "support/RelayLineFixture.h"

#include <QAbstractItemModelTester>

namespace {

using Outcome = LineOverview::StepOutcome;

class LineOverviewTest : public RelayLineFixture
{
protected:
    // Each read request since the last call as "address:first register".
    QStringList readsSince()
    {
        QStringList reads;
        const QList<QByteArray> requests = line.requests();
        for (qsizetype k = m_seen; k < requests.size(); ++k)
            if (quint8(requests[k][1]) == modbus::ReadHoldingRegisters)
                reads << QStringLiteral("%1:%2")
                                 .arg(quint8(requests[k][0]))
                                 .arg(quint8(requests[k][2]) << 8 | quint8(requests[k][3]));
        m_seen = requests.size();
        return reads;
    }

    QList<Outcome> round()
    {
        QList<Outcome> outcomes;
        for (int step = 0; step < 10; ++step) {
            outcomes << overview.step().outcome;
            if (outcomes.last() != Outcome::Read)
                break;
        }
        return outcomes;
    }

    LineOverviewModel model;
    QAbstractItemModelTester tester{&model};
    LineOverview overview{session, model};
    qsizetype m_seen = 0;
};

// One relay per step in the order given; the identity is read once, a silent
// relay is asked again next round without the bus's repetitions, and one
// that answers again is identified again (it may have been replaced).
TEST_F(LineOverviewTest, roundsAskEachRelayInTurnAndASilentOneOnceMore)
{
    bus.setRetries(2);
    overview.setAddresses({6, 2, 1});
    EXPECT_EQ(round(), (QList<Outcome>{Outcome::Read, Outcome::Read, Outcome::RoundDone}));
    EXPECT_EQ(readsSince(),
              (QStringList{"6:0", "6:21", "6:115", "2:0", "2:0", "2:0", "1:0", "1:21", "1:115"}));
    EXPECT_TRUE(overview.lastRoundMs().has_value());
    EXPECT_EQ(model.row(0).typeName, QStringLiteral("МИВ-06"));
    EXPECT_EQ(model.row(0).factoryNumber, 1006);
    EXPECT_EQ(model.row(0).state, QStringLiteral("Стоп"));
    EXPECT_EQ(model.row(1).state, QStringLiteral("Нет связи"));
    EXPECT_EQ(model.row(2).factoryNumber, 1001);

    stopAnsweringAfter(1, 0);
    EXPECT_EQ(round().size(), 3);
    EXPECT_EQ(readsSince(), (QStringList{"6:21", "2:0", "1:21", "1:21", "1:21"}));
    EXPECT_EQ(bus.timing().retries, 2) << "the bus's repetitions are given back";
    EXPECT_EQ(model.row(2).state, QStringLiteral("Нет связи"));
    EXPECT_EQ(model.row(2).currents[0], QStringLiteral("000,0 А")) << "the last reading stays";

    line.setFaults(1, {});
    round();
    EXPECT_EQ(readsSince(), (QStringList{"6:21", "2:0", "1:0", "1:21", "1:115"}))
            << "the clock of a relay that answers again is read again";
    EXPECT_EQ(model.row(2).state, QStringLiteral("Стоп"));
}

// The relay's clock minus the PC's, read after the block and again once its
// reading is a minute old.
TEST_F(LineOverviewTest, clockOffsetIsReadFirstAndThenOnceAMinute)
{
    select(6, 6);
    ASSERT_EQ(setRelayClock(session, op, QDateTime::currentDateTime().addSecs(-125)),
              BusOutcome::Done);
    qint64 shiftMs = 0;
    overview.clock = [&shiftMs] { return QDateTime::currentDateTime().addMSecs(shiftMs); };
    overview.setAddresses({6});
    round();
    ASSERT_TRUE(model.row(0).clockOffsetMs);
    EXPECT_NEAR(double(*model.row(0).clockOffsetMs), -125000.0, 1500.0);
    const QString text = LineOverviewModel::cellText(model.row(0), LineOverviewModel::ClockOffset);
    EXPECT_EQ(text, QStringLiteral("-2 мин")) << "whole minutes, as the overview shows them";
    readsSince();
    round();
    EXPECT_EQ(readsSince(), QStringList{"6:21"});
    shiftMs = 61000;
    round();
    EXPECT_EQ(readsSince(), (QStringList{"6:21", "6:115"}));
    EXPECT_NEAR(double(*model.row(0).clockOffsetMs), -186000.0, 1500.0)
            << "against the PC's time the overview is given";
}

TEST_F(LineOverviewTest, stopEndsTheRoundAndTheNextBeginsAtTheFirstRelay)
{
    overview.setAddresses({1, 6});
    EXPECT_EQ(overview.delayBeforeNextStepMs(60000), 0) << "the first round begins at once";
    overview.step();
    EXPECT_TRUE(overview.roundUnderWay());
    overview.stop();
    EXPECT_FALSE(overview.roundUnderWay());
    readsSince();
    EXPECT_EQ(overview.step().row, 0);
    EXPECT_EQ(readsSince(), QStringList{"1:21"});
    EXPECT_EQ(overview.step().outcome, Outcome::RoundDone);
    const int wait = overview.delayBeforeNextStepMs(60000);
    EXPECT_GT(wait, 0);
    EXPECT_LE(wait, 60000);
}

TEST_F(LineOverviewTest, aPortThatWillNotOpenAgainStopsTheRound)
{
    session.reopenPort = [](QString *error) {
        *error = QStringLiteral("нет порта");
        return false;
    };
    overview.setAddresses({1, 6});
    overview.step();
    port.close();
    const LineOverview::StepResult result = overview.step();
    EXPECT_EQ(result.outcome, Outcome::PortLost);
    EXPECT_TRUE(result.portLostText.contains(QStringLiteral("нет порта")));
    EXPECT_FALSE(overview.roundUnderWay());
    EXPECT_EQ(model.row(1).state, QStringLiteral("Нет связи"));
}

} // namespace

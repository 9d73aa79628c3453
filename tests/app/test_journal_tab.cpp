// The journal tab: "Получить" reads the journal into sg1 with pb2 moving and
// every bus action blocked meanwhile; "Отчёт" writes the report and offers
// to open it.
#include "AppFixture.h"
#include "app/ActionEnabling.h"
#include "core/JournalGrid.h"
#include "core/Texts.h"
#include "report/JournalReport.h"

#include <QFile>
#include <QListWidget>
#include <QProgressBar>
#include <QTableView>

using namespace miv;

namespace {

class JournalTab : public AppFixture
{
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        start();
        ASSERT_TRUE(dm->portOpen());
        dm->port().bus().setReplyTimeoutMs(300);
        dm->port().bus().setScanTimeoutMs(50);
        enterTab(ActionEnabling::DevicesTab);
        dm->action(ActionId::a_pooling)->trigger();
        QListWidget *lb = child<QListWidget>("lb");
        lb->setCurrentRow(0);
        Q_EMIT lb->itemDoubleClicked(lb->currentItem());
        ASSERT_EQ(dm->session().device.networkAddress, 1);
        enterTab(ActionEnabling::JournalTab);
        line.clearRequests();
    }

    JournalGrid &journal() { return dm->session().journal; }
};

TEST_F(JournalTab, readingFillsTheGridWhileEveryBusActionWaits)
{
    QProgressBar *pb2 = child<QProgressBar>("pb2");
    auto *sg1 = child<QTableView>("sg1");
    EXPECT_EQ(sg1->model(), &journal());
    EXPECT_EQ(journal().rowCount(), 100);
    EXPECT_EQ(journal().text(99, JournalGrid::Number), QStringLiteral("#"));
    EXPECT_TRUE(sg1->isColumnHidden(4) && sg1->isColumnHidden(5));
    EXPECT_TRUE(pb2->isHidden());
    const QStringList enabledBefore = enabledToolbarActions();
    ASSERT_TRUE(enabledBefore.contains(QStringLiteral("a_getdata")));

    int keepAlives = 0;
    int extraRequests = 0;
    int closesAccepted = 0;
    QList<int> bar;
    op.duringKeepAlive = [&] {
        ++keepAlives;
        EXPECT_FALSE(mf->isEnabled());
        bar << pb2->value();
        const qsizetype before = line.requests().size();
        // What the operator or a timer could set off while the window repaints.
        for (ActionId id : allActions)
            if (id != ActionId::a_exit)
                act(id)->trigger();
        dm->a_getdataExecute();
        dm->a_poolingExecute();
        dm->a_portExecute();
        dm->N6Click();
        closesAccepted += mf->close();
        extraRequests += int(line.requests().size() - before);
    };
    act(ActionId::a_getdata)->trigger();
    op.duringKeepAlive = nullptr;

    EXPECT_EQ(keepAlives, 37);
    EXPECT_EQ(extraRequests, 0);
    EXPECT_EQ(closesAccepted, 0);
    EXPECT_EQ(setupDialogs, 0);
    // and the relay's clock, read for the register's archive once the journal was read whole.
    EXPECT_EQ(line.requests().size(), 37 + 3 + 1);
    EXPECT_TRUE(dm->portOpen());
    EXPECT_EQ(bar.first(), 0);
    EXPECT_EQ(bar.last(), 36);
    EXPECT_TRUE(pb2->isHidden());
    EXPECT_TRUE(mf->isEnabled());
    EXPECT_EQ(enabledToolbarActions(), enabledBefore);
    EXPECT_TRUE(op.shown().isEmpty());
    EXPECT_EQ(journal().rowCount(), 37);
    EXPECT_EQ(journal().text(36, JournalGrid::Number), QStringLiteral("37"));
    EXPECT_FALSE(journal().text(36, JournalGrid::Event).isEmpty());
}

TEST_F(JournalTab, reportIsWrittenAndOpenedOnYes)
{
    act(ActionId::a_getdata)->trigger();
    ASSERT_EQ(journal().rowCount(), 37);
    const QString folderPath = folder.path();
    struct Case
    {
        QString name; // empty: the dialog is cancelled
        Operator::Answer answer;
        bool written;
        bool opened;
        QByteArray startsWith;
    };
    const Case cases[] = {
            {folderPath + "/report.xls", Operator::Answer::Yes, true, true, "\xD0\xCF\x11\xE0"},
            {folderPath + "/report.xls", Operator::Answer::No, true, false, "\xD0\xCF\x11\xE0"},
            {folderPath + "/journal.csv", Operator::Answer::Yes, true, true, "\xEF\xBB\xBFНомер,"},
            // Names as operators type them: Cyrillic letters, quotes, spaces, '#' and '%'.
            {folderPath + "/Журнал насоса №3 «цех 2» #1.xls", Operator::Answer::Yes, true, true,
             "\xD0\xCF\x11\xE0"},
            {folderPath + "/ it's a \"quoted\"  100%.csv", Operator::Answer::Yes, true, true,
             "\xEF\xBB\xBFНомер,"},
            {folderPath + "/no such folder/report.xls", Operator::Answer::Ok, false, false, {}},
            {{}, Operator::Answer::Ok, false, false, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        op.clearShown();
        openedFiles.clear();
        op.answerFileName(c.name);
        if (c.written)
            op.answer(c.answer);
        act(ActionId::a_print)->trigger();
        EXPECT_EQ(openedFiles, c.opened ? QStringList{c.name} : QStringList{});
        if (c.written) {
            ASSERT_EQ(op.shown().size(), 1);
            EXPECT_EQ(op.shown()[0].text,
                      QStringLiteral("Формирование файла завершено\rФайл: \"%1\"\rОткрыть файл?")
                              .arg(c.name));
            EXPECT_EQ(op.shown()[0].buttons, Operator::Buttons::YesNo);
            QFile file(c.name);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            EXPECT_TRUE(file.readAll().startsWith(c.startsWith));
        } else if (!c.name.isEmpty()) {
            ASSERT_EQ(op.shown().size(), 1);
            EXPECT_EQ(op.shown()[0].icon, Operator::Icon::Error);
            EXPECT_EQ(op.shown()[0].buttons, Operator::Buttons::Ok);
            EXPECT_TRUE(op.shown()[0].text.contains(c.name)) << op.shown()[0].text.toStdString();
        } else {
            EXPECT_TRUE(op.shown().isEmpty());
        }
    }
}

} // namespace

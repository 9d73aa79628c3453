#pragma once

#include "app/ConfigurationView.h"
#include "app/HandlerNames.h"
#include "app/JournalView.h"
#include "app/LiveValuesView.h"

#include <array>
#include <QLabel>
#include <QList>
#include <QMainWindow>
#include <QDateTime>
#include <QPixmap>
#include <functional>
#include <memory>
#include <optional>

class QAbstractItemModel;
class QAction;
class QKeyEvent;
class QHeaderView;
class QPushButton;
class QStandardItemModel;
class QTimeEdit;

namespace Ui {
class Tmf;
}

namespace miv {
class GridStretch;
}

// The main window `mf`: the toolbar, the seven tabs and the status bar. It
// shows and asks; what the operator does on it is told by its signals, and
// what the actions do lives in the data module and the core. The pages of
// the data module see it through their views only.
class Tmf : public QMainWindow,
            public miv::LiveValuesView,
            public miv::ConfigurationView,
            public miv::JournalView
{
    Q_OBJECT
public:
    // Builds the window and runs FormCreate.
    explicit Tmf(QWidget *parent = nullptr);
    ~Tmf() override;

    // The lamps' pictures by index at a pixel ratio; until they are given
    // no lamp is drawn.
    void setLampPictures(std::function<QPixmap(int index, qreal devicePixelRatio)> pictures);
    // Asked before the window closes; true lets it close. Without one it closes.
    void setCloseCheck(std::function<bool()> check);
    // The handlers connected to the window's controls, "Tmf::pcChange", ...
    const QStringList &connectedHandlers() const { return m_handlers.names(); }

    // The grids show the models they are given; the window keeps the column
    // layout (widths, hidden storage columns) across a change of model.
    void setConfigModel(QAbstractItemModel *model);
    void setJournalModel(QAbstractItemModel *model);
    QAbstractItemModel *configModel() const;
    QAbstractItemModel *journalModel() const;

    // The level-sensor group and the timer lamp, shown only for a relay of type 6.
    void setSensorLampsVisible(bool visible);

    // --- What the data module shows and asks through ---
    // The toolbar's buttons in their order; nullptr stands for a separator.
    void setToolbarActions(const QList<QAction *> &actions);
    // The relay's menu-item pictures in column 0 of the configuration grid.
    void setRowPictures(const QList<QPixmap> &pictures);
    // The grids' columns 4 and 5 keep data the operator does not see.
    void hideStorageColumns();
    int currentPage() const;
    void setCurrentPage(int page) override;
    // The device list of the first tab (lb) and its selected line, -1 for none.
    void clearDevices();
    void addDeviceLine(const QString &line);
    void replaceDeviceLine(int index, const QString &line);
    int selectedDeviceLine() const;
    void selectDeviceLine(int index);
    // The memo beside it (m1) shows these lines only.
    void showMemo(const QStringList &lines);
    // The scan's progress bar (pb1): shown from 0, moved while shown, hidden.
    void startProgress();
    void setProgress(int position);
    void hideProgress();
    // The journal reading's progress bar (pb2), the same way.
    void startJournalProgress() override;
    void setJournalProgress(int position) override;
    void hideJournalProgress() override;
    // The timer tab's pickers dtp01..dtp05 and buttons bu01..bu07.
    const QList<QTimeEdit *> &timeMarks() const override { return m_timeMarks; }
    const QList<QPushButton *> &timerSwitches() const override { return m_switches; }
    void showTitle(const QString &title) override { setWindowTitle(title); }
    QWidget *dialogParent() override { return this; }
    // The live values tab's labels in slot order (Label14..Label31, Label59,
    // Label61) and its lamps (lamp n at index n - 1).
    const QList<QLabel *> &valueLabels() const { return m_valueLabels; }
    const QList<QLabel *> &lamps() const { return m_lamps; }
    // The live values' display: a value label by slot, the start-limit
    // heading Label63, "Работа"/"Стоп" and the output buttons Button1..6 by tag.
    void setValueText(int slot, const QString &text) override;
    void setStartLimitColumnShown(bool shown) override;
    void setCommandButtons(bool workEnabled, bool stopEnabled) override;
    void setOutputButtonEnabled(int tag, bool enabled) override;
    // The date of dtp1 with the time of dtp2.
    QDateTime pickedDateTime() const override;
    // The service page: the relay's values into Edit1..Edit3, and their texts back.
    void showServiceValues(quint32 hours, int minutes, quint16 serialNumber) override;
    QStringList serviceFieldTexts() const override;

    // --- Handlers ---
    void FormCreate();
    void FormShow();
    // False when the close is cancelled.
    bool FormClose();
    // Tells the tab entered (pageEntered), after setting the clock pickers
    // of "Текущие значения" to now.
    void pcChange();
    // The tabs shown for the mode, following the relay type `typeCode` (0: none yet).
    void bts(int mode, quint16 typeCode = 0);
    void led(int state, int lamp) override;
    void hSectionResize(QHeaderView *header, int section);
    void lbDblClick();
    void sgDblClick();
    void sgSelectCell(int column, int row);
    // The one click handler of the timer buttons bu01..bu07 (1..7).
    void bu01Click(int button);
    // The command buttons, told apart by their tag.
    void SetCommand(QObject *sender);
    void SetCommand2(QObject *sender);
    // The key filter of Edit1..Edit3: true when the key is dropped (anything
    // but the digits and Backspace). Pasted text obeys the same rule.
    bool Edit1KeyPress(QObject *sender, QKeyEvent *key);

Q_SIGNALS:
    // What the operator did, for the data module.
    void pageEntered(int page); // pcChange
    void deviceLineActivated(); // lbDblClick
    void configRowSelected(int row); // sgSelectCell
    void configRowActivated(); // sgDblClick
    void timerSwitchClicked(int button); // bu01Click
    void commandClicked(int tag); // SetCommand
    void outputCommandClicked(int tag); // SetCommand2
    void trendClicked(); // "График..."
    void journalArchiveClicked(); // "Архив..."

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // The components by their designer names (also their object names), from Tmf.ui.
    std::unique_ptr<Ui::Tmf> ui;
    QList<QLabel *> m_valueLabels; // Label14..Label31, Label59, Label61 (slots 0..19)
    QList<QLabel *> m_lamps; // Image1..Image28 (lamp n at index n - 1)
    QList<QTimeEdit *> m_timeMarks; // dtp01..dtp05
    QList<QPushButton *> m_switches; // bu01..bu07

    std::array<QPushButton *, 6> outputButtons() const;

    // What the form cannot say, tab by tab: the fonts and the widths that
    // follow the font, the grids' headers and models, the fields' filters.
    void setUpDevicesTab();
    void setUpLiveValuesTab();
    void setUpConfigurationTab();
    void setUpJournalTab();
    void setUpServiceTab();
    void connectHandlers();

    std::function<QPixmap(int index, qreal devicePixelRatio)> m_lampPictures;
    std::function<bool()> m_closeCheck;
    miv::HandlerNames m_handlers;
    QStandardItemModel *m_journalTexts = nullptr;
    QList<int> m_configSections; // header h, widened where the font needs it
    QList<int> m_configColumns; // grid sg, each its section less 2
    QList<int> m_journalSections; // header h0, the date widened where the font needs it
    QList<int> m_journalColumns; // grid sg1
    miv::GridStretch *m_configStretch = nullptr; // the names take a wider window's room
    miv::GridStretch *m_journalStretch = nullptr; // "Событие" and "Информация" take it
};

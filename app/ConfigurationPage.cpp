#include "app/ConfigurationPage.h"

#include "access/PasswordAccess.h"
#include "app/ConfigurationView.h"
#include "app/WindowActions.h"
#include "app/SettingsDiffDialog.h"
#include "app/TimerTabBinding.h"
#include "config/ConfigEditing.h"
#include "config/ConfigReader.h"
#include "config/ConfigWriter.h"
#include "config/OfflineSettings.h"
#include "config/SettingsCarryOver.h"
#include "config/SettingsCompare.h"
#include "config/SettingsFile.h"
#include "config/TimerWriter.h"
#include "core/Operator.h"
#include "link/RelaySession.h"
#include "core/Texts.h"
#include "report/SettingsSheet.h"
#include "report/SettingsSheetExport.h"

#include <QAction>

namespace miv {

ConfigurationPage::ConfigurationPage(ConfigurationView &view, RelaySession &session, Operator &op,
                                     WindowActions &actions,
                                     const DataModuleEnvironment &environment,
                                     std::function<void(const QString &path)> openFile,
                                     QObject *parent)
    : QObject(parent),
      m_view(view),
      m_session(session),
      m_op(op),
      m_actions(actions),
      m_environment(environment),
      m_openFile(std::move(openFile)),
      // The password row runs the data module's handler of the change.
      m_editor(std::make_unique<ConfigEditor>(session, op,
                                              [this] { Q_EMIT passwordChangeAsked(); })),
      m_timerTab(new TimerTabBinding(session.timer, view.timeMarks(), view.timerSwitches(), this))
{ }

ConfigurationPage::~ConfigurationPage() = default;

void ConfigurationPage::read()
{
    readConfiguration(m_session, m_op);
    m_timerTab->show();
    followGridState();
}

bool ConfigurationPage::write()
{
    const ConfigWriteResult result = writeConfiguration(m_session, m_op);
    m_timerTab->show();
    return result.needsTabRefresh();
}

bool ConfigurationPage::writeTimer()
{
    const TimerWriteResult result = writeTimerSchedule(m_session, m_op);
    m_timerTab->show();
    return needsActionRefresh(result);
}

void ConfigurationPage::save()
{
    OfflineSettings::saveExecute(m_session, m_op);
    followGridState();
}

void ConfigurationPage::load()
{
    OfflineSettings::loadExecute(m_session, m_op, m_environment.frontIniPath());
    m_timerTab->show();
    followGridState();
}

void ConfigurationPage::makeSheet()
{
    const JournalReport::Outcome outcome = SettingsSheetExport::makeSheet(m_session, m_op);
    if (outcome.open)
        m_openFile(outcome.path);
}

void ConfigurationPage::offerHeldFile()
{
    SettingsCarryOver::offerHeldFile(m_session, m_op);
    m_timerTab->show();
    followGridState();
}

void ConfigurationPage::compareWithFile()
{
    const QString path = SettingsFile::askFileToOpen(m_op);
    if (path.isEmpty())
        return;
    const SettingsComparison comparison = miv::compareWithFile(m_session, path);
    switch (comparison.outcome) {
    case SettingsComparison::Outcome::NothingRead:
        m_op.message(Operator::Icon::Information,
                     QStringLiteral("Сначала получите конфигурацию из устройства."));
        return;
    case SettingsComparison::Outcome::Unreadable:
        m_op.message(Operator::Icon::Error, comparison.error);
        return;
    case SettingsComparison::Outcome::Compared:
        break;
    }
    if (comparison.equal()) {
        m_op.message(Operator::Icon::Information,
                     QStringLiteral("Настройки в устройстве и в файле совпадают."));
        return;
    }
    if (m_environment.showDifferences)
        m_environment.showDifferences(path, comparison.differences);
    else
        SettingsDiffDialog::show(path, comparison.differences, m_view.dialogParent());
}

void ConfigurationPage::changePassword()
{
    PasswordAccess::change(m_session, m_op);
}

void ConfigurationPage::selectRow(int row)
{
    m_editor->selectRow(row);
}

bool ConfigurationPage::activateSelectedRow()
{
    const bool actionsFollow = needsTabRefresh(m_editor->activateSelectedRow());
    followGridState();
    return actionsFollow;
}

void ConfigurationPage::clickTimerSwitch(int button)
{
    m_timerTab->click(button);
}

void ConfigurationPage::followGridState()
{
    m_actions.compareWithFile()->setEnabled(comparisonPossible(m_session));
    m_actions.settingsSheet()->setEnabled(SettingsSheet::available(m_session));
    const QString heldFile = OfflineSettings::stateText(m_session);
    m_view.showTitle(heldFile.isEmpty()
                             ? Texts::applicationTitle
                             : Texts::applicationTitle + QStringLiteral(" — ") + heldFile);
}

} // namespace miv

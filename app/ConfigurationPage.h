#pragma once

#include <functional>
#include <memory>
#include <QObject>

#include "app/DataModuleEnvironment.h"

namespace miv {

class ConfigEditor;
class ConfigurationView;
class Operator;
struct RelaySession;
class TimerTabBinding;
class WindowActions;

// The pages "Конфигурация" and "Управление по таймеру": the grid's read
// and write, its row cursor and double click (the password, the value
// editor), the timer tab's controls, the settings file and the comparison
// with one, and the password change.
class ConfigurationPage : public QObject
{
    Q_OBJECT
public:
    ConfigurationPage(ConfigurationView &view, RelaySession &session, Operator &op,
                      WindowActions &actions, const DataModuleEnvironment &environment,
                      std::function<void(const QString &path)> openFile, QObject *parent = nullptr);
    ~ConfigurationPage() override;

    // "Получить": the relay's configuration into the grid and the timer tab.
    void read();
    // "Записать" on each page; true when the page's actions must follow
    // (editing locked again).
    bool write();
    bool writeTimer();
    // "Сохранить в файл...", "Загрузить из файла..." (with no relay selected,
    // a file opened for a relay type and edited with no relay at hand),
    // "Сравнить с файлом...", "Лист настроек...".
    void save();
    void load();
    void compareWithFile();
    void makeSheet();
    // After an identification: a file's values held with no relay are
    // offered to this relay, never written to it silently.
    void offerHeldFile();
    // "Изменение пароля", run by the data module's a_chpass.
    void changePassword();

    void selectRow(int row);
    // A double click on the selected row; true when the page's actions must follow.
    bool activateSelectedRow();
    void clickTimerSwitch(int button);

    // What follows what the grid holds: "Сравнить с файлом..." only once a
    // relay's configuration was read, "Лист настроек..." once it holds a
    // relay's configuration or a file, and the window's title naming a file
    // held with no relay.
    void followGridState();

Q_SIGNALS:
    // A double click on the row "Пароль": the password change is asked for.
    void passwordChangeAsked();

private:
    ConfigurationView &m_view;
    RelaySession &m_session;
    Operator &m_op;
    WindowActions &m_actions;
    const DataModuleEnvironment &m_environment;
    std::function<void(const QString &path)> m_openFile;
    std::unique_ptr<ConfigEditor> m_editor;
    TimerTabBinding *m_timerTab = nullptr;
};

} // namespace miv

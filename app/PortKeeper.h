#pragma once

#include "app/DataModuleEnvironment.h"

#include <memory>
#include <QObject>

class QWidget;

namespace miv {

class BusWorkGate;
class Operator;
struct RelaySession;
class WindowActions;

// The port `p` through the program's life: its settings from "front.ini"
// (or a port given for this run, never stored), opened at start with the
// setup dialog when it will not open, closed and opened by "Порт", set up by
// "Настройка порта", found by "Поиск устройства...", closed at the end; and
// the plug picture, which always shows how the port is.
class PortKeeper : public QObject
{
    Q_OBJECT
public:
    PortKeeper(const DataModuleEnvironment &environment, Operator &op, WindowActions &actions,
               QWidget &window, QObject *parent = nullptr);
    ~PortKeeper() override;

    PortLink &link() { return *m_link; }
    const PortLink &link() const { return *m_link; }

    // The settings of "front.ini" (the defaults, with the operator told,
    // when it cannot be read) or of the run's port put in force, and the port
    // opened; when that fails, the message, then the setup dialog, whose
    // settings are stored. The port may stay closed.
    void openAtStart(RelaySession &session);
    // a_port: an open port is closed; a closed one is opened, or its reason
    // goes to the status bar. True when it is open now.
    bool toggle();
    // N6: the setup dialog for the port and, with a relay selected, its
    // interface word. True when the relay's word was read or written: its
    // details have the word it holds now.
    bool setUp(RelaySession &session);
    // N7: the search for a relay's unknown line settings, with a box of its
    // own whose "Отмена" stops it; the settings found offered for the port.
    void searchLine(RelaySession &session, BusWorkGate &gate);
    // The end: the port closed. False when it would not close (told).
    bool closeAtEnd();

private:
    bool store(const PortSettings &settings, QString *error);
    PortSettings settingsOfFrontIni();
    PortSetupResult runSetupDialog(RelaySession &session, quint8 relayAddress);

    const DataModuleEnvironment &m_environment;
    Operator &m_op;
    WindowActions &m_actions;
    QWidget &m_window;
    std::unique_ptr<PortLink> m_link;
};

} // namespace miv

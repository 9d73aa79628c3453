#pragma once

#include "link/InterfaceWordChange.h"
#include "link/PortSettings.h"

#include <memory>
#include <optional>
#include <QDialog>

class QComboBox;
class QPushButton;

namespace Ui {
class TComSetupFrm;
}

namespace miv {

// The port setup dialog: the line, the gateway, six lists (and the scan's wait), each showing the
// port's current value on opening. The port list offers the serial ports present, then their stable
// names (/dev/serial/by-id links), and also takes a typed name or device
// path, since pseudo-terminals are not listed. "Line" chooses between that serial port and a
// "TCP-шлюз" (a serial-to-Ethernet gateway at HOST:PORT); the line settings
// stay editable for the gateway's serial side and the bus's timing. OK is
// refused while the gateway chosen is no HOST:PORT. With a relay selected the
// speed, data-bit, stop-bit and parity lists offer only the choices given
// (what the relay's interface word can be set to), with a line saying why.
class TComSetupFrm : public QDialog
{
    Q_OBJECT
public:
    explicit TComSetupFrm(const PortSettings &current,
                          const InterfaceWord::Choices &choices = InterfaceWord::choices({}),
                          QWidget *parent = nullptr);
    ~TComSetupFrm() override;

    // The settings as the lists show them, the rest as they were given.
    PortSettings chosenSettings() const;

    // Shows the dialog modally: the chosen settings on OK, none on Cancel.
    static std::optional<PortSettings>
    execFor(const PortSettings &current,
            const InterfaceWord::Choices &choices = InterfaceWord::choices({}),
            QWidget *parent = nullptr);

    // The texts of the line list.
    static QString serialLineText();
    static QString gatewayLineText();

private:
    void updateLineChoice();
    // The list's values, and the current one even when the list does not offer it.
    static void fill(QComboBox *list, const QStringList &values, const QString &current);

    PortSettings m_current;
    std::unique_ptr<Ui::TComSetupFrm> ui;
    QPushButton *m_ok = nullptr;
};

} // namespace miv

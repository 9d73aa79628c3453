#include "app/TComSetupFrm.h"
#include "ui_TComSetupFrm.h"

#include "link/PresentPorts.h"

#include <QPushButton>

namespace miv {

namespace {

// Each port by its name, then the stable names of those that have one (an
// adapter keeps its stable name when it is plugged in again).
QStringList presentPortNames()
{
    QStringList names;
    QStringList stableNames;
    for (const PresentPort &port : presentPorts()) {
        names.append(port.name);
        if (!port.stableName.isEmpty() && port.stableName != port.name)
            stableNames.append(port.stableName);
    }
    return names + stableNames;
}

} // namespace

TComSetupFrm::TComSetupFrm(const PortSettings &current, const InterfaceWord::Choices &choices,
                           QWidget *parent)
    : QDialog(parent), m_current(current), ui(std::make_unique<Ui::TComSetupFrm>())
{
    ui->setupUi(this);
    fill(ui->line, {serialLineText(), gatewayLineText()},
         current.transport == PortSettings::Transport::Tcp ? gatewayLineText() : serialLineText());
    ui->gateway->setText(current.gateway);
    fill(ui->port, presentPortNames(), current.portName);
    ui->port->setEditText(current.portName);
    fill(ui->baudRate, choices.baudRates, current.baudRate);
    fill(ui->dataBits, choices.dataBits, current.dataBits);
    fill(ui->stopBits, choices.stopBits, current.stopBits);
    fill(ui->parity, choices.parities, current.parity);
    ui->relayNote->setText(choices.note);
    ui->relayNote->setVisible(!choices.note.isEmpty());
    fill(ui->flowControl, PortSettings::flowControlTexts(), current.flowControl);
    // The bus scan's wait for each address: shorter scans faster, longer
    // finds slow relays and adapters.
    ui->scanWait->setRange(PortSettings::minimumScanWaitMs, PortSettings::maximumScanWaitMs);
    ui->scanWait->setValue(current.scanWaitMs);
    // A noisy line: how often a failed exchange is asked again (0: never).
    ui->retries->setRange(0, PortSettings::maximumRetries);
    ui->retries->setValue(current.retries);

    // The buttons keep these captions in every language.
    m_ok = ui->buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ui->buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    m_ok->setDefault(true);
    connect(ui->line, &QComboBox::currentIndexChanged, this, &TComSetupFrm::updateLineChoice);
    connect(ui->gateway, &QLineEdit::textChanged, this, &TComSetupFrm::updateLineChoice);
    updateLineChoice();
}

TComSetupFrm::~TComSetupFrm() = default;

QString TComSetupFrm::serialLineText()
{
    return QStringLiteral("Serial port");
}

QString TComSetupFrm::gatewayLineText()
{
    return QStringLiteral("TCP-шлюз");
}

void TComSetupFrm::updateLineChoice()
{
    const bool gateway = ui->line->currentText() == gatewayLineText();
    ui->gateway->setEnabled(gateway);
    ui->port->setEnabled(!gateway);
    m_ok->setEnabled(!gateway || PortSettings::parseGateway(ui->gateway->text()).has_value());
}

void TComSetupFrm::fill(QComboBox *list, const QStringList &values, const QString &current)
{
    list->addItems(values);
    // A value the list does not offer (a port not present now) is still shown.
    if (list->findText(current) < 0)
        list->addItem(current);
    list->setCurrentText(current);
}

PortSettings TComSetupFrm::chosenSettings() const
{
    PortSettings settings = m_current;
    const QString portName = ui->port->currentText().trimmed();
    if (!portName.isEmpty())
        settings.portName = portName;
    settings.baudRate = ui->baudRate->currentText();
    settings.dataBits = ui->dataBits->currentText();
    settings.stopBits = ui->stopBits->currentText();
    settings.parity = ui->parity->currentText();
    settings.flowControl = ui->flowControl->currentText();
    settings.scanWaitMs = ui->scanWait->value();
    settings.retries = ui->retries->value();
    settings.transport = ui->line->currentText() == gatewayLineText()
            ? PortSettings::Transport::Tcp
            : PortSettings::Transport::Serial;
    const QString gateway = ui->gateway->text().trimmed();
    if (PortSettings::parseGateway(gateway))
        settings.gateway = gateway;
    return settings;
}

std::optional<PortSettings> TComSetupFrm::execFor(const PortSettings &current,
                                                  const InterfaceWord::Choices &choices,
                                                  QWidget *parent)
{
    TComSetupFrm dialog(current, choices, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.chosenSettings();
}

} // namespace miv

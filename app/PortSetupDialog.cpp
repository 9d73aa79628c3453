#include "app/PortSetupDialog.h"

#include "link/PresentPorts.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

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

TComSetupFrm::TComSetupFrm(const PortSettings &current, QWidget *parent)
    : QDialog(parent), m_current(current)
{
    setWindowTitle(QStringLiteral("Setup"));

    auto *group = new QGroupBox(QStringLiteral(" Settings "), this);
    m_form = new QFormLayout(group);

    m_line = addList(QStringLiteral("Line"), {serialLineText(), gatewayLineText()},
                     current.transport == PortSettings::Transport::Tcp ? gatewayLineText()
                                                                       : serialLineText());
    m_line->setObjectName(QStringLiteral("line"));
    m_gateway = new QLineEdit(current.gateway, this);
    m_gateway->setObjectName(QStringLiteral("gateway"));
    m_gateway->setPlaceholderText(QStringLiteral("192.168.0.7:4001"));
    m_form->addRow(QStringLiteral("Gateway"), m_gateway);

    m_port = addList(QStringLiteral("Port"), presentPortNames(), current.portName);
    m_port->setEditable(true);
    m_port->setInsertPolicy(QComboBox::NoInsert);
    m_port->setEditText(current.portName);
    m_port->setMinimumContentsLength(16);
    m_baudRate =
            addList(QStringLiteral("Baud rate"), PortSettings::baudRateTexts(), current.baudRate);
    m_dataBits =
            addList(QStringLiteral("Data bits"), PortSettings::dataBitsTexts(), current.dataBits);
    m_stopBits =
            addList(QStringLiteral("Stop bits"), PortSettings::stopBitsTexts(), current.stopBits);
    m_parity = addList(QStringLiteral("Parity"), PortSettings::parityTexts(), current.parity);
    m_flowControl = addList(QStringLiteral("Flow control"), PortSettings::flowControlTexts(),
                            current.flowControl);
    // The bus scan's wait for each address: shorter scans faster, longer
    // finds slow relays and adapters.
    m_scanWait = new QSpinBox(this);
    m_scanWait->setRange(PortSettings::minimumScanWaitMs, PortSettings::maximumScanWaitMs);
    m_scanWait->setSingleStep(10);
    m_scanWait->setValue(current.scanWaitMs);
    m_form->addRow(QStringLiteral("Scan wait, ms"), m_scanWait);
    // A noisy line: how often a failed exchange is asked again (0: never).
    m_retries = new QSpinBox(this);
    m_retries->setRange(0, PortSettings::maximumRetries);
    m_retries->setValue(current.retries);
    m_form->addRow(QStringLiteral("Retries"), m_retries);

    auto *buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    m_ok->setDefault(true);
    connect(m_line, &QComboBox::currentIndexChanged, this, &TComSetupFrm::updateLineChoice);
    connect(m_gateway, &QLineEdit::textChanged, this, &TComSetupFrm::updateLineChoice);
    updateLineChoice();
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

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
    const bool gateway = m_line->currentText() == gatewayLineText();
    m_gateway->setEnabled(gateway);
    m_port->setEnabled(!gateway);
    m_ok->setEnabled(!gateway || PortSettings::parseGateway(m_gateway->text()).has_value());
}

QComboBox *TComSetupFrm::addList(const QString &label, const QStringList &values,
                                 const QString &current)
{
    auto *list = new QComboBox(this);
    list->addItems(values);
    // A value the list does not offer (a port not present now) is still shown.
    if (list->findText(current) < 0)
        list->addItem(current);
    list->setCurrentText(current);
    m_form->addRow(label, list);
    return list;
}

PortSettings TComSetupFrm::chosenSettings() const
{
    PortSettings settings = m_current;
    const QString portName = m_port->currentText().trimmed();
    if (!portName.isEmpty())
        settings.portName = portName;
    settings.baudRate = m_baudRate->currentText();
    settings.dataBits = m_dataBits->currentText();
    settings.stopBits = m_stopBits->currentText();
    settings.parity = m_parity->currentText();
    settings.flowControl = m_flowControl->currentText();
    settings.scanWaitMs = m_scanWait->value();
    settings.retries = m_retries->value();
    settings.transport = m_line->currentText() == gatewayLineText()
            ? PortSettings::Transport::Tcp
            : PortSettings::Transport::Serial;
    const QString gateway = m_gateway->text().trimmed();
    if (PortSettings::parseGateway(gateway))
        settings.gateway = gateway;
    return settings;
}

std::optional<PortSettings> TComSetupFrm::execFor(const PortSettings &current, QWidget *parent)
{
    TComSetupFrm dialog(current, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.chosenSettings();
}

} // namespace miv

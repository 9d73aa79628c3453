#include "app/LiveValuesPage.h"

#include "app/ActionEnabling.h"
#include "app/BusWorkGate.h"
#include "app/LiveValuesView.h"
#include "core/Operator.h"
#include "link/RelaySession.h"
#include "device/CommandDispatch.h"
#include "device/LiveDisplay.h"
#include "device/OutputControl.h"
#include "device/RelayCommands.h"
#include "device/ServiceFields.h"

namespace miv {

namespace {

constexpr int blinkIntervalMs = 500;

} // namespace

LiveValuesPage::LiveValuesPage(LiveValuesView &view, RelaySession &session, Operator &op,
                               BusWorkGate &gate, QObject *parent)
    : QObject(parent), m_view(view), m_session(session), m_op(op), m_gate(gate)
{
    m_blinkTimer.setObjectName(QStringLiteral("lt"));
    m_blinkTimer.setInterval(blinkIntervalMs);
}

LiveReadResult LiveValuesPage::readLiveValues(const std::function<void()> &beforeMessage)
{
    LiveReadResult result;
    {
        const BusWorkGate::Exchange exchange(m_gate);
        result = miv::readLiveValues(m_session, m_op, beforeMessage);
    }
    if (result.done())
        show();
    return result;
}

void LiveValuesPage::readServiceValues()
{
    std::optional<ServiceValues> values;
    {
        const BusWorkGate::Exchange exchange(m_gate);
        values = miv::readServiceValues(m_session, m_op);
    }
    if (values)
        m_view.showServiceValues(values->hours, values->minutes, values->serialNumber);
}

void LiveValuesPage::show()
{
    const LiveDisplay display = showValues(m_session.live, m_session.flags,
                                           m_session.device.typeCode, m_session.decimalSeparator);
    for (int slot = 0; slot < LiveDisplay::labelCount; ++slot)
        m_view.setValueText(slot, display.labels[std::size_t(slot)]);
    m_view.setStartLimitColumnShown(display.startLimitColumn);
    m_view.setCommandButtons(display.workEnabled, display.stopEnabled);
    for (int tag = 1; tag <= 6; ++tag)
        offerOutputButton(tag, display.outputButtonsEnabled[std::size_t(tag - 1)]);
    for (int lamp = 1; lamp <= LiveDisplay::lampCount; ++lamp)
        if (const std::optional<int> value = display.lamps[std::size_t(lamp - 1)])
            m_view.led(*value, lamp);
    if (display.blink == LiveDisplay::Blink::Stop)
        m_blinkTimer.stop();
    else if (!m_blinkTimer.isActive())
        m_blinkTimer.start();
    Q_EMIT shown();
}

void LiveValuesPage::blink()
{
    m_view.led(blinkStep(m_blinkTag), 7);
}

bool LiveValuesPage::runCommand(int tag)
{
    if (tag < int(RelayCommand::Start) || tag > int(RelayCommand::SetSerialNumber))
        return false;
    const auto command = static_cast<RelayCommand>(tag);
    CommandArguments arguments;
    arguments.clock = m_view.pickedDateTime();
    if (command == RelayCommand::SetMotorResource || command == RelayCommand::SetSerialNumber) {
        const QStringList texts = m_view.serviceFieldTexts();
        QString error;
        const std::optional<ServiceFieldValues> fields =
                parseServiceFields(texts[0], texts[1], texts[2], &error);
        if (!fields) {
            m_op.message(Operator::Icon::Error, error); // nothing is written
            return false;
        }
        arguments.hours = fields->hours;
        arguments.minutes = fields->minutes;
        arguments.serialNumber = fields->serialNumber;
    }
    std::optional<BusOutcome> outcome;
    {
        const BusWorkGate::Exchange exchange(m_gate);
        outcome = sendRelayCommand(m_session, m_op, command, arguments);
    }
    if (!outcome)
        return false; // "Квитирование" declined: nothing sent, nothing read
    // "Работа" and "Стоп" follow at once, until the next read shows register 40.
    if (outcome == BusOutcome::Done && command == RelayCommand::Start)
        m_view.setCommandButtons(false, true);
    if (outcome == BusOutcome::Done && command == RelayCommand::Stop)
        m_view.setCommandButtons(true, false);
    return readAfterCommand(command, *outcome) != ReadAfterCommand::Nothing;
}

void LiveValuesPage::runOutputCommand(int tag)
{
    if (tag < 1 || tag > 6)
        return;
    const int row = (tag - 1) / 2;
    const bool on = tag % 2 == 1;
    const auto output = static_cast<RelayOutput>(row);
    // The row's buttons follow the command at once, before the relay answers.
    const bool onWasEnabled = outputButtonOffered(2 * row + 1);
    const bool offWasEnabled = outputButtonOffered(2 * row + 2);
    offerOutputButton(2 * row + 1, !on);
    offerOutputButton(2 * row + 2, on);
    bool redrawn = false;
    HandSwitchResult result;
    {
        const BusWorkGate::Exchange exchange(m_gate);
        result = switchOutputByHand(m_session, m_op, output, on, [&] {
            show();
            redrawn = true;
        });
    }
    if (result.outcome == BusOutcome::Done) {
        // The check's refresh showed the buttons as they were before the switch.
        offerOutputButton(2 * row + 1, !on);
        offerOutputButton(2 * row + 2, on);
    } else if (!redrawn) {
        // Told already; the buttons go back to what they offered.
        offerOutputButton(2 * row + 1, onWasEnabled);
        offerOutputButton(2 * row + 2, offWasEnabled);
    }
    if (result.check == OutputControlCheck::CurrentsFlowing)
        m_view.setCurrentPage(ActionEnabling::LiveValuesTab);
    else if (result.check == OutputControlCheck::NoLink)
        m_view.setCurrentPage(ActionEnabling::DevicesTab);
}

bool LiveValuesPage::enterRelayControl()
{
    RelayControlEntry entry;
    {
        const BusWorkGate::Exchange exchange(m_gate);
        entry = miv::enterRelayControl(m_session, m_op, [this] { show(); });
    }
    setOutputControl(outputControlOffered(m_session));
    switch (entry) {
    case RelayControlEntry::Stay:
        return true;
    case RelayControlEntry::BackToLiveValues:
        m_view.setCurrentPage(ActionEnabling::LiveValuesTab);
        return false;
    case RelayControlEntry::BackToDevices:
        m_view.setCurrentPage(ActionEnabling::DevicesTab);
        return false;
    }
    return false;
}

void LiveValuesPage::leaveRelayControl()
{
    miv::leaveRelayControl(m_session);
    setOutputControl(false);
}

void LiveValuesPage::offerOutputButton(int tag, bool offered)
{
    if (tag < 1 || tag > int(m_outputsOffered.size()))
        return;
    m_outputsOffered[std::size_t(tag - 1)] = offered;
    m_view.setOutputButtonEnabled(tag, offered && m_outputControl);
}

void LiveValuesPage::setOutputControl(bool enabled)
{
    m_outputControl = enabled;
    for (int tag = 1; tag <= int(m_outputsOffered.size()); ++tag)
        offerOutputButton(tag, outputButtonOffered(tag));
}

} // namespace miv

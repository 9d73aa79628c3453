#include "device/CommandDispatch.h"

#include "device/RelayCommands.h"

namespace miv {

std::optional<BusOutcome> sendRelayCommand(RelaySession &session, Operator &op,
                                           RelayCommand command, const CommandArguments &arguments)
{
    switch (command) {
    case RelayCommand::Start:
        return switchOutput(session, op, RelayOutput::Work, true);
    case RelayCommand::Acknowledge:
        return acknowledgeAlarm(session, op);
    case RelayCommand::SyncClock:
        return setRelayClock(session, op, QDateTime::currentDateTime());
    case RelayCommand::Stop:
        return switchOutput(session, op, RelayOutput::Work, false);
    case RelayCommand::SetClock:
        return setRelayClock(session, op, arguments.clock);
    case RelayCommand::SetMotorResource:
        return setMotorResource(session, op, arguments.hours, arguments.minutes);
    case RelayCommand::SetSerialNumber:
        return setSerialNumber(session, op, arguments.serialNumber);
    }
    return std::nullopt;
}

ReadAfterCommand readAfterCommand(RelayCommand command, BusOutcome outcome)
{
    if (outcome == BusOutcome::NoAnswer || outcome == BusOutcome::PortFailed)
        return ReadAfterCommand::Nothing;
    const bool servicePage =
            command == RelayCommand::SetMotorResource || command == RelayCommand::SetSerialNumber;
    return servicePage ? ReadAfterCommand::ServiceValues : ReadAfterCommand::LiveValues;
}

} // namespace miv

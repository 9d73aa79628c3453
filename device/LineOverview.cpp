#include "device/LineOverview.h"

#include "core/Texts.h"
#include "device/Identification.h"
#include "device/LinkFailure.h"
#include "device/LiveDisplay.h"
#include "device/RelayClock.h"
#include "link/RelayBus.h"
#include "link/RelaySession.h"

namespace miv {

namespace {

namespace R = RelayRegister;

// How old a relay's clock offset may grow before the overview reads it again.
constexpr qint64 clockReadEveryMs = 60 * 1000;

RowColour colourOfState(int relayState)
{
    switch (relayState) {
    case 1:
        return RowColour::Green; // lamp "Работа"
    case 2:
        return RowColour::Red; // lamp "Авария"
    case 3:
        return RowColour::Yellow; // lamp "Перегрузка"
    default:
        return RowColour::None;
    }
}

// The bus's repetitions for one step: none for a relay that was silent last
// round (it is asked again next round anyway), the operator's otherwise.
class StepRetries
{
public:
    StepRetries(RelayBus &bus, bool silentBefore) : m_bus(bus), m_saved(bus.timing().retries)
    {
        if (silentBefore)
            m_bus.setRetries(0);
    }
    ~StepRetries() { m_bus.setRetries(m_saved); }
    StepRetries(const StepRetries &) = delete;
    StepRetries &operator=(const StepRetries &) = delete;

private:
    RelayBus &m_bus;
    int m_saved;
};

} // namespace

OverviewRow withReading(OverviewRow row, const OverviewBlock &block, quint16 typeCode,
                        QChar decimalSeparator, const QDateTime &readAt)
{
    auto reg = [&block](quint16 r) { return block[std::size_t(r - R::overviewBlock)]; };
    const int relayState = relayStateOf(reg(R::outputRelays));
    row.answered = true;
    row.state = relayStateText(relayState);
    row.colour = colourOfState(relayState);
    for (int phase = 0; phase < 3; ++phase)
        row.currents[std::size_t(phase)] =
                phaseCurrentLabel(reg(quint16(R::phaseCurrent + phase)), decimalSeparator);
    row.temperature = temperatureText(reg(R::motorTemperature));
    row.alarms = litAlarmCaptions({reg(R::protectionFlags), reg(R::outputRelays), reg(R::inputs)},
                                  typeCode);
    row.readAt = readAt;
    return row;
}

OverviewRow withoutLink(OverviewRow row)
{
    row.answered = false;
    row.state = QStringLiteral("Нет связи");
    row.colour = RowColour::Grey;
    return row;
}

LineOverview::LineOverview(RelaySession &session, LineOverviewModel &model)
    : m_session(session), m_model(model)
{ }

void LineOverview::setAddresses(const QList<quint8> &addresses)
{
    m_model.setAddresses(addresses);
    m_identities.assign(std::size_t(addresses.size()), std::nullopt);
    m_clockReadAt.assign(std::size_t(addresses.size()), QDateTime());
    m_next = 0;
}

void LineOverview::stop()
{
    m_next = 0;
}

int LineOverview::delayBeforeNextStepMs(int intervalMs) const
{
    if (roundUnderWay() || !m_lastRoundMs)
        return 0;
    return int(std::max<qint64>(0, intervalMs - m_roundClock.elapsed()));
}

LineOverview::StepResult LineOverview::step()
{
    const int rows = int(m_model.rows().size());
    if (rows == 0)
        return {};
    if (m_next == 0)
        m_roundClock.start();
    const int rowIndex = m_next;
    StepResult result{StepOutcome::Read, rowIndex, {}};
    if (const BusReply asked = ask(rowIndex); !asked.answered()) {
        m_model.setRow(rowIndex, withoutLink(m_model.row(rowIndex)));
        m_identities[std::size_t(rowIndex)].reset();
        m_clockReadAt[std::size_t(rowIndex)] = QDateTime();
        if (asked.portFailed()) {
            if (const LinkFailure failure = handleLinkFailure(m_session, asked); failure.portLost) {
                stop();
                return {StepOutcome::PortLost, rowIndex, failure.text};
            }
        }
    }
    if (++m_next == rows) {
        m_next = 0;
        m_lastRoundMs = m_roundClock.elapsed();
        result.outcome = StepOutcome::RoundDone;
    }
    return result;
}

BusReply LineOverview::ask(int rowIndex)
{
    const bool silentBefore =
            !m_model.row(rowIndex).state.isEmpty() && !m_model.row(rowIndex).answered;
    const StepRetries retries(m_session.bus, silentBefore);
    if (!m_identities[std::size_t(rowIndex)])
        if (const BusReply identity = readIdentity(rowIndex); !identity.answered())
            return identity;
    const OverviewRow row = m_model.row(rowIndex);
    const BusReply answer =
            m_session.bus.askRegisters(row.address, R::overviewBlock, R::overviewBlockCount);
    if (!answer.answered())
        return answer;
    if (answer.reply.size() != 3 + 2 * R::overviewBlockCount)
        return BusReply::failure(BusReply::Kind::NoAnswer, Texts::linkError);
    OverviewBlock block{};
    for (int k = 0; k < R::overviewBlockCount; ++k)
        block[std::size_t(k)] = replyWord(answer.reply, k);
    m_model.setRow(rowIndex,
                   withReading(row, block, m_identities[std::size_t(rowIndex)]->typeCode,
                               m_session.decimalSeparator, clock()));
    return readClockWhenDue(rowIndex);
}

BusReply LineOverview::readClockWhenDue(int rowIndex)
{
    QDateTime &readAt = m_clockReadAt[std::size_t(rowIndex)];
    const QDateTime now = clock();
    if (readAt.isValid() && readAt <= now && readAt.msecsTo(now) < clockReadEveryMs)
        return BusReply::answer({});
    // A relay that answered its block and not its clock keeps its row; the
    // offset is asked again next round. Only a failed port ends the step.
    OverviewRow row = m_model.row(rowIndex);
    const ClockRead read = readRelayClock(m_session, row.address, clock);
    if (!read.reading)
        return read.reply.portFailed() ? read.reply : BusReply::answer({});
    readAt = now;
    row.clockOffsetMs = read.reading->offsetMs;
    m_model.setRow(rowIndex, row);
    return BusReply::answer({});
}

BusReply LineOverview::readIdentity(int rowIndex)
{
    OverviewRow row = m_model.row(rowIndex);
    const BusReply reply = m_session.bus.askRegisters(row.address, R::name, R::identityCount);
    const std::optional<CurrentDevice> identity = decodeIdentity(reply.reply, CurrentDevice{});
    if (!identity)
        return reply.answered() ? BusReply::failure(BusReply::Kind::NoAnswer, Texts::linkError)
                                : reply;
    m_identities[std::size_t(rowIndex)] = identity;
    row.typeName = identity->deviceName.trimmed();
    row.factoryNumber = identity->factoryNumber;
    m_model.setRow(rowIndex, row);
    return reply;
}

} // namespace miv

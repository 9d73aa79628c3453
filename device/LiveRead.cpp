#include "device/LiveRead.h"

#include "core/Operator.h"
#include "core/RegisterMap.h"
#include "core/Texts.h"
#include "device/LinkFailure.h"
#include "device/LiveDisplay.h"
#include "link/RelayBus.h"
#include "link/RelaySession.h"

#include <algorithm>
#include <cmath>
#include <QDateTime>

namespace miv {

namespace {

class LiveReading
{
public:
    LiveReading(RelaySession &session, Operator &op, const std::function<void()> &beforeMessage)
        : m_session(session), m_op(op), m_beforeMessage(beforeMessage)
    { }

    LiveReadResult run()
    {
        ReplyString reply;
        if (!read(RelayRegister::liveBlockA, RelayRegister::liveBlockACount, reply))
            return m_result;
        LiveValues &live = m_session.live;
        for (int k = 0; k < LiveValues::blockACount; ++k)
            live.blockA[std::size_t(k)] = replyWord(reply, k);
        live.relayState = relayStateOf(live.value(RelayRegister::outputRelays));
        if (!read(RelayRegister::liveBlockB, RelayRegister::liveBlockBCount, reply))
            return m_result;
        for (int k = 0; k < LiveValues::blockBCount; ++k)
            live.blockB[std::size_t(k)] = replyWord(reply, k);
        m_session.trend.add(QDateTime::currentDateTime(), m_session.selectedRelay(), live);
        return m_result;
    }

private:
    // True with a whole reply of `count` registers. Otherwise a refusal or
    // silence is told; a port that failed is looked after and left to the
    // caller to tell.
    bool read(quint16 first, quint16 count, ReplyString &reply)
    {
        const BusReply answer =
                m_session.bus.askRegisters(m_session.device.networkAddress, first, count);
        if (answer.answered() && answer.reply.size() == 3 + 2 * count) {
            reply = answer.reply;
            return true;
        }
        if (m_beforeMessage)
            m_beforeMessage();
        const LinkFailure failure = handleLinkFailure(m_session, answer, RefusalTold::WithCode);
        if (answer.portFailed()) {
            m_result = {BusOutcome::PortFailed, failure.text, failure.reason};
            return false;
        }
        m_result.outcome = answer.refused() ? BusOutcome::Refused : BusOutcome::NoAnswer;
        m_op.message(Operator::Icon::Error, failure.text);
        return false;
    }

    RelaySession &m_session;
    Operator &m_op;
    const std::function<void()> &m_beforeMessage;
    LiveReadResult m_result;
};

} // namespace

LiveReadResult readLiveValues(RelaySession &session, Operator &op,
                              const std::function<void()> &beforeMessage)
{
    return LiveReading(session, op, beforeMessage).run();
}

std::optional<int> autoRefreshIntervalMs(const QString &answer, QChar decimalSeparator)
{
    QString text = answer.trimmed();
    if (decimalSeparator != u'.' && text.contains(u'.'))
        return std::nullopt;
    text.replace(decimalSeparator, u'.');
    bool ok = false;
    const double seconds = text.toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds <= 0)
        return std::nullopt;
    if (seconds >= 60)
        return 60000;
    // nearbyint rounds a half to the even neighbour in the default rounding mode.
    return std::max(1, int(std::nearbyint(seconds * 1000)));
}

} // namespace miv

#include "device/Identification.h"

#include "core/Operator.h"
#include "core/RegisterMap.h"
#include "core/Texts.h"
#include "core/Windows1251.h"
#include "device/Discovery.h"
#include "device/InterfaceText.h"
#include "device/LinkFailure.h"
#include "device/SoftwareVersion.h"
#include "link/RelayBus.h"
#include "link/RelaySession.h"

namespace miv {

namespace {

using Outcome = IdentificationResult::Outcome;
namespace R = RelayRegister;

// Registers as characters: high byte, then low byte, in Windows-1251.
QString registerText(const ReplyString &reply, int first, int count)
{
    QByteArray bytes;
    for (int k = first; k < first + count; ++k) {
        const quint16 word = replyWord(reply, k);
        bytes.append(char(word >> 8));
        bytes.append(char(word & 0xFF));
    }
    return Windows1251::decode(bytes);
}

QStringList memoLines(const CurrentDevice &device)
{
    QStringList lines{
            QStringLiteral("Устройство: ") + device.deviceName,
            QStringLiteral("Заводской №%1, Версия ПО %2")
                    .arg(device.factoryNumber)
                    .arg(softwareVersionText(device.softwareVersion)),
            QStringLiteral("Сетевой адрес устройства %1").arg(device.configuredAddress & 0xFF),
            QStringLiteral("Параметры интерфейса:"),
    };
    return lines + interfaceWordLines(device.interfaceWord);
}

class Identifying
{
public:
    Identifying(RelaySession &session, Operator &op) : m_session(session), m_op(op) { }

    IdentificationResult run(int selectedLine)
    {
        CurrentDevice &device = m_session.device;
        device.networkAddress = 0;
        if (selectedLine < 0 || selectedLine + 1 > 255)
            return {Outcome::NoSelection, {}, false};
        device.networkAddress = quint8(selectedLine + 1);
        if (!answers(device.networkAddress))
            return failed(m_portLost ? Outcome::NotConnected : Outcome::Silent);
        const BusReply identity =
                m_session.bus.askRegisters(device.networkAddress, R::name, R::identityCount);
        if (identity.portFailed())
            return portFailed(identity);
        if (!takeIdentity(identity.reply))
            return notConnected();
        const BusReply access = m_session.bus.askRegisters(device.networkAddress, R::accessBlock,
                                                           R::accessBlockCount);
        if (access.portFailed())
            return portFailed(access);
        takeInterface(access.reply);
        m_session.live.loadLampState = 1;
        m_session.live.relayState = 0;
        m_session.live.previousRelayState = 0;
        m_session.flags.editingLocked = true;
        const std::optional<RelayIdentity> previous = m_session.valuesOwner;
        if (m_session.adoptSelectedRelay())
            m_op.message(Operator::Icon::Warning,
                         Texts::changesDropped.arg(previous->address).arg(previous->factoryNumber));
        return {Outcome::Identified, memoLines(device), device.hasTimer()};
    }

private:
    // A port failure resets the port and counts as an answer: the reads that
    // follow tell whether a relay is there. A port that will not open again
    // is lost, and the operator is told so.
    bool answers(quint8 address)
    {
        const BusReply reply = m_session.bus.askStatus(address);
        if (!reply.portFailed())
            return !reply.linkFailed(); // a refusal is an answer too
        const LinkFailure failure = handleLinkFailure(m_session, reply);
        if (failure.portLost)
            m_op.message(Operator::Icon::Error, failure.text);
        m_portLost = failure.portLost;
        return !m_portLost;
    }

    // A port that failed while the relay was read: lost, it is told; opened
    // again, the relay counts as not connected.
    IdentificationResult portFailed(const BusReply &reply)
    {
        if (const LinkFailure failure = handleLinkFailure(m_session, reply); failure.portLost) {
            m_op.message(Operator::Icon::Error, failure.text);
            return failed(Outcome::NotConnected);
        }
        return notConnected();
    }

    bool takeIdentity(const ReplyString &reply)
    {
        const auto identity = decodeIdentity(reply, m_session.device);
        if (!identity)
            return false;
        m_session.device = *identity;
        return true;
    }

    // Registers 64-67. A reply without data leaves address 0, interface word 0
    // and four zero characters as the password, as the relay "said".
    void takeInterface(const ReplyString &reply)
    {
        CurrentDevice &device = m_session.device;
        device.configuredAddress = replyWord(reply, R::configuredAddress - R::accessBlock);
        device.interfaceWord = replyWord(reply, R::interfaceWord - R::accessBlock);
        device.password = registerText(reply, R::password - R::accessBlock, R::passwordCount);
    }

    IdentificationResult notConnected()
    {
        m_op.message(Operator::Icon::Error, Texts::deviceNotConnected);
        return failed(Outcome::NotConnected);
    }

    // A relay that was not identified is not selected: nothing is read from
    // or written to its address, and nothing of the relay identified before
    // stays to be taken for its; changes not written to that one are told
    // as dropped. A silent address says so in the memo, as the scan's list does.
    IdentificationResult failed(Outcome outcome)
    {
        const quint8 asked = m_session.device.networkAddress;
        const std::optional<RelayIdentity> owner =
                m_session.valuesOwner ? m_session.valuesOwner : m_session.ownerBeforeScan;
        if (m_session.forgetRelay())
            m_op.message(Operator::Icon::Warning,
                         Texts::changesDropped.arg(owner->address).arg(owner->factoryNumber));
        const QStringList memo =
                outcome == Outcome::Silent ? QStringList{silentLine(asked)} : QStringList{};
        return {outcome, memo, false};
    }

    RelaySession &m_session;
    Operator &m_op;
    bool m_portLost = false;
};

} // namespace

std::optional<CurrentDevice> decodeIdentity(const ReplyString &reply, CurrentDevice device)
{
    // The identity block starts with the name.
    const QString name = registerText(reply, 0, R::nameCount);
    const QChar typeCharacter = name.size() > 5 ? name[5] : QChar();
    if (!typeCharacter.isDigit() || typeCharacter.unicode() > 127)
        return std::nullopt;
    device.deviceName = name;
    device.typeCode = quint16(typeCharacter.digitValue());
    device.softwareVersion = replyWord(reply, R::softwareVersion - R::name);
    device.factoryNumber = replyWord(reply, R::factoryNumber - R::name);
    return device;
}

IdentificationResult identifyRelay(RelaySession &session, Operator &op, int selectedLine)
{
    return Identifying(session, op).run(selectedLine);
}

QStringList identificationMemo(const CurrentDevice &device)
{
    return memoLines(device);
}

} // namespace miv

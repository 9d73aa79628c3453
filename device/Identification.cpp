#include "device/Identification.h"

#include "core/Operator.h"
#include "core/RegisterMap.h"
#include "core/Texts.h"
#include "core/Windows1251.h"
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
        try {
            if (!readIdentity())
                return notConnected();
            readInterface();
        } catch (const LinkError &error) {
            if (const LinkFailure failure = handleLinkFailure(m_session, error); failure.portLost) {
                m_op.message(Operator::Icon::Error, failure.text);
                return failed(Outcome::NotConnected);
            }
            return notConnected();
        }
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
        try {
            return m_session.bus.readStatus(address) != 255;
        } catch (const LinkError &error) {
            const LinkFailure failure = handleLinkFailure(m_session, error);
            if (failure.portLost)
                m_op.message(Operator::Icon::Error, failure.text);
            m_portLost = failure.portLost;
            return !m_portLost;
        }
    }

    bool readIdentity()
    {
        const ReplyString reply = m_session.bus.readRegisters(m_session.device.networkAddress,
                                                              R::name, R::identityCount);
        const auto identity = decodeIdentity(reply, m_session.device);
        if (!identity)
            return false;
        m_session.device = *identity;
        return true;
    }

    // Registers 64-67. A reply without data leaves address 0, interface word 0
    // and four zero characters as the password, as the relay "said".
    void readInterface()
    {
        CurrentDevice &device = m_session.device;
        const ReplyString reply = m_session.bus.readRegisters(device.networkAddress, R::accessBlock,
                                                              R::accessBlockCount);
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
    // or written to its address, and the values of the relay identified
    // before are never shown as its.
    IdentificationResult failed(Outcome outcome)
    {
        m_session.device.networkAddress = 0;
        return {outcome, {}, false};
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

} // namespace miv

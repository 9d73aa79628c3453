#include "ScriptedOperator.h"
#include "access/PasswordAccess.h"
#include "link/RelaySession.h"
#include "core/Texts.h"
#include "link/ModbusFrame.h"
#include "link/RelayBus.h"
#include "sim/LoopbackPort.h"

#include <gtest/gtest.h>

namespace modbus = miv::modbus;
using namespace miv::sim;

using namespace miv;

namespace {

class PasswordTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        line.addRelay(6, 6);
        port.open(QIODevice::ReadWrite);
        bus.setReplyTimeoutMs(40);
        bus.setRetries(0); // the frames of the change itself
        device.networkAddress = 6;
        device.password = QStringLiteral("ABCD");
    }
    QString relayPassword()
    {
        return PasswordAccess::passwordFromWords(line.relay(6)->registerValue(0x42),
                                                 line.relay(6)->registerValue(0x43));
    }
    // The single-register writes that reached the line.
    QList<QByteArray> writes()
    {
        QList<QByteArray> found;
        for (const QByteArray &request : line.requests())
            if (quint8(request[1]) == modbus::WriteSingleRegister)
                found.append(request);
        return found;
    }

    RelayLine line;
    LoopbackPort port{line};
    RelayBus bus{&port};
    ScriptedOperator op;
    RelaySession session{bus};
    CurrentDevice &device = session.device;
    SessionFlags flags;
};

TEST_F(PasswordTest, promptUnlocksOnlyWithTheExactPassword)
{
    const struct
    {
        std::optional<QString> typed;
        PasswordAccess::Unlock outcome;
        bool locked;
        int boxes;
    } cases[] = {
            {QStringLiteral("ABCD"), PasswordAccess::Unlock::Unlocked, false, 0},
            {QStringLiteral("ABCE"), PasswordAccess::Unlock::WrongPassword, true, 1},
            {QStringLiteral("abcd"), PasswordAccess::Unlock::WrongPassword, true, 1},
            {QStringLiteral("ABC"), PasswordAccess::Unlock::WrongPassword, true, 1},
            {std::nullopt, PasswordAccess::Unlock::Cancelled, true, 0},
    };
    for (const auto &c : cases) {
        flags.editingLocked = true;
        op.clearShown();
        op.answerPassword(c.typed);
        EXPECT_EQ(PasswordAccess::unlock(op, device, flags), c.outcome)
                << c.typed.value_or("cancel").toStdString();
        EXPECT_EQ(flags.editingLocked, c.locked);
        ASSERT_EQ(op.shown().size(), c.boxes);
        if (c.boxes) {
            EXPECT_EQ(op.shown()[0].text, Texts::passwordError);
            EXPECT_EQ(op.shown()[0].icon, Operator::Icon::Error);
        }
    }
    EXPECT_TRUE(writes().isEmpty());
}

TEST_F(PasswordTest, fiveLettersWriteTheFirstFour)
{
    op.answerPasswordChange(Operator::PasswordChange{"ABCD", "WXYZQ", "WXYZQ"});
    EXPECT_EQ(PasswordAccess::change(session, op), PasswordAccess::Change::Changed);
    ASSERT_EQ(writes().size(), 2);
    EXPECT_EQ(writes()[0], modbus::writeSingleRegister(6, 0x42, quint16('W' << 8 | 'X')));
    EXPECT_EQ(writes()[1], modbus::writeSingleRegister(6, 0x43, quint16('Y' << 8 | 'Z')));
    EXPECT_EQ(relayPassword(), QStringLiteral("WXYZ"));
    EXPECT_EQ(device.password, QStringLiteral("WXYZ")); // re-read
    ASSERT_EQ(op.shown().size(), 1);
    EXPECT_EQ(op.shown()[0].text, QStringLiteral("Пароль был успешно изменен!"));
    EXPECT_EQ(op.shown()[0].caption, QStringLiteral("Сообщение"));
    EXPECT_EQ(op.shown()[0].icon, Operator::Icon::Information);

    // The prompt now takes the new password without a new identification.
    op.answerPassword(QStringLiteral("WXYZ"));
    EXPECT_EQ(PasswordAccess::unlock(op, device, flags), PasswordAccess::Unlock::Unlocked);
}

TEST_F(PasswordTest, refusedChangesWriteNothing)
{
    const struct
    {
        const char *name;
        Operator::PasswordChange fields;
        PasswordAccess::Change outcome;
        const char *message;
    } cases[] = {
            {"wrong old",
             {"ABCE", "WXYZ", "WXYZ"},
             PasswordAccess::Change::WrongOldPassword,
             "Ошибка ввода пароля!"},
            {"three letters",
             {"ABCD", "WXY", "WXY"},
             PasswordAccess::Change::NotConfirmed,
             "Не подтвержден новый пароль!"},
            {"mismatch",
             {"ABCD", "WXYZ", "WXYQ"},
             PasswordAccess::Change::NotConfirmed,
             "Не подтвержден новый пароль!"},
    };
    for (const auto &c : cases) {
        op.clearShown();
        op.answerPasswordChange(c.fields);
        EXPECT_EQ(PasswordAccess::change(session, op), c.outcome) << c.name;
        ASSERT_EQ(op.shown().size(), 1) << c.name;
        EXPECT_EQ(op.shown()[0].text, QString::fromUtf8(c.message)) << c.name;
        EXPECT_EQ(op.shown()[0].caption, QStringLiteral("Ошибка")) << c.name;
        EXPECT_TRUE(writes().isEmpty()) << c.name;
        EXPECT_EQ(relayPassword(), QStringLiteral("ABCD")) << c.name;
    }
}

TEST_F(PasswordTest, silentRelayIsNotReportedAsChanged)
{
    RelayLine::Faults silent;
    silent.silent = true;
    line.setFaults(6, silent);
    op.answerPasswordChange(Operator::PasswordChange{"ABCD", "WXYZ", "WXYZ"});
    EXPECT_EQ(PasswordAccess::change(session, op), PasswordAccess::Change::LinkFailed);
    EXPECT_EQ(op.shownTexts(), QStringList{Texts::linkError});
    EXPECT_EQ(writes().size(), 1); // the second half is not sent after the first failed
    // The re-read got nothing: no typed password can match now.
    EXPECT_EQ(device.password, QString(4, QChar(0)));
}

TEST_F(PasswordTest, secondHalfWithoutAnswerIsNotReportedAsChanged)
{
    RelayLine::Faults faults;
    faults.answerRequests = 1; // the first write is answered, then silence
    line.setFaults(6, faults);
    op.answerPasswordChange(Operator::PasswordChange{"ABCD", "WXYZ", "WXYZ"});
    EXPECT_EQ(PasswordAccess::change(session, op), PasswordAccess::Change::LinkFailed);
    EXPECT_EQ(relayPassword(), QStringLiteral("WXCD"));
    ASSERT_EQ(op.shownTexts().size(), 1);
    EXPECT_TRUE(op.shownTexts()[0].startsWith(QStringLiteral("Новый пароль записан не полностью")));
    EXPECT_TRUE(op.shownTexts()[0].endsWith(u'\n' + Texts::linkError));
}

TEST_F(PasswordTest, cancelledChangeStillRereads)
{
    op.answerPasswordChange(std::nullopt);
    line.relay(6)->setRegister(0x43, quint16('C' << 8 | 'E'));
    EXPECT_EQ(PasswordAccess::change(session, op), PasswordAccess::Change::Cancelled);
    EXPECT_EQ(device.password, QStringLiteral("ABCE"));
    EXPECT_EQ(device.configuredAddress, 6);
}

TEST(PasswordCharacters, onlyCapitalLatinLetters)
{
    for (QChar c : QStringLiteral("AZMQ"))
        EXPECT_TRUE(PasswordAccess::isPasswordCharacter(c)) << int(c.unicode());
    for (QChar c : QStringLiteral("az09 #ЖА\u00C0"))
        EXPECT_FALSE(PasswordAccess::isPasswordCharacter(c)) << int(c.unicode());
}

} // namespace

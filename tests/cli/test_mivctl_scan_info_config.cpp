// End to end: mivctl against mivsim on a pseudo-terminal, with the same
// texts as the window shows.
#include "support/MivctlOnSimulator.h"
#include "support/ProgramRun.h"
#include "support/QtPrinters.h"
#include "support/SimProcess.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class MivctlScanInfoConfig : public MivctlOnSimulator
{
protected:
    MivctlScanInfoConfig()
        : MivctlOnSimulator({QStringLiteral("--relays"), QStringLiteral("1:4,6:6,17:4"), QStringLiteral("--baud"),
                             QStringLiteral("9600")})
    {
    }
};

TEST_F(MivctlScanInfoConfig, scanListsThirtyTwoLines)
{
    const ProgramResult result = mivctl({QStringLiteral("scan")});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    QStringList expected;
    for (int address = 1; address <= 32; ++address)
        expected << (address == 1 || address == 6 || address == 17
                         ? QStringLiteral("Устройство №%1 в сети").arg(address)
                         : QStringLiteral("Связи с устройством №%1 нет").arg(address));
    EXPECT_EQ(outputLines(result.standardOutput), expected);
}

TEST_F(MivctlScanInfoConfig, infoPrintsTheMemo)
{
    const ProgramResult result = mivctl({QStringLiteral("info"), QStringLiteral("17")});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    const QStringList expected{
        QStringLiteral("Устройство: МИВ-04    "), QStringLiteral("Заводской №1017, Версия ПО v3 от 15.6.2010"),
        QStringLiteral("Сетевой адрес устройства 17"), QStringLiteral("Параметры интерфейса:"),
        QStringLiteral("Скорость 9600 бит/с"), QStringLiteral("Без бита паритета"),
        QStringLiteral("8 бит данных"), QStringLiteral("1 стоп-бит"),
    };
    EXPECT_EQ(outputLines(result.standardOutput), expected);
}

TEST_F(MivctlScanInfoConfig, infoOfAnAddressWithoutRelayIsALinkFailure)
{
    const ProgramResult result = mivctl({QStringLiteral("info"), QStringLiteral("5")});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.standardOutput.isEmpty());
    EXPECT_TRUE(result.standardError.contains(QStringLiteral("Связи с устройством №5 нет")));
}

TEST_F(MivctlScanInfoConfig, configReadPrintsTheGridOfATypeSixRelay)
{
    const ProgramResult result = mivctl({QStringLiteral("config"), QStringLiteral("read"), QStringLiteral("6")});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    const QStringList rows = outputLines(result.standardOutput);
    ASSERT_EQ(rows.size(), 34);
    EXPECT_EQ(rows[0], QStringLiteral("0\tКоэффициент трансформации\t10"));
    EXPECT_TRUE(rows[21].startsWith(QStringLiteral("21\tВремя включения реле КЗ, с\t[фукнк. откл.]")));
    EXPECT_EQ(rows[31], QStringLiteral("31\tАлгоритм накачки/выкачки резервуара\tвкл."));
    EXPECT_EQ(rows[32], QStringLiteral("32\tОбнуление моторесурса\t1234 ч. 5 мин."));
    EXPECT_EQ(rows[33], QStringLiteral("33\tПароль\t"));
}

TEST_F(MivctlScanInfoConfig, wrongUsage)
{
    for (const QStringList &arguments : {QStringList{QStringLiteral("info")}, QStringList{QStringLiteral("info"), QStringLiteral("0")},
                                         QStringList{QStringLiteral("scan"), QStringLiteral("x")},
                                         QStringList{QStringLiteral("config"), QStringLiteral("read")}}) {
        const ProgramResult result = mivctl(arguments);
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 2) << arguments.join(u' ').toStdString();
    }
}

} // namespace

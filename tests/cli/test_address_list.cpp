// The address lists of the commands that work on several relays.
#include "cli/AddressList.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace miv::cli;

namespace {

struct ListCase
{
    const char *text;
    std::optional<QList<quint8>> expected;
};

QList<quint8> range(int first, int last)
{
    QList<quint8> list;
    for (int address = first; address <= last; ++address)
        list << quint8(address);
    return list;
}

TEST(AddressList, parsesAddressesAndRangesAndRefusesEverythingElse)
{
    const ListCase cases[] = {
            {"1", QList<quint8>{1}},
            {"247", QList<quint8>{247}},
            {"1,6,17", QList<quint8>{1, 6, 17}},
            {"17,6,1", QList<quint8>{17, 6, 1}}, // the order given
            {"1-32", range(1, 32)},
            {"1,3-5", QList<quint8>{1, 3, 4, 5}},
            {"3-5,1", QList<quint8>{3, 4, 5, 1}},
            {"5-5", QList<quint8>{5}},
            {"240-247", range(240, 247)},
            {"", std::nullopt},
            {"0", std::nullopt},
            {"248", std::nullopt},
            {"1-248", std::nullopt},
            {"0-3", std::nullopt},
            {"5-3", std::nullopt}, // reversed
            {"1,,2", std::nullopt}, // empty item
            {"1,", std::nullopt},
            {",1", std::nullopt},
            {"1-", std::nullopt},
            {"-3", std::nullopt},
            {"1-2-3", std::nullopt},
            {"1,1", std::nullopt}, // twice
            {"1-5,3", std::nullopt}, // twice through a range
            {"+1", std::nullopt},
            {" 1", std::nullopt},
            {"1 ,2", std::nullopt},
            {"a", std::nullopt},
            {"1;2", std::nullopt},
            {"0x10", std::nullopt},
    };
    for (const ListCase &c : cases)
        EXPECT_EQ(parseAddressList(QString::fromLatin1(c.text)), c.expected) << c.text;
}

} // namespace

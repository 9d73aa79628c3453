#include "core/Windows1251.h"
#include "support/QtPrinters.h"

#include <QStringDecoder>
#include <gtest/gtest.h>

using namespace miv;

namespace {

TEST(Windows1251, everyByteDecodesAsTheCodePageSaysAndEncodesBack)
{
    // Qt's own converter, where this build has one, is the independent reference.
    QStringDecoder reference("windows-1251");
    for (int byte = 0; byte < 256; ++byte) {
        const QByteArray one(1, char(byte));
        const QString text = Windows1251::decode(one);
        ASSERT_EQ(text.size(), 1) << byte;
        if (reference.isValid() && byte != 0x98) {
            EXPECT_EQ(text, reference.decode(one)) << "byte 0x" << std::hex << byte;
        }
        if (byte == 0x98) {
            EXPECT_EQ(text, QString(QChar(0xFFFD))) << "the one unassigned byte";
            EXPECT_FALSE(Windows1251::encode(text));
            continue;
        }
        EXPECT_EQ(Windows1251::encode(text), one) << "byte 0x" << std::hex << byte;
    }
}

TEST(Windows1251, knownCharactersAndACharacterWithoutAByte)
{
    struct Case
    {
        const char16_t *text;
        QByteArray bytes;
    };
    const Case cases[] = {
            {u"МИВ-06    ", QByteArray("\xCC\xC8\xC2-06    ")},
            {u"Ёё№€", QByteArray("\xA8\xB8\xB9\x88")},
            {u"Параметры", QByteArray("\xCF\xE0\xF0\xE0\xEC\xE5\xF2\xF0\xFB")},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(Windows1251::encode(QStringView(c.text)), c.bytes);
        EXPECT_EQ(Windows1251::decode(c.bytes), QString::fromUtf16(c.text));
    }
    QChar bad;
    EXPECT_FALSE(Windows1251::encode(u"Ток Ω", &bad));
    EXPECT_EQ(bad, QChar(u'Ω'));
}

} // namespace

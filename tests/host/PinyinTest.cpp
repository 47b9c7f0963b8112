#include "host/Pinyin.h"

#include <QStringDecoder>
#include <gtest/gtest.h>

TEST(Pinyin, NamesPlacesAndGoods)
{
    EXPECT_EQ(GetPYIndexChar(QStringLiteral("张三")), QStringLiteral("ZS"));
    EXPECT_EQ(GetPYIndexChar(QStringLiteral("北京")), QStringLiteral("BJ"));
    EXPECT_EQ(GetPYIndexChar(QStringLiteral("重庆")), QStringLiteral("CQ"));
    EXPECT_EQ(GetPYIndexChar(QStringLiteral("茶叶")), QStringLiteral("CY"));
    EXPECT_EQ(GetPYIndexChar(QStringLiteral("工商银行")), QStringLiteral("GSYH"));
    EXPECT_EQ(GetPYIndexChar(QStringLiteral("长城宽带")), QStringLiteral("CCKD"));
    EXPECT_EQ(GetPYIndexChar(QStringLiteral("厦门")), QStringLiteral("XM"));
    // Characters beyond the first level of GB2312 (sorted by radical, not by reading).
    EXPECT_EQ(GetPYIndexChar(QStringLiteral("琪瑜鑫")), QStringLiteral("QYX"));
    EXPECT_EQ(GetPYIndexChar(QStringLiteral("旸喆犇淼")), QStringLiteral("YZBM"));
}

TEST(Pinyin, LettersDigitsAndEverythingElse)
{
    EXPECT_EQ(GetPYIndexChar(QStringLiteral("可口可乐330ml")), QStringLiteral("KKKL330ML"));
    EXPECT_EQ(GetPYIndexChar(QStringLiteral("ＡＢｃ１２")), QStringLiteral("ABC12")); // full-width
    EXPECT_EQ(GetPYIndexChar(QStringLiteral("雪碧 (2L)、听装！")), QStringLiteral("XB2LTZ"));
    EXPECT_EQ(GetPYIndexChar(QString()), QString());
    EXPECT_EQ(GetPYIndexChar(QStringLiteral("🍵€")), QString());
}

TEST(Pinyin, EveryGb2312CharacterHasAnInitial)
{
    // GB2312 rows 16..87, 94 cells each (row 55 has 89): every one is a Chinese character.
    QStringDecoder gb("GB18030");
    if (!gb.isValid())
        GTEST_SKIP() << "no GB18030 codec in this Qt build";
    int total = 0, missing = 0;
    QString firstMissing;
    for (int row = 16; row <= 87; ++row) {
        const int cells = row == 55 ? 89 : 94;
        for (int cell = 1; cell <= cells; ++cell) {
            const char bytes[2] = {char(0xA0 + row), char(0xA0 + cell)};
            const QString ch = gb.decode(QByteArray(bytes, 2));
            ++total;
            const QString py = GetPYIndexChar(ch);
            if (py.size() != 1 || py[0] < QLatin1Char('A') || py[0] > QLatin1Char('Z')) {
                if (firstMissing.isEmpty())
                    firstMissing = ch;
                ++missing;
            }
        }
    }
    EXPECT_EQ(total, 6763);
    EXPECT_EQ(missing, 0) << firstMissing.toStdString();
}

TEST(Pinyin, FirstLevelAgreesWithTheCollationOrder)
{
    // Level-1 GB2312 characters (rows 16..55) are sorted by reading, so neighbouring
    // initials only step down where a polyphone is filed under its other reading (重 sits
    // among the zh- characters, but names read it chong); each such character makes at
    // most two descents.
    QStringDecoder gb("GB18030");
    if (!gb.isValid())
        GTEST_SKIP() << "no GB18030 codec in this Qt build";
    QChar prev = QLatin1Char('A');
    int descents = 0;
    for (int row = 16; row <= 55; ++row)
        for (int cell = 1; cell <= (row == 55 ? 89 : 94); ++cell) {
            const char bytes[2] = {char(0xA0 + row), char(0xA0 + cell)};
            const QString py = GetPYIndexChar(gb.decode(QByteArray(bytes, 2)));
            ASSERT_EQ(py.size(), 1);
            descents += py[0] < prev;
            prev = py[0];
        }
    EXPECT_LT(descents, 40);
}

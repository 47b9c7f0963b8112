#include "platform/TextRules.h"

#include <gtest/gtest.h>

TEST(TextRules, OrdinaryTextIncludingChineseEmojiAndLineBreaksIsAccepted)
{
    EXPECT_EQ(FirstRefusedChar(QString()), -1);
    EXPECT_EQ(FirstRefusedChar(QStringLiteral("采购订单 CD-0001\t备注\r\n第二行")), -1);
    EXPECT_EQ(FirstRefusedChar(QString::fromUtf8("箱 \xF0\x9F\x93\xA6 \xF0\xA0\x80\x80")), -1); // 📦 and CJK ext. B
    EXPECT_EQ(FirstRefusedChar(QString(QChar(0xFFFD))), -1);                                    // replacement char is a real char
    EXPECT_TRUE(RefusedTextReason(QStringLiteral("普通文本")).isEmpty());
}

TEST(TextRules, ControlsNoncharactersAndLoneSurrogatesAreRefusedAtTheirPosition)
{
    EXPECT_EQ(FirstRefusedChar(QStringLiteral("ab") + QChar(0x07) + QStringLiteral("c")), 2);
    EXPECT_EQ(FirstRefusedChar(QString(QChar(0)) + QStringLiteral("x")), 0);
    EXPECT_EQ(FirstRefusedChar(QStringLiteral("x") + QChar(0x7F)), 1);
    EXPECT_EQ(FirstRefusedChar(QStringLiteral("备注") + QChar(0xFFFE)), 2);
    EXPECT_EQ(FirstRefusedChar(QStringLiteral("a") + QChar(0xFDD5)), 1);
    EXPECT_EQ(FirstRefusedChar(QStringLiteral("ab") + QChar(0xD800)), 2);                // high surrogate at the end
    EXPECT_EQ(FirstRefusedChar(QStringLiteral("a") + QChar(0xDC00) + QStringLiteral("b")), 1); // lone low surrogate
    EXPECT_EQ(FirstRefusedChar(QString::fromUcs4(U"a\U0001FFFE")), 1);                   // plane-1 noncharacter
    const QString why = RefusedTextReason(QStringLiteral("ab") + QChar(0x07));
    EXPECT_TRUE(why.contains(QStringLiteral("第3个字符"))) << why.toStdString();
    EXPECT_TRUE(why.contains(QStringLiteral("U+0007"))) << why.toStdString();
    EXPECT_TRUE(why.contains(QStringLiteral("控制字符")));
}
